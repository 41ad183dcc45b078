// The install file built from the real program, installed into a home whose
// path holds a blank and a "$", damaged in the ways downloads get damaged,
// cancelled half-way, and uninstalled.
#include "setup/installer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "setup/desktop_entries.h"
#include "setup/install_file.h"
#include "tests/support/test_support.h"

namespace fs = std::filesystem;
using testsupport::ReadFileBytes;
using testsupport::RunCommand;
using testsupport::Snapshot;

namespace {

struct Installer : ::testing::Test {
  void SetUp() override {
    fs::create_directories(home_ + "/Desktop");  // the desktop is used only where it exists
    paths_ = LInstallPaths::ForUser();
    std::vector<std::string> files{std::string(ORATIVO_APP_DIR) + "/orativo"};
    for (size_t i = 1; i < PayloadTable().size(); ++i)
      files.push_back(std::string(ORATIVO_APP_DIR) + "/" + PayloadTable()[i].Path());
    std::string error;
    ASSERT_TRUE(WriteInstallFile(installFile_, files, &error)) << error;
  }

  bool Install(const std::string& mode) {
    LInstaller installer(installFile_, paths_);
    return installer.Stage(nullptr) == LInstallResult::kDone && installer.Commit(mode, nullptr);
  }

  testsupport::TempFolder folder_;
  std::string home_ = folder_.File("a home $HOME"), installFile_ = folder_.File("Orativo-setup.run");
  // The user's own paths, below a home whose path holds a blank and a "$".
  testsupport::ScopedEnv homeEnv_{"HOME", home_.c_str()}, dataEnv_{"XDG_DATA_HOME", nullptr},
      configEnv_{"XDG_CONFIG_HOME", nullptr};
  LInstallPaths paths_;
};

// A careless umask still gives no one else write access; the desktop entry,
// taken apart as a desktop would, runs the mode through a path with a blank
// and a "$".
TEST_F(Installer, InstallsExactlyItsFilesWithEntriesThatRunTheMode) {
  const mode_t mask = umask(0);
  ASSERT_TRUE(Install("Tutor"));
  umask(mask);
  for (const auto& e : fs::recursive_directory_iterator(fs::path(paths_.programFolder).parent_path()))
    EXPECT_EQ(e.status().permissions() & (fs::perms::group_write | fs::perms::others_write), fs::perms::none)
        << e.path();
  // The program is the front of the install file, then four zero bytes.
  auto program = ReadFileBytes(std::string(ORATIVO_APP_DIR) + "/orativo");
  program.resize(program.size() + 4);
  EXPECT_TRUE(ReadFileBytes(paths_.Program()) == program);
  auto uninstaller = ReadFileBytes(paths_.Uninstaller());
  EXPECT_EQ(std::vector<uint8_t>(uninstaller.end() - 4, uninstaller.end()),
            (std::vector<uint8_t>{0x0F, 0x0F, 0xF0, 0xF0}));
  for (const LPayloadEntry& e : PayloadTable())
    EXPECT_TRUE(fs::exists(paths_.programFolder + "/" + e.Path())) << e.Path();
  EXPECT_EQ(fs::read_symlink(paths_.binFolder + "/orativo"), paths_.Program());
  EXPECT_FALSE(fs::exists(paths_.applicationsFolder + "/orativo-student.desktop")) << "one mode's entries only";
  const std::string entry = paths_.applicationsFolder + "/orativo-tutor.desktop";
  for (const std::string& e : {entry, paths_.applicationsFolder + "/orativo-uninstall.desktop",
                               paths_.desktopFolder + "/orativo-tutor.desktop"})
    EXPECT_EQ(0, RunCommand("desktop-file-validate '" + e + "'")) << e;
  EXPECT_TRUE(fs::exists(paths_.iconsFolder + "/scalable/apps/orativo.svg"));
  EXPECT_TRUE(fs::exists(paths_.iconsFolder + "/256x256/apps/orativo.png"));
  // The Exec line runs a stub that prints its arguments.
  ASSERT_TRUE(testsupport::WriteFileText(paths_.Program(),
                                         "#!/bin/sh\nfor a in \"$0\" \"$@\"; do printf '[%s]' \"$a\"; done\n"));
  fs::permissions(paths_.Program(), fs::perms::owner_all);
  std::string exec = testsupport::CommandOutput("sed -n 's/^Exec=//p' '" + entry + "'");
  exec = exec.substr(0, exec.find('\n'));
  // Desktop-entry unescaping of the value, then shell-like word splitting of the quoting.
  std::string value;
  for (size_t i = 0; i < exec.size(); ++i) value += (exec[i] == '\\' && exec[i + 1] == '\\') ? exec[i++] : exec[i];
  EXPECT_EQ(testsupport::CommandOutput("sh -c 'exec " + value + "'"), "[" + paths_.Program() + "][-x][Tutor]");
}

// Damaged files are refused and a cancelled install changes nothing; the
// uninstall removes what the install made and keeps the user's files.
TEST_F(Installer, DamagedOrCancelledInstallsChangeNothingAndUninstallKeepsTheUsersFiles) {
  ASSERT_TRUE(Install("Tutor"));
  const auto before = Snapshot(home_);
  const auto good = ReadFileBytes(installFile_);
  const size_t firstSize = good.size() - 4 * (PayloadTable().size() + 2) + 4;
  for (const auto& damage : std::vector<std::function<void(std::vector<uint8_t>&)>>{
           [](auto& b) { b[b.size() / 2] ^= 0x10; },                          // a flipped bit in the middle
           [](auto& b) { b[10] ^= 1; },                                       // in the program itself
           [](auto& b) { b.resize(b.size() - 100 * 1024); },                  // the end cut off
           [&](auto& b) { std::fill_n(b.begin() + firstSize, 4, 0xFF); }}) {  // a size of 4 GiB
    auto bytes = good;
    damage(bytes);
    ASSERT_TRUE(testsupport::WriteFileBytes(installFile_, bytes));
    EXPECT_EQ(LInstaller(installFile_, paths_).Stage(nullptr), LInstallResult::kCorrupt);
  }
  ASSERT_TRUE(testsupport::WriteFileBytes(installFile_, good));
  LInstaller installer(installFile_, paths_);
  EXPECT_EQ(LInstallResult::kCancelled, installer.Stage([](const std::string&, double f) { return f < 0.5; }));
  installer.Discard();
  EXPECT_EQ(before, Snapshot(home_));
  // A staged install whose mode question was cancelled leaves nothing either.
  ASSERT_EQ(LInstallResult::kDone, LInstaller(installFile_, paths_).Stage(nullptr));
  EXPECT_EQ(before, Snapshot(home_));

  ASSERT_TRUE(Install("Student"));  // reinstalled in the other mode: the tutor entry goes
  EXPECT_FALSE(fs::exists(paths_.applicationsFolder + "/orativo-tutor.desktop"));
  const std::string lessons = home_ + "/.local/share/Kestrelon/Orativo/Lessons/Mine";
  fs::create_directories(lessons);
  ASSERT_TRUE(testsupport::WriteFileText(lessons + "/Mine.ini", "[create]\r\n"));
  ASSERT_TRUE(testsupport::WriteFileText(paths_.programFolder + "/notes.txt", "the user's own"));
  const std::string edited = paths_.desktopFolder + "/orativo-student.desktop";
  ASSERT_TRUE(testsupport::WriteFileText(edited, "[Desktop Entry]\nName=Mine\n"));
  const auto lessonsBefore = Snapshot(home_ + "/.local/share/Kestrelon");
  // A manifest changed by someone else cannot point the uninstaller elsewhere.
  const std::string hash = testsupport::CommandOutput("sha256sum '" + lessons + "/Mine.ini' | cut -c1-64");
  ASSERT_TRUE(testsupport::WriteFileText(
      paths_.Manifest(), testsupport::CommandOutput("cat '" + paths_.Manifest() + "'") + hash.substr(0, 64) + " " +
                             lessons + "/Mine.ini\n" + " " + home_ + "/Desktop\n"));

  std::vector<std::string> kept;
  ASSERT_TRUE(UninstallForUser(paths_, &kept));
  EXPECT_EQ(kept, std::vector<std::string>{edited});
  EXPECT_TRUE(fs::exists(edited));
  EXPECT_TRUE(fs::exists(paths_.programFolder + "/notes.txt")) << "not ours, so its folder stays";
  EXPECT_FALSE(fs::exists(paths_.Program()));
  EXPECT_FALSE(fs::exists(fs::symlink_status(paths_.binFolder + "/orativo")));
  EXPECT_FALSE(fs::exists(paths_.applicationsFolder + "/orativo-student.desktop"));
  EXPECT_FALSE(fs::exists(paths_.iconsFolder + "/scalable/apps/orativo.svg"));
  EXPECT_EQ(lessonsBefore, Snapshot(home_ + "/.local/share/Kestrelon"));
}

TEST(Package, DebHoldsProgramEntriesAndIcons) {
  REQUIRE_COMMAND("cpack");
  testsupport::TempFolder folder;
  ASSERT_EQ(0, RunCommand("cd '" ORATIVO_BUILD_DIR "' && cpack -G DEB -B '" + folder.Path() + "' >/dev/null 2>&1"));
  std::string deb = testsupport::CommandOutput("ls '" + folder.Path() + "'/*.deb 2>/dev/null");
  deb = deb.substr(0, deb.find('\n'));
  ASSERT_FALSE(deb.empty());
  const std::string root = folder.File("root");
  ASSERT_EQ(0, RunCommand("dpkg -x '" + deb + "' '" + root + "'"));
  EXPECT_EQ(fs::read_symlink(root + "/usr/bin/orativo"), "../lib/orativo/orativo");
  for (const char* file :
       {"lib/orativo/orativo", "lib/orativo/help/index.html", "lib/orativo/samples/First Steps/First Steps.ini",
        "share/applications/orativo-tutor.desktop", "share/applications/orativo-student.desktop",
        "share/icons/hicolor/48x48/apps/orativo.png"})
    EXPECT_TRUE(fs::exists(root + "/usr/" + file)) << file;
  std::string depends = testsupport::CommandOutput("dpkg-deb -f '" + deb + "' Depends");
  EXPECT_NE(std::string::npos, depends.find("libqt6widgets6")) << depends;
}

}  // namespace
