#include "framework/lfile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/support/test_support.h"

namespace {

using testsupport::TempFolder;

std::string Cat(std::string path, std::string_view name) {
  LFile::FilePathCat(path, name);
  return path;
}
// Each part is written over whatever the output held before.
template <auto Get>
std::string Part(std::string_view path) {
  std::string out = "stale";
  Get(out, path);
  return out;
}
const auto Folder = Part<LFile::GetFolderFromPath>;
const auto File = Part<LFile::GetFileFromPath>;
const auto Title = Part<LFile::GetFileTitleFromPath>;
const auto Ext = Part<LFile::GetFileExtFromPath>;
std::string NewExt(std::string_view path, std::string_view ext) {
  std::string out = "stale";
  LFile::ApplyNewFileExtension(out, path, ext);
  return out;
}

// The name made valid; a refusal shows as "refused: " and what was left.
std::string Valid(const std::string& text) {
  std::string out = "stale";
  return LFile::GetValidFileName(out, text) ? out : "refused: " + out;
}

// Paths join with one separator, never past the length limit nor inside a
// UTF-8 letter; parts of Windows and Linux paths alike (a leading dot is no
// extension); a name made valid.
TEST(LFile, PathsAndNames) {
  using V = std::vector<std::string>;
  EXPECT_EQ((V{Cat("C:\\Lessons\\", "a"), Cat("/home/u/Lessons/", "a"), Cat("/home/u/Lessons", "a"), Cat("", "a")}),
            (V{"C:\\Lessons\\a", "/home/u/Lessons/a", "/home/u/Lessons/a", "a"}));
  std::string path = "/x";
  EXPECT_EQ(LFile::FilePathCat(path, "Hello", ".raf"), 12u);
  EXPECT_EQ(path, "/x/Hello.raf");

  const std::string full(LFile::kMaxPathChars, 'a'), nearly(LFile::kMaxPathChars - 1, 'a');
  EXPECT_EQ((V{Cat(full, "b"), Cat(nearly, "bcd"), Cat(nearly.substr(1), "\xC3\xA9\xC3\xA9")}),
            (V{full, nearly + "/", nearly.substr(1) + "/"}));
  std::string three(250, 'a');
  EXPECT_EQ(LFile::FilePathCat(three, "name", ".extension"), LFile::kMaxPathChars);
  EXPECT_EQ(three.substr(250), "/name.ext");

  EXPECT_EQ(
      (V{Folder("file.wav"), Folder("C:\\Lessons\\French\\French.ini"), Folder("C:/x\\y/z.wav"), Folder("/file.wav")}),
      (V{"", "C:\\Lessons\\French", "C:/x\\y", "/"}));
  EXPECT_EQ((V{File("C:\\x\\y.wav"), File("bare"), File("/x/folder/")}), (V{"y.wav", "bare", ""}));
  EXPECT_EQ((V{Title("/l/Hello.world.wav"), Title("/l/.hidden"), Title("C:\\a.b\\file")}),
            (V{"Hello.world", ".hidden", "file"}));
  EXPECT_EQ((V{Ext("/l/Hello.WAV"), Ext("C:\\a.b\\file"), Ext("Hello.")}), (V{".WAV", "", "."}));
  EXPECT_EQ((V{NewExt("C:\\a.b\\file", ".raf"), NewExt("/l/a.b/Hello.wav", ".raf"), NewExt(".hidden", ".raf"),
               NewExt("/l/Hello", ".raf")}),
            (V{"C:\\a.b\\file", "/l/a.b/Hello.raf", ".hidden", "/l/Hello"}));
  // Overlong paths give parts cut to the limit.
  EXPECT_LE(Folder("/" + std::string(300, 'f') + "/name.wav").size(), LFile::kMaxPathChars);
  EXPECT_EQ(File("/x/" + std::string(300, 'n')).size(), LFile::kMaxPathChars);
  EXPECT_EQ(NewExt("/x/" + std::string(250, 'n') + ".w", ".wavefile").size(), LFile::kMaxPathChars);

  EXPECT_EQ((V{Valid("Caf\xC3\xA9, oui?"), Valid("...."), Valid("a\"b*c/d:e<f>g?h\\i|j\tk\x7F")}),
            (V{"Caf, oui", "refused: ", "abcdefghijk\x7F"}));
  EXPECT_EQ(Valid(std::string(400, 'x')).size(), LFile::kMaxPathChars);
}

// Text files read up to their limit, writes truncate; a folder delete takes
// only its plain files (dot files and sub-folders keep it), never follows
// links, and refuses a folder that is itself a link.
TEST(LFile, TextFilesAndFolderDeletes) {
  TempFolder temp;
  std::string big(100000, 'x');
  big[LFile::kMaxTextFileBytes - 1] = 'y';
  ASSERT_TRUE(LFile::WriteTextFile(temp.File("big.txt"), big));
  EXPECT_EQ(LFile::ReadTextFile(temp.File("big.txt")), big.substr(0, LFile::kMaxTextFileBytes));

  // Writing truncates what was there.
  ASSERT_TRUE(LFile::WriteTextFile(temp.File("big.txt"), "short"));
  EXPECT_EQ(LFile::ReadTextFile(temp.File("big.txt")) + "|" + LFile::ReadTextFile(temp.File("missing.txt")), "short|");
  EXPECT_FALSE(LFile::WriteTextFile(temp.File("no/such/folder.txt"), "x"));

  std::string outside = temp.File("outside"), folder = temp.File("lesson");
  ASSERT_TRUE(std::filesystem::create_directories(folder + "/sub") && std::filesystem::create_directory(outside));
  const auto names = {"/a.wav", "/b.ini", "/.keep", "/sub/inner.txt"};
  for (const char* name : names) ASSERT_TRUE(testsupport::WriteFileText(folder + name, name));
  EXPECT_FALSE(LFile::DeleteFolderAndFiles(folder));
  for (const char* name : names)
    EXPECT_EQ(std::filesystem::exists(folder + name), name[1] == '.' || name[1] == 's') << name;
  std::filesystem::remove_all(folder + "/sub");
  std::filesystem::remove(folder + "/.keep");

  ASSERT_TRUE(testsupport::WriteFileText(outside + "/precious.txt", "p"));
  ASSERT_EQ(symlink(outside.c_str(), (folder + "/dirlink").c_str()), 0);
  ASSERT_EQ(symlink((outside + "/precious.txt").c_str(), (folder + "/filelink").c_str()), 0);
  EXPECT_TRUE(LFile::DeleteFolderAndFiles(folder));
  ASSERT_EQ(symlink(outside.c_str(), folder.c_str()), 0);  // the folder is gone
  EXPECT_FALSE(LFile::DeleteFolderAndFiles(folder));
  EXPECT_TRUE(std::filesystem::exists(outside + "/precious.txt"));
}

// The program's data folder is created once; raw settings strings keep their
// scopes apart and read back cut to the path limit.
TEST(LFile, ProgramDataFolderAndRawSettingsStrings) {
  std::string base, user, again;
  LFile::GetUserDataFolder(base);
  std::filesystem::remove_all(base + "/Kestrelon");  // the run's private home: start afresh
  EXPECT_TRUE(LFile::GetUserProgramDataFolder(user) && std::filesystem::is_directory(user));
  EXPECT_FALSE(LFile::GetUserProgramDataFolder(again));
  EXPECT_EQ(again, user);

  const std::string key = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orativo";
  constexpr LRegistryRoot kMachine = LRegistryRoot::LocalMachine;
  auto get = [&](LRegistryRoot root, const char* name) {  // a missing value gives the default
    std::string out;
    return LFile::RegGetString(root, key, name, "none", out) ? out : "missing " + out;
  };
  EXPECT_EQ(get(kMachine, "DisplayName"), "missing none");
  LFile::RegSetString(kMachine, key, "DisplayName", "Orativo");
  LFile::RegSetString(kMachine, key, "Long", std::string(400, 'v'));
  // The scopes are apart; a value is cut to the path limit.
  EXPECT_EQ((std::vector<std::string>{get(kMachine, "DisplayName"), get(LRegistryRoot::CurrentUser, "DisplayName"),
                                      get(kMachine, "Long")}),
            (std::vector<std::string>{"Orativo", "missing none", std::string(LFile::kMaxPathChars, 'v')}));
  LFile::RegDeleteString(kMachine, key, "DisplayName");
  EXPECT_EQ(get(kMachine, "DisplayName"), "missing none");
}

}  // namespace
