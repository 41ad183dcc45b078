// Install-on-demand against local FTP servers: the second server after a
// failure, cancel, and setups that fail their checks never run.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QProcess>
#include <chrono>

#include "companion/install_on_demand.h"
#include "companion/launcher.h"
#include "framework/settings.h"
#include "platform/app_paths.h"
#include "tests/support/test_support.h"

using testsupport::RunCommand;

namespace {

using Clock = std::chrono::steady_clock;

const char* const kServerScript = R"(import os, sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer
import logging
logging.disable(logging.CRITICAL)
root, rate, portfile = sys.argv[1], int(sys.argv[2]), sys.argv[3]
authorizer = DummyAuthorizer()
authorizer.add_anonymous(root)
handler = FTPHandler
handler.authorizer = authorizer
if rate:
    ThrottledDTPHandler.read_limit = rate
    handler.dtp_handler = ThrottledDTPHandler
server = FTPServer(("127.0.0.1", 0), handler)
with open(portfile + ".tmp", "w") as f:
    f.write(str(server.address[1]))
os.rename(portfile + ".tmp", portfile)
server.serve_forever()
)";

// A local anonymous FTP server over root, stopped with the object.
class FtpServer {
 public:
  FtpServer(const testsupport::TempFolder& work, const std::string& root, int bytesPerSecond) {
    std::string script = work.File("server.py"), portFile = work.File("port");
    testsupport::WriteFileText(script, kServerScript);
    unlink(portFile.c_str());
    server_.setStandardOutputFile(QProcess::nullDevice());
    server_.setStandardErrorFile(QProcess::nullDevice());
    server_.start("/usr/bin/python3", {QString::fromStdString(script), QString::fromStdString(root),
                                       QString::number(bytesPerSecond), QString::fromStdString(portFile)});
    testsupport::WaitFor([&] { return !testsupport::ReadFileBytes(portFile).empty(); }, 10000);
    auto text = testsupport::ReadFileBytes(portFile);
    if (!text.empty()) port_ = std::stoi(std::string(text.begin(), text.end()));
  }
  ~FtpServer() {
    server_.terminate();
    server_.waitForFinished();
  }
  std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
  bool Running() const { return port_ != 0; }

 private:
  QProcess server_;
  int port_ = 0;
};

// A server that takes connections and never says a word; counts who came.
class SilentServer {
 public:
  SilentServer() {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(fd_, 8);
    socklen_t size = sizeof address;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
  }
  ~SilentServer() { close(fd_); }
  std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
  bool Contacted() {
    int client = accept(fd_, nullptr, nullptr);
    if (client >= 0) close(client);
    return client >= 0;
  }

 private:
  int fd_ = -1;
  int port_ = 0;
};

// A port nobody listens on.
std::string ClosedAddress() {
  SilentServer gone;
  return gone.Address();
}

struct Progress : LCopyProgress {
  void SetText(const std::string&, int) override {}
  void SetProgress(double fraction) override { last = fraction; }
  bool Cancelled() override {
    if (!cancelled && cancelAt > 0 && last >= cancelAt) {
      cancelled = true;
      cancelTime = Clock::now();
    }
    return cancelled;
  }
  double last = 0, cancelAt = 0;
  bool cancelled = false;
  Clock::time_point cancelTime;
};

enum class Damage { kNone, kTamperedByte, kBadSignature, kShortFile };

class InstallOnDemand : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_COMMAND("openssl");
    if (RunCommand("/usr/bin/python3 -c 'import pyftpdlib' 2>/dev/null") != 0) {
      if (testsupport::InCI()) FAIL() << "python3-pyftpdlib is missing";
      GTEST_SKIP() << "python3-pyftpdlib is missing";
    }
    mkdir(root_.File("components").c_str(), 0755);
    key_ = work_.File("key.pem");
    ASSERT_EQ(RunCommand("openssl genpkey -algorithm ed25519 -out '" + key_ + "' 2>/dev/null"), 0);
    std::string publicKey = work_.File("key.pub");
    ASSERT_EQ(RunCommand("openssl pkey -in '" + key_ + "' -pubout -outform DER 2>/dev/null | tail -c 32 > '" +
                         publicKey + "'"),
              0);
    auto raw = testsupport::ReadFileBytes(publicKey);
    std::string bytes(raw.begin(), raw.end());
    ASSERT_EQ(bytes.size(), 32u);
    CompanionSetSigningKeyForTests(bytes);
    CompanionSetTimeoutForTests(2000);
    marker_ = work_.File("setup-ran");
  }
  void TearDown() override {
    CompanionSetSigningKeyForTests("");
    CompanionSetTimeoutForTests(0);
    RegSetSetting("Settings", "DownloadServer1", "");
    RegSetSetting("Settings", "DownloadServer2", "");
  }
  // A setup script of about paddingBytes that leaves a mark when it runs.
  void Publish(size_t paddingBytes, Damage damage, int exitCode = 0) {
    std::string setup = root_.File("components/soundsmith-setup");
    std::string text = "#!/bin/sh\necho ran > '" + marker_ + "'\nexit " + std::to_string(exitCode) + "\n#";
    text += std::string(paddingBytes, 'x') + "\n";
    testsupport::WriteFileText(setup, text);
    std::string list = root_.File("components/checksums.txt");
    ASSERT_EQ(RunCommand("cd '" + root_.File("components") + "' && echo \"$(sha256sum soundsmith-setup | cut -c1-64) " +
                         std::to_string(text.size()) + " soundsmith-setup\" > checksums.txt"),
              0);
    std::string signedFile = damage == Damage::kBadSignature ? work_.File("other") : list;
    if (damage == Damage::kBadSignature) testsupport::WriteFileText(signedFile, "something else\n");
    ASSERT_EQ(RunCommand("openssl pkeyutl -sign -inkey '" + key_ + "' -rawin -in '" + signedFile + "' -out '" + list +
                         ".sig' 2>/dev/null"),
              0);
    if (damage == Damage::kTamperedByte) text[text.size() - 3] = 'y';
    if (damage == Damage::kShortFile) text.resize(text.size() - 100);
    testsupport::WriteFileText(setup, text);
  }
  bool SetupRan() const { return access(marker_.c_str(), F_OK) == 0; }
  // Nothing of a download is left in the private temporary folder.
  static int LeftOver() {
    int count = 0;
    for (const auto& [path, bytes] : testsupport::Snapshot(PlatformPrivateTempFolder()))
      count += path.find("soundsmith-setup") != std::string::npos;
    return count;
  }
  int Install(const std::string& primary, const std::string& secondary, Progress& progress) {
    RegSetSetting("Settings", "DownloadServer1", primary);
    RegSetSetting("Settings", "DownloadServer2", secondary);
    return ProcessInstallProgram(progress, "soundsmith-setup");
  }

  testsupport::TempFolder work_, root_;
  std::string key_, marker_;
};

TEST_F(InstallOnDemand, AFailingPrimaryFallsBackToTheSecondServer) {
  Publish(1000, Damage::kNone);
  FtpServer server(work_, root_.Path(), 0);
  ASSERT_TRUE(server.Running());
  SilentServer silent;
  for (const std::string& primary : {ClosedAddress(), silent.Address()}) {
    unlink(marker_.c_str());
    Progress progress;
    auto start = Clock::now();
    EXPECT_EQ(Install(primary, server.Address(), progress), kCompanionDone) << primary;
    EXPECT_TRUE(SetupRan());
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(15));
    EXPECT_EQ(LeftOver(), 0);
  }
}

TEST_F(InstallOnDemand, CancelStopsAtOnceAndTriesNothingElse) {
  Publish(5 << 20, Damage::kNone);
  FtpServer server(work_, root_.Path(), 1 << 20);
  ASSERT_TRUE(server.Running());
  SilentServer secondary;
  Progress progress;
  progress.cancelAt = 0.55;  // half of the setup
  EXPECT_EQ(Install(server.Address(), secondary.Address(), progress), kCompanionCancelled);
  ASSERT_TRUE(progress.cancelled);
  EXPECT_LT(Clock::now() - progress.cancelTime, std::chrono::milliseconds(1500));
  EXPECT_FALSE(secondary.Contacted());
  EXPECT_FALSE(SetupRan());
  EXPECT_EQ(LeftOver(), 0);
}

TEST_F(InstallOnDemand, ASetupThatFailsIsNotInstalled) {
  Publish(1000, Damage::kNone, 1);
  FtpServer server(work_, root_.Path(), 0);
  ASSERT_TRUE(server.Running());
  Progress progress;
  EXPECT_EQ(Install(server.Address(), server.Address(), progress), kCompanionFailed);
  EXPECT_TRUE(SetupRan());
  EXPECT_EQ(LeftOver(), 0);
}

class DamagedSetup : public InstallOnDemand, public ::testing::WithParamInterface<Damage> {};

TEST_P(DamagedSetup, FailsOnBothServersAndNeverRuns) {
  Publish(4000, GetParam());
  FtpServer server(work_, root_.Path(), 0);
  ASSERT_TRUE(server.Running());
  Progress progress;
  EXPECT_EQ(Install(server.Address(), server.Address(), progress), kCompanionFailed);
  EXPECT_FALSE(SetupRan());
  EXPECT_EQ(LeftOver(), 0);
}
INSTANTIATE_TEST_SUITE_P(Checks, DamagedSetup,
                         ::testing::Values(Damage::kTamperedByte, Damage::kBadSignature, Damage::kShortFile));

// Until the maker's own key is built in, a well-signed setup is still never run.
TEST_F(InstallOnDemand, WithoutATestKeyNothingVerifies) {
  Publish(1000, Damage::kNone);
  FtpServer server(work_, root_.Path(), 0);
  ASSERT_TRUE(server.Running());
  CompanionSetSigningKeyForTests("");
  Progress progress;
  EXPECT_EQ(Install(server.Address(), server.Address(), progress), kCompanionFailed);
  EXPECT_FALSE(SetupRan());
  EXPECT_EQ(LeftOver(), 0);
}

}  // namespace
