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

TEST(LFile, FilePathCatAddsOneSeparator) {
  EXPECT_EQ(Cat("C:\\Lessons\\", "a"), "C:\\Lessons\\a");
  EXPECT_EQ(Cat("/home/u/Lessons/", "a"), "/home/u/Lessons/a");
  EXPECT_EQ(Cat("/home/u/Lessons", "a"), "/home/u/Lessons/a");
  EXPECT_EQ(Cat("", "a"), "a");
  std::string path = "/x";
  EXPECT_EQ(LFile::FilePathCat(path, "Hello", ".raf"), 12u);
  EXPECT_EQ(path, "/x/Hello.raf");
}

TEST(LFile, FilePathCatKeepsTheLengthLimit) {
  // A path at the limit is left alone.
  std::string full(LFile::kMaxPathChars, 'a');
  EXPECT_EQ(Cat(full, "b"), full);

  // One short of the limit: the separator fits, the name is cut.
  std::string nearly(LFile::kMaxPathChars - 1, 'a');
  std::string joined = Cat(nearly, "bcd");
  EXPECT_EQ(joined.size(), LFile::kMaxPathChars);
  EXPECT_EQ(joined.back(), '/');

  std::string three(250, 'a');
  EXPECT_EQ(LFile::FilePathCat(three, "name", ".extension"), LFile::kMaxPathChars);
  EXPECT_EQ(three.substr(250), "/name.ext");
}

TEST(LFile, TruncationNeverSplitsAUtf8Letter) {
  std::string path(LFile::kMaxPathChars - 2, 'a');
  LFile::FilePathCat(path, "\xC3\xA9\xC3\xA9");  // separator + "éé" does not fit: neither half of é is kept
  EXPECT_EQ(path.size(), LFile::kMaxPathChars - 1);
  EXPECT_EQ(path.back(), '/');
}

// Windows and Linux separators alike; a leading dot is no extension.
TEST(LFile, PathParts) {
  using V = std::vector<std::string>;
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
}

// The name made valid; a refusal shows as "refused: " and what was left.
std::string Valid(const std::string& text) {
  std::string out = "stale";
  return LFile::GetValidFileName(out, text) ? out : "refused: " + out;
}

TEST(LFile, ValidFileName) {
  EXPECT_EQ(Valid("Caf\xC3\xA9, oui?"), "Caf, oui");
  EXPECT_EQ(Valid("...."), "refused: ");
  EXPECT_EQ(Valid("a\"b*c/d:e<f>g?h\\i|j\tk\x7F"), "abcdefghijk\x7F");
  EXPECT_EQ(Valid(std::string(400, 'x')).size(), LFile::kMaxPathChars);
}

TEST(LFile, ReadTextFileLimitsAndWriteTruncates) {
  TempFolder temp;
  std::string big(100000, 'x');
  big[LFile::kMaxTextFileBytes - 1] = 'y';
  ASSERT_TRUE(LFile::WriteTextFile(temp.File("big.txt"), big));
  std::string text = LFile::ReadTextFile(temp.File("big.txt"));
  EXPECT_EQ(text.size(), LFile::kMaxTextFileBytes);
  EXPECT_EQ(text, big.substr(0, LFile::kMaxTextFileBytes));

  EXPECT_EQ(LFile::ReadTextFile(temp.File("missing.txt")), "");

  // Writing truncates what was there.
  ASSERT_TRUE(LFile::WriteTextFile(temp.File("big.txt"), "short"));
  EXPECT_EQ(LFile::ReadTextFile(temp.File("big.txt")), "short");
  EXPECT_FALSE(LFile::WriteTextFile(temp.File("no/such/folder.txt"), "x"));
}

TEST(LFile, DeleteFolderAndFilesLeavesDotFilesAndSubFolders) {
  TempFolder temp;
  std::string folder = temp.File("lesson");
  ASSERT_TRUE(std::filesystem::create_directories(folder + "/sub"));
  for (const char* name : {"/a.wav", "/b.ini", "/.keep", "/sub/inner.txt"})
    ASSERT_TRUE(testsupport::WriteFileText(folder + name, name));
  EXPECT_FALSE(LFile::DeleteFolderAndFiles(folder));
  for (const char* name : {"/a.wav", "/b.ini", "/.keep", "/sub/inner.txt"})
    EXPECT_EQ(std::filesystem::exists(folder + name), name[1] == '.' || name[1] == 's') << name;
  std::filesystem::remove_all(folder + "/sub");
  std::filesystem::remove(folder + "/.keep");
  EXPECT_TRUE(LFile::DeleteFolderAndFiles(folder));
  EXPECT_FALSE(std::filesystem::exists(folder));
}

TEST(LFile, DeleteFolderAndFilesNeverFollowsLinks) {
  TempFolder temp;
  std::string outside = temp.File("outside"), folder = temp.File("lesson");
  ASSERT_TRUE(std::filesystem::create_directory(outside) && std::filesystem::create_directory(folder));
  ASSERT_TRUE(testsupport::WriteFileText(outside + "/precious.txt", "p"));
  ASSERT_EQ(symlink(outside.c_str(), (folder + "/dirlink").c_str()), 0);
  ASSERT_EQ(symlink((outside + "/precious.txt").c_str(), (folder + "/filelink").c_str()), 0);

  EXPECT_TRUE(LFile::DeleteFolderAndFiles(folder));
  EXPECT_TRUE(std::filesystem::exists(outside + "/precious.txt"));

  // A folder that is itself a link is refused and its target kept.
  std::string link = temp.File("link");
  ASSERT_EQ(symlink(outside.c_str(), link.c_str()), 0);
  EXPECT_FALSE(LFile::DeleteFolderAndFiles(link));
  EXPECT_TRUE(std::filesystem::exists(outside + "/precious.txt"));
}

TEST(LFile, ProgramDataFoldersAreCreatedOnce) {
  std::string base;
  LFile::GetUserDataFolder(base);
  std::filesystem::remove_all(base + "/Kestrelon");  // the run's private home: start afresh
  std::string user;
  EXPECT_TRUE(LFile::GetUserProgramDataFolder(user));
  EXPECT_TRUE(std::filesystem::is_directory(user));
  std::string again;
  EXPECT_FALSE(LFile::GetUserProgramDataFolder(again));
  EXPECT_EQ(again, user);
}

TEST(LFile, RawSettingsStrings) {
  const std::string key = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orativo";
  std::string out;
  EXPECT_FALSE(LFile::RegGetString(LRegistryRoot::LocalMachine, key, "DisplayName", "none", out));
  EXPECT_EQ(out, "none");
  LFile::RegSetString(LRegistryRoot::LocalMachine, key, "DisplayName", "Orativo");
  EXPECT_TRUE(LFile::RegGetString(LRegistryRoot::LocalMachine, key, "DisplayName", "none", out));
  EXPECT_EQ(out, "Orativo");
  EXPECT_FALSE(LFile::RegGetString(LRegistryRoot::CurrentUser, key, "DisplayName", "", out));  // the scopes are apart
  LFile::RegSetString(LRegistryRoot::LocalMachine, key, "Long", std::string(400, 'v'));
  EXPECT_TRUE(LFile::RegGetString(LRegistryRoot::LocalMachine, key, "Long", "", out));
  EXPECT_EQ(out.size(), LFile::kMaxPathChars);
  LFile::RegDeleteString(LRegistryRoot::LocalMachine, key, "DisplayName");
  EXPECT_FALSE(LFile::RegGetString(LRegistryRoot::LocalMachine, key, "DisplayName", "gone", out));
  EXPECT_EQ(out, "gone");
}

}  // namespace
