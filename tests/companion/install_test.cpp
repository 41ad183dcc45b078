// Install-on-demand against local FTP servers: the second server after a
// failure, cancel, and setups that fail their checks never run.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QProcess>
#include <chrono>
#include <optional>

#include "companion/install_on_demand.h"
#include "companion/launcher.h"
#include "framework/settings.h"
#include "platform/app_paths.h"
#include "tests/support/test_support.h"

using testsupport::RunCommand;

namespace {

using Clock = std::chrono::steady_clock;

const char* const kServerScript = R"(import socket, sys, time
root, rate = sys.argv[1], int(sys.argv[2])
if rate < 0:  # takes connections and never says a word
    silent = socket.create_server(("127.0.0.1", 0))
    print(silent.getsockname()[1], flush=True)
    conn = silent.accept()  # held open: the client must time out
    print("contacted", flush=True)
    time.sleep(3600)
from pyftpdlib import authorizers, handlers, servers
handlers.FTPHandler.authorizer = authorizers.DummyAuthorizer()
handlers.FTPHandler.authorizer.add_anonymous(root)
handlers.ThrottledDTPHandler.read_limit = rate  # 0: no limit
handlers.FTPHandler.dtp_handler = handlers.ThrottledDTPHandler
server = servers.FTPServer(("127.0.0.1", 0), handlers.FTPHandler)
print(server.address[1], flush=True)
server.serve_forever()
)";

// A local anonymous FTP server over root (bytesPerSecond < 0: a silent one),
// stopped with the object.
struct Server {
  Server(const std::string& root, int bytesPerSecond) {
    server_.setStandardErrorFile(QProcess::nullDevice());
    server_.start("/usr/bin/python3",
                  {"-c", kServerScript, QString::fromStdString(root), QString::number(bytesPerSecond)});
    if (server_.waitForReadyRead(10000)) port_ = server_.readLine().trimmed().toInt();
  }
  ~Server() {
    server_.terminate();
    server_.waitForFinished();
  }
  std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
  bool Running() const { return port_ != 0; }
  bool Contacted() {
    server_.waitForReadyRead(500);
    return server_.readAll().contains("contacted");
  }
  QProcess server_;
  int port_ = 0;
};

// Cancels once the bar passes cancelAt, and says when.
struct Progress : LCopyProgress {
  void SetText(const std::string&, int) override {}
  void SetProgress(double fraction) override {
    if (cancelAt > 0 && fraction >= cancelAt && !cancelTime) cancelTime = Clock::now();
  }
  bool Cancelled() override { return cancelTime.has_value(); }
  double cancelAt = 0;
  std::optional<Clock::time_point> cancelTime;
};

enum class Damage { kNone, kTamperedByte, kBadSignature, kShortFile };

struct InstallOnDemand : ::testing::Test {
  void SetUp() override {
    REQUIRE_COMMAND("openssl");
    if (RunCommand("/usr/bin/python3 -c 'import pyftpdlib' 2>/dev/null") != 0) {
      if (testsupport::InCI()) FAIL() << "python3-pyftpdlib is missing";
      GTEST_SKIP() << "python3-pyftpdlib is missing";
    }
    mkdir(root_.File("components").c_str(), 0755);
    ASSERT_EQ(RunCommand("openssl genpkey -algorithm ed25519 -out '" + key_ + "' 2>/dev/null"), 0);
    publicKey_ =
        testsupport::CommandOutput("openssl pkey -in '" + key_ + "' -pubout -outform DER 2>/dev/null | tail -c 32");
    ASSERT_EQ(publicKey_.size(), 32u);
    CompanionSetSigningKeyForTests(publicKey_);
    CompanionSetTimeoutForTests(2000);
  }
  void TearDown() override {
    CompanionSetSigningKeyForTests("");
    CompanionSetTimeoutForTests(0);
  }
  // A setup script of about paddingBytes that leaves a mark when it runs.
  void Publish(size_t paddingBytes, Damage damage, int exitCode = 0) {
    const std::string dir = root_.File("components"), list = dir + "/checksums.txt";
    std::string text = "#!/bin/sh\necho ran > '" + marker_ + "'\nexit " + std::to_string(exitCode) + "\n#" +
                       std::string(paddingBytes, 'x') + "\n";
    testsupport::WriteFileText(dir + "/soundsmith-setup", text);
    ASSERT_EQ(0, RunCommand("cd '" + dir + "' && echo \"$(sha256sum soundsmith-setup | cut -c1-64) " +
                            std::to_string(text.size()) + " soundsmith-setup\" > checksums.txt"));
    const std::string signedFile = damage == Damage::kBadSignature ? work_.File("other") : list;
    testsupport::WriteFileText(work_.File("other"), "something else\n");
    ASSERT_EQ(0, RunCommand("openssl pkeyutl -sign -inkey '" + key_ + "' -rawin -in '" + signedFile + "' -out '" +
                            list + ".sig' 2>/dev/null"));
    if (damage == Damage::kTamperedByte) text[text.size() - 3] = 'y';
    if (damage == Damage::kShortFile) text.resize(text.size() - 100);
    testsupport::WriteFileText(dir + "/soundsmith-setup", text);
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
  std::string key_ = work_.File("key.pem"), marker_ = work_.File("setup-ran"), publicKey_;
};

// A closed or silent primary falls back to the second server; a setup that
// fails a check never runs, one that runs and fails is not installed, and
// until the maker's own key is built in, a well-signed setup never runs.
TEST_F(InstallOnDemand, FallsBackToTheSecondServerAndRunsOnlyACheckedSetup) {
  Publish(4000, Damage::kNone);
  Server server(root_.Path(), 0);
  Server silent(root_.Path(), -1);
  ASSERT_TRUE(silent.Running());
  // The first server is gone at once: a port nobody listens on.
  for (const std::string& primary : {Server(root_.Path(), -1).Address(), silent.Address()}) {
    unlink(marker_.c_str());
    Progress progress;
    auto start = Clock::now();
    EXPECT_EQ(Install(primary, server.Address(), progress), kCompanionDone) << primary;
    EXPECT_TRUE(SetupRan());
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(15));
    EXPECT_EQ(LeftOver(), 0);
  }
  struct {
    Damage damage;
    int exitCode;
    bool keyless, runs;
  } cases[] = {{Damage::kNone, 0, true, false},
               {Damage::kNone, 1, false, true},
               {Damage::kTamperedByte, 0, false, false},
               {Damage::kBadSignature, 0, false, false},
               {Damage::kShortFile, 0, false, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.damage) << " exit " << c.exitCode << " keyless " << c.keyless);
    unlink(marker_.c_str());
    Publish(4000, c.damage, c.exitCode);
    CompanionSetSigningKeyForTests(c.keyless ? "" : publicKey_);
    Progress progress;
    EXPECT_EQ(Install(server.Address(), server.Address(), progress), kCompanionFailed);
    EXPECT_EQ(SetupRan(), c.runs);
    EXPECT_EQ(LeftOver(), 0);
  }
  // Cancel half-way through the setup stops at once and tries nothing else.
  unlink(marker_.c_str());
  Publish(5 << 20, Damage::kNone);
  Server slow(root_.Path(), 1 << 20);
  Server secondary(root_.Path(), -1);
  Progress progress;
  progress.cancelAt = 0.55;
  EXPECT_EQ(Install(slow.Address(), secondary.Address(), progress), kCompanionCancelled);
  ASSERT_TRUE(progress.cancelTime);
  EXPECT_LT(Clock::now() - *progress.cancelTime, std::chrono::milliseconds(1500));
  EXPECT_FALSE(secondary.Contacted());
  EXPECT_FALSE(SetupRan());
  EXPECT_EQ(LeftOver(), 0);
}

}  // namespace
