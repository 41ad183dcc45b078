#include "framework/lfile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
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
std::string Folder(std::string_view path) {
  std::string out = "stale";
  LFile::GetFolderFromPath(out, path);
  return out;
}
std::string File(std::string_view path) {
  std::string out = "stale";
  LFile::GetFileFromPath(out, path);
  return out;
}
std::string Title(std::string_view path) {
  std::string out;
  LFile::GetFileTitleFromPath(out, path);
  return out;
}
std::string Ext(std::string_view path) {
  std::string out = "stale";
  LFile::GetFileExtFromPath(out, path);
  return out;
}
std::string NewExt(std::string_view path, std::string_view ext) {
  std::string out;
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
  const struct {
    std::string got, want;
  } cases[] = {
      {Folder("file.wav"), ""},
      {Folder("C:\\Lessons\\French\\French.ini"), "C:\\Lessons\\French"},
      {Folder("C:/x\\y/z.wav"), "C:/x\\y"},
      {Folder("/file.wav"), "/"},
      {File("C:\\x\\y.wav"), "y.wav"},
      {File("bare"), "bare"},
      {File("/x/folder/"), ""},
      {Title("/l/Hello.world.wav"), "Hello.world"},
      {Title("/l/.hidden"), ".hidden"},
      {Title("C:\\a.b\\file"), "file"},
      {Ext("/l/Hello.WAV"), ".WAV"},
      {Ext("C:\\a.b\\file"), ""},
      {Ext("Hello."), "."},
      {NewExt("C:\\a.b\\file", ".raf"), "C:\\a.b\\file"},
      {NewExt("/l/a.b/Hello.wav", ".raf"), "/l/a.b/Hello.raf"},
      {NewExt(".hidden", ".raf"), ".hidden"},
      {NewExt("/l/Hello", ".raf"), "/l/Hello"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want);
  // Overlong paths give parts cut to the limit.
  EXPECT_LE(Folder("/" + std::string(300, 'f') + "/name.wav").size(), LFile::kMaxPathChars);
  EXPECT_EQ(File("/x/" + std::string(300, 'n')).size(), LFile::kMaxPathChars);
  EXPECT_EQ(NewExt("/x/" + std::string(250, 'n') + ".w", ".wavefile").size(), LFile::kMaxPathChars);
}

TEST(LFile, ValidFileName) {
  std::string out;
  EXPECT_TRUE(LFile::GetValidFileName(out, "Caf\xC3\xA9, oui?"));
  EXPECT_EQ(out, "Caf, oui");
  EXPECT_FALSE(LFile::GetValidFileName(out, "...."));
  EXPECT_EQ(out, "");
  EXPECT_TRUE(LFile::GetValidFileName(out, "a\"b*c/d:e<f>g?h\\i|j\tk\x7F"));
  EXPECT_EQ(out, "abcdefghijk\x7F");
  EXPECT_TRUE(LFile::GetValidFileName(out, std::string(400, 'x')));
  EXPECT_EQ(out.size(), LFile::kMaxPathChars);
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
  ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  ASSERT_TRUE(testsupport::WriteFileText(folder + "/a.wav", "a"));
  ASSERT_TRUE(testsupport::WriteFileText(folder + "/b.ini", "b"));
  ASSERT_TRUE(testsupport::WriteFileText(folder + "/.keep", "k"));
  ASSERT_EQ(mkdir((folder + "/sub").c_str(), 0755), 0);
  ASSERT_TRUE(testsupport::WriteFileText(folder + "/sub/inner.txt", "i"));

  EXPECT_FALSE(LFile::DeleteFolderAndFiles(folder));
  EXPECT_FALSE(std::filesystem::exists(folder + "/a.wav"));
  EXPECT_FALSE(std::filesystem::exists(folder + "/b.ini"));
  EXPECT_TRUE(std::filesystem::exists(folder + "/.keep"));
  EXPECT_TRUE(std::filesystem::exists(folder + "/sub/inner.txt"));

  std::filesystem::remove_all(folder + "/sub");
  std::filesystem::remove(folder + "/.keep");
  EXPECT_TRUE(LFile::DeleteFolderAndFiles(folder));
  EXPECT_FALSE(std::filesystem::exists(folder));
}

TEST(LFile, DeleteFolderAndFilesNeverFollowsLinks) {
  TempFolder temp;
  std::string outside = temp.File("outside");
  ASSERT_EQ(mkdir(outside.c_str(), 0755), 0);
  ASSERT_TRUE(testsupport::WriteFileText(outside + "/precious.txt", "p"));
  std::string folder = temp.File("lesson");
  ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
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
