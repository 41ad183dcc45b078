#include "framework/lfile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/debug_log.h"
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
  // A path at the limit is left alone, with the diagnostic.
  std::string full(LFile::kMaxPathChars, 'a');
  LDebugLogCapture capture;
  EXPECT_EQ(Cat(full, "b"), full);
  EXPECT_TRUE(capture.Contains("LFile::FilePathCat szFolderPath too long"));

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

TEST(LFile, FolderAndFileParts) {
  EXPECT_EQ(Folder("file.wav"), "");
  EXPECT_EQ(Folder("C:\\Lessons\\French\\French.ini"), "C:\\Lessons\\French");
  EXPECT_EQ(Folder("C:/x\\y/z.wav"), "C:/x\\y");
  EXPECT_EQ(Folder("/file.wav"), "/");
  EXPECT_EQ(File("C:/x/y.wav"), "y.wav");
  EXPECT_EQ(File("C:\\x\\y.wav"), "y.wav");
  EXPECT_EQ(File("bare"), "bare");
  EXPECT_EQ(File("/x/folder/"), "");
}

TEST(LFile, PartsOfOverlongPathsAreCutWithDiagnostics) {
  std::string longPath = "/" + std::string(300, 'f') + "/name.wav";
  LDebugLogCapture capture;
  std::string folder = Folder(longPath);
  EXPECT_LE(folder.size(), LFile::kMaxPathChars);
  EXPECT_TRUE(capture.Contains("LFile::_GetFolderFromPath szPath is too long"));

  std::string file = File("/x/" + std::string(300, 'n'));
  EXPECT_EQ(file.size(), LFile::kMaxPathChars);
  EXPECT_TRUE(capture.Contains("LFile::_GetFileFromPath szPath is too long"));

  std::string applied = NewExt("/x/" + std::string(250, 'n') + ".w", ".wavefile");
  EXPECT_EQ(applied.size(), LFile::kMaxPathChars);
  EXPECT_TRUE(capture.Contains("LFile::_ApplyNewFileExtension path too long"));
}

TEST(LFile, TitleAndExtension) {
  EXPECT_EQ(Title("/l/Hello.world.wav"), "Hello.world");
  EXPECT_EQ(Title("/l/.hidden"), ".hidden");
  EXPECT_EQ(Title("C:\\a.b\\file"), "file");
  EXPECT_EQ(Ext("/l/Hello.WAV"), ".WAV");
  EXPECT_EQ(Ext("C:\\a.b\\file"), "");
  EXPECT_EQ(Ext("Hello."), ".");
}

TEST(LFile, ApplyNewFileExtension) {
  EXPECT_EQ(NewExt("C:\\a.b\\file", ".raf"), "C:\\a.b\\file");
  EXPECT_EQ(NewExt("/l/a.b/Hello.wav", ".raf"), "/l/a.b/Hello.raf");
  EXPECT_EQ(NewExt("Hello.x.wav", ".htm"), "Hello.x.htm");
  EXPECT_EQ(NewExt(".hidden", ".raf"), ".hidden");  // the dot is the path's first character
  EXPECT_EQ(NewExt("/l/Hello", ".raf"), "/l/Hello");
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

TEST(LFile, ReadTextFileLimitsAndAbsence) {
  TempFolder temp;
  std::string big(100000, 'x');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + i % 26);
  ASSERT_TRUE(LFile::WriteTextFile(temp.File("big.txt"), big));
  std::string text = LFile::ReadTextFile(temp.File("big.txt"));
  EXPECT_EQ(text.size(), LFile::kMaxTextFileBytes);
  EXPECT_EQ(text, big.substr(0, LFile::kMaxTextFileBytes));

  EXPECT_EQ(LFile::ReadTextFile(temp.File("missing.txt")), "");
  ASSERT_TRUE(LFile::WriteTextFile(temp.File("empty.txt"), ""));
  EXPECT_EQ(LFile::ReadTextFile(temp.File("empty.txt")), "");

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

  LDebugLogCapture capture;
  EXPECT_FALSE(LFile::DeleteFolderAndFiles(folder));
  EXPECT_FALSE(std::filesystem::exists(folder + "/a.wav"));
  EXPECT_FALSE(std::filesystem::exists(folder + "/b.ini"));
  EXPECT_TRUE(std::filesystem::exists(folder + "/.keep"));
  EXPECT_TRUE(std::filesystem::exists(folder + "/sub/inner.txt"));
  EXPECT_TRUE(capture.Contains("LFile::DeleteFolderAndFiles unable to DeleteFile: sub"));
  EXPECT_TRUE(capture.Contains("LFile::DeleteFolderAndFiles unable to DeleteFolder: "));

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
  EXPECT_NE(user.find("Kestrelon/Orativo"), std::string::npos);
  std::string again;
  EXPECT_FALSE(LFile::GetUserProgramDataFolder(again));
  EXPECT_EQ(again, user);

  std::string shared;
  LFile::GetSharedProgramDataFolder(shared);
  EXPECT_TRUE(std::filesystem::is_directory(shared));
  EXPECT_NE(shared, user);
}

TEST(LFile, RawSettingsStrings) {
  const std::string key = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orativo";
  std::string out;
  EXPECT_FALSE(LFile::RegGetString(LRegistryRoot::LocalMachine, key, "DisplayName", "none", out));
  EXPECT_EQ(out, "none");
  LFile::RegSetString(LRegistryRoot::LocalMachine, key, "DisplayName", "Orativo");
  EXPECT_TRUE(LFile::RegGetString(LRegistryRoot::LocalMachine, key, "DisplayName", "none", out));
  EXPECT_EQ(out, "Orativo");
  // The scopes are apart.
  EXPECT_FALSE(LFile::RegGetString(LRegistryRoot::CurrentUser, key, "DisplayName", "", out));
  LFile::RegSetString(LRegistryRoot::LocalMachine, key, "Long", std::string(400, 'v'));
  EXPECT_TRUE(LFile::RegGetString(LRegistryRoot::LocalMachine, key, "Long", "", out));
  EXPECT_EQ(out.size(), LFile::kMaxPathChars);
  LFile::RegDeleteString(LRegistryRoot::LocalMachine, key, "DisplayName");
  EXPECT_FALSE(LFile::RegGetString(LRegistryRoot::LocalMachine, key, "DisplayName", "gone", out));
  EXPECT_EQ(out, "gone");
  LFile::RegDeleteString(LRegistryRoot::LocalMachine, key, "DisplayName");  // a second delete is harmless
}

}  // namespace
