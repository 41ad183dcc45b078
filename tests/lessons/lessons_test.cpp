#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "framework/lfile.h"
#include "framework/settings.h"
#include "lessons/expression_page.h"
#include "lessons/lesson.h"
#include "lessons/rich_audio_file.h"
#include "platform/private_profile.h"
#include "tests/support/child_process.h"
#include "tests/support/test_support.h"

using testsupport::TempFolder;

namespace {

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

void Touch(const std::string& path, const std::string& text = "x") {
  ASSERT_TRUE(testsupport::WriteFileText(path, text));
}

void TouchAll(const TempFolder& folder, std::initializer_list<const char*> names) {
  for (const char* name : names) Touch(folder.File(name));
}
void WriteAll(const TempFolder& folder, std::initializer_list<std::pair<const char*, std::string>> files) {
  for (const auto& [name, text] : files) Touch(folder.File(name), text);
}

// The folder's entries, sorted.
std::vector<std::string> Listing(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}
using Names = std::vector<std::string>;

std::string ReadText(const std::string& path) {
  std::vector<uint8_t> bytes = testsupport::ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

const char kHead[] =
    "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\"></head>"
    "<body bgcolor=#ffffff leftmargin=0 topmargin=0 >";

class Progress : public LCopyProgress {
 public:
  void SetText(const std::string&, int) override {}
  void SetProgress(double) override {}
  bool Cancelled() override { return cancel; }
  bool cancel = false;
};

// Runs check in a child process that file permissions bind even when the
// tests run as root; true when check returned true there.
bool InChildBoundByPermissions(const std::function<bool()>& check) {
  return testsupport::RunInChild([&] {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct caps[2] = {};
    if (syscall(SYS_capget, &header, caps) != 0) return false;
    for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) caps[cap / 32].effective &= ~(1u << (cap % 32));
    return syscall(SYS_capset, &header, caps) == 0 && check();
  });
}

}  // namespace

TEST(LLesson, SystemFoldersComeFromSettingsAfterCreatingDefaults) {
  std::string lessons = LLesson::GetLessonsFolder(true);
  EXPECT_TRUE(Exists(lessons));
  EXPECT_TRUE(Exists(LLesson::GetRecordingsFolder(false)));

  TempFolder other;
  RegSetUserSetting("SystemFolders", "StudentLessons", other.File("mine"));
  ASSERT_EQ(rmdir(lessons.c_str()), 0);
  EXPECT_EQ(LLesson::GetLessonsFolder(false), other.File("mine"));
  EXPECT_TRUE(Exists(lessons)) << "the default is created even when another folder is configured";
  EXPECT_FALSE(Exists(other.File("mine"))) << "a configured folder is not created";
  EXPECT_EQ(LLesson::GetLessonsFolder(true), lessons);
}

TEST(LLesson, CreateDescribeListAndDelete) {
  TempFolder lessons;
  std::string path;
  ASSERT_TRUE(LLesson::CreateLesson(lessons.Path(), "Greetings", path));
  EXPECT_EQ(path, lessons.Path() + "/Greetings/Greetings.ini");
  std::string date;
  GetDateYYYYHMMHDDTimeHHCMM(LDateTime::Now(), &date, nullptr);
  EXPECT_EQ(LLesson::GetDescription(path),
            "Lesson Name: Greetings\r\nCreate Date: " + date + "\r\nExpression(s): \r\n");

  Touch(lessons.Path() + "/Greetings/Hello.raf");
  EXPECT_TRUE(LLesson::ExpressionExists(path, "HELLO"));
  EXPECT_FALSE(LLesson::ExpressionExists(path, "Hell"));
  EXPECT_EQ(LLesson::ListLessons(lessons.Path()), std::vector<std::string>{"Greetings"});
  EXPECT_EQ(LLesson::FindLesson(lessons.Path(), "gREETINGS"), "Greetings");

  // A lesson copied from Windows: no date, CRLF, the lesson file in another letter case.
  ASSERT_EQ(mkdir((lessons.Path() + "/Old").c_str(), 0755), 0);
  Touch(lessons.Path() + "/Old/OLD.INI", "[study]\r\nmode=1\r\n");
  Touch(lessons.Path() + "/Old/A.RAF");
  std::string old = LLesson::GetLessonPath(lessons.Path(), "Old");
  EXPECT_EQ(LLesson::GetDescription(old), "Lesson Name: Old\r\nExpression(s): \r\n   A\r\n");
  EXPECT_EQ(ProfileReadInt(LLesson::ResolveLessonFile(old), "study", "mode", 0), 1);

  EXPECT_FALSE(LLesson::DeleteLesson(lessons.Path() + "/Greetings/Other.ini"));
  EXPECT_FALSE(LLesson::DeleteLesson("Greetings.ini"));
  EXPECT_TRUE(Exists(lessons.Path() + "/Greetings/Hello.raf"));
  EXPECT_TRUE(LLesson::DeleteLesson(path));
  EXPECT_FALSE(Exists(lessons.Path() + "/Greetings"));
  EXPECT_TRUE(LLesson::ReplaceLesson(lessons.Path(), "OLD"));
  EXPECT_FALSE(Exists(lessons.Path() + "/Old"));
}

TEST(LLesson, SetNameMovesFolderAndFileButNeverOverAnotherLesson) {
  TempFolder lessons;
  std::string a, b;
  ASSERT_TRUE(LLesson::CreateLesson(lessons.Path(), "A", a));
  ASSERT_TRUE(LLesson::CreateLesson(lessons.Path(), "B", b));
  std::string keep = a;
  EXPECT_FALSE(LLesson::SetName(a, "B"));
  EXPECT_EQ(a, keep);
  ASSERT_EQ(rmdir(b.substr(0, b.rfind('/')).c_str()), -1);  // B is not empty
  ASSERT_TRUE(LFile::DeleteFolderAndFiles(lessons.Path() + "/B"));
  ASSERT_EQ(mkdir((lessons.Path() + "/B").c_str(), 0755), 0);  // an empty folder is still a name in use
  EXPECT_FALSE(LLesson::SetName(a, "B"));
  EXPECT_TRUE(LLesson::SetName(a, "C d"));
  EXPECT_EQ(a, lessons.Path() + "/C d/C d.ini");
  EXPECT_TRUE(Exists(a));
}

// A lesson file lying loose in some folder (opened from the command line) is
// no lesson folder: neither renaming the lesson nor an expression named like
// it may move or delete anything but that expression's own files.
TEST(LLesson, LooseLessonFileMovesNoFolderAndIsNoExpressionFile) {
  TempFolder home;
  const std::string docs = home.Path() + "/Documents";
  ASSERT_EQ(mkdir(docs.c_str(), 0755), 0);
  Touch(docs + "/Greetings.ini", "[create]\n");
  Touch(docs + "/Other.txt", "mine");
  for (const char* name : {"Greetings.raf", "Greetings.wav", "Greetings.INI"}) Touch(docs + "/" + name);
  std::string loose = docs + "/Greetings.ini";
  EXPECT_FALSE(LLesson::IsLessonPath(loose));
  LLessonError error = LLessonError::kNone;
  EXPECT_FALSE(LLesson::SetName(loose, "Hello", &error));
  EXPECT_NE(error, LLessonError::kNone);
  EXPECT_EQ(loose, docs + "/Greetings.ini");
  EXPECT_FALSE(LLesson::DeleteLesson(loose));
  EXPECT_FALSE(Exists(home.Path() + "/Hello"));

  ASSERT_TRUE(LLesson::RenameExpressionFiles(docs + "/Greetings.raf", "Bye"));
  EXPECT_TRUE(Exists(docs + "/Bye.wav"));
  std::string record = docs + "/Bye.raf";
  ASSERT_TRUE(LRichAudioFile::Delete(record));
  std::string kept = docs + "/Greetings.raf";
  Touch(kept);
  ASSERT_TRUE(LRichAudioFile::Delete(kept));
  EXPECT_EQ(Listing(docs), (Names{"Greetings.INI", "Greetings.ini", "Other.txt"}));
}

TEST(LLesson, RenameHelloToByeMovesOnlyHelloAndRewritesPage) {
  TempFolder lesson;
  TouchAll(lesson, {"Hello.raf", "Hello.wav", "Hello.bmp", "Hello.scp", "Hello world.raf", "Hello world.wav",
                    "Hello[1].wav", "Hellox.raf", "hello.raf", "hello.wav"});
  Touch(lesson.File("Hello.htm"), "old page");
  ASSERT_TRUE(LLesson::RenameExpressionFiles(lesson.File("Hello.raf"), "Bye"));
  EXPECT_EQ(Listing(lesson.Path()), (Names{"Bye.bmp", "Bye.htm", "Bye.raf", "Bye.scp", "Bye.wav", "Hello world.raf",
                                           "Hello world.wav", "Hello[1].wav", "Hellox.raf", "hello.raf", "hello.wav"}));
  EXPECT_EQ(ReadText(lesson.File("Bye.htm")), std::string(kHead) + "<center><img src=\"" + lesson.File("Bye.bmp") +
                                                  "\" border=0></a></center></body></html>");
}

TEST(LLesson, RenameThatMeetsATakenNameUndoesItself) {
  TempFolder lesson;
  for (const char* name : {"Hello.raf", "Hello.wav", "Hello.scp", "Bye.scp"}) Touch(lesson.File(name), name);
  EXPECT_FALSE(LLesson::RenameExpressionFiles(lesson.File("Hello.raf"), "Bye"));
  for (const char* name : {"Hello.raf", "Hello.wav", "Hello.scp", "Bye.scp"})
    EXPECT_EQ(ReadText(lesson.File(name)), name);
  EXPECT_FALSE(Exists(lesson.File("Bye.raf")));
}

TEST(LRichAudioFile, NewFindsAFreeNameUpTo399) {
  TempFolder folder;
  std::string dir = folder.Path() + "/", path;
  ASSERT_TRUE(LRichAudioFile::New(path, dir, "Expression"));
  EXPECT_EQ(path, dir + "Expression.raf");
  EXPECT_TRUE(Exists(path));
  ASSERT_TRUE(LRichAudioFile::New(path, dir, "Expression"));
  EXPECT_EQ(path, dir + "Expression 2.raf");
  std::string longName(50, 'n');
  Touch(dir + longName + ".raf");
  ASSERT_TRUE(LRichAudioFile::New(path, dir, longName));
  EXPECT_EQ(path, dir + std::string(40, 'n') + " 2.raf");
  std::string tooLong;
  EXPECT_FALSE(LRichAudioFile::New(tooLong, dir, std::string(300 - dir.size(), 'z')));
  EXPECT_TRUE(tooLong.empty());
  Touch(dir + "word.RAF");  // the same expression on Windows
  ASSERT_TRUE(LRichAudioFile::New(path, dir, "Word"));
  EXPECT_EQ(path, dir + "Word 2.raf");

  for (int n = 3; n <= 399; ++n) Touch(dir + "Expression " + std::to_string(n) + ".raf");
  EXPECT_FALSE(LRichAudioFile::New(path, dir, "Expression"));
  EXPECT_FALSE(Exists(dir + "Expression 400.raf"));
  ASSERT_EQ(unlink((dir + "Expression 399.raf").c_str()), 0);
  ASSERT_TRUE(LRichAudioFile::New(path, dir, "Expression"));
  EXPECT_EQ(path, dir + "Expression 399.raf");
}

TEST(LRichAudioFile, DeleteRemovesExactlyThatExpression) {
  TempFolder folder;
  TouchAll(folder, {"Hello.raf", "Hello.wav", "Hello.scp", "Hello.bmp", "Hello.htm", "HELLO.MP3"});
  const Names others = {"Hello",        "Hello .wav", "Hello world.raf", "Hello world.wav", "Hello*.wav", "Hello?.raf",
                        "Hello[1].wav", "Hellox.wav", "[Hello].raf",     "hello.raf",       "hello.wav",  "xHello.wav"};
  for (const auto& name : others) Touch(folder.File(name));
  std::string path = folder.File("Hello.raf");
  EXPECT_TRUE(LRichAudioFile::Delete(path));
  EXPECT_TRUE(path.empty());
  EXPECT_EQ(Listing(folder.Path()), others);
}

TEST(LRichAudioFile, ImportTakesWavAndMp3Only) {
  TempFolder folder;
  std::string record = folder.File("Hello.raf");
  WriteAll(folder, {{"Hello.raf", "[raf]\r\naudiotype=0\r\n"},
                    {"Hello.wav", "old"},
                    {"song.OGG", "ogg"},
                    {"song.MP3", "mp3 bytes"}});
  EXPECT_FALSE(LRichAudioFile::ImportAudioFile(record, folder.File("song.OGG"), nullptr));
  EXPECT_EQ(ReadText(folder.File("Hello.wav")), "old");
  EXPECT_EQ(ProfileReadInt(record, "raf", "audiotype", -1), 0);

  EXPECT_TRUE(LRichAudioFile::ImportAudioFile(record, folder.File("song.MP3"), nullptr));
  EXPECT_FALSE(Exists(folder.File("Hello.wav")));
  EXPECT_EQ(ProfileReadInt(record, "raf", "audiotype", -1), 1);
  EXPECT_EQ(ReadText(folder.File("Hello.mp3")), "mp3 bytes");

  // hello.raf is another expression on this file system: its files are never Hello's.
  WriteAll(folder, {{"hello.raf", "x"}, {"hello.wav", "theirs"}, {"hello.scp", "theirs"}});
  LRichAudioFile::WriteExplanation(record, "mine");
  EXPECT_EQ(ReadText(folder.File("hello.scp")), "theirs");
  EXPECT_EQ(ReadText(folder.File("Hello.scp")), "mine");
  EXPECT_TRUE(LRichAudioFile::ImportAudioFile(record, folder.File("song.MP3"), nullptr));
  EXPECT_EQ(ReadText(folder.File("hello.wav")), "theirs");
}

// However a load ends, the expression keeps a type and an audio file of that type.
TEST(LRichAudioFile, LoadNeverLeavesTheExpressionWithoutAudio) {
  TempFolder folder;
  std::string record = folder.File("Hello.raf");
  WriteAll(
      folder,
      {{"Hello.raf", "[raf]\r\naudiotype=1\r\n"}, {"Hello.mp3", "old mp3"}, {"new.wav", std::string(200000, 'w')}});
  auto expectOld = [&](const char* what) {
    EXPECT_EQ(ProfileReadInt(record, "raf", "audiotype", -1), 1) << what;
    EXPECT_EQ(ReadText(folder.File("Hello.mp3")), "old mp3") << what;
    EXPECT_FALSE(Exists(folder.File("Hello.wav"))) << what;
  };
  EXPECT_FALSE(LRichAudioFile::LoadAudioFile(record, 0, folder.File("missing.wav"), nullptr));
  expectOld("failed copy");
  Progress cancel;
  cancel.cancel = true;
  EXPECT_FALSE(LRichAudioFile::LoadAudioFile(record, 0, folder.File("new.wav"), &cancel));
  expectOld("cancelled copy");
  EXPECT_TRUE(LRichAudioFile::LoadAudioFile(record, 1, folder.File("Hello.mp3"), nullptr));
  expectOld("its own file");
  EXPECT_TRUE(LRichAudioFile::ImportAudioFile(record, folder.File("Hello.mp3"), nullptr));
  expectOld("its own file imported");
  ASSERT_EQ(chmod(record.c_str(), 0444), 0);
  EXPECT_FALSE(LRichAudioFile::LoadAudioFile(record, 0, folder.File("new.wav"), nullptr));
  expectOld("read-only record");
  ASSERT_EQ(chmod(record.c_str(), 0644), 0);

  Progress progress;
  EXPECT_TRUE(LRichAudioFile::LoadAudioFile(record, 0, folder.File("new.wav"), &progress));
  EXPECT_EQ(ProfileReadInt(record, "raf", "audiotype", -1), 0);
  EXPECT_EQ(ReadText(folder.File("Hello.wav")), std::string(200000, 'w'));
  EXPECT_EQ(Listing(folder.Path()), (Names{"Hello.raf", "Hello.wav", "new.wav"})) << "no temporary file is left";
}

TEST(LRichAudioFile, OpenSourceFollowsTypeAndWindowsCopies) {
  TempFolder folder;
  ASSERT_TRUE(testsupport::WriteWav16(folder.File("HELLO.WAV"), 22050, 1, testsupport::Tone(22050, 1, 2205, 440, 0.5)));
  // No record at all: R.wav, found in any letter case.
  EXPECT_TRUE(LRichAudioFile::OpenSource(folder.File("Hello.raf")).IsUsable());
  Touch(folder.File("Hello.RAF"), "[raf]\r\naudiotype=0\r\n[image]\r\nfile=.gif\r\n");
  EXPECT_TRUE(LRichAudioFile::OpenSource(folder.File("Hello.raf")).IsUsable());

  Touch(folder.File("Mp3.raf"), "[raf]\r\naudiotype=1\r\n");  // a type without its file
  EXPECT_FALSE(LRichAudioFile::OpenSource(folder.File("Mp3.raf")).IsUsable());
  Touch(folder.File("Odd.raf"), "[raf]\r\naudiotype=7\r\n");
  EXPECT_EQ(LRichAudioFile::OpenSource(folder.File("Odd.raf"))->error, kSoundMissingSource);
  EXPECT_EQ(LRichAudioFile::OpenSource("")->error, kSoundMissingSource);
  EXPECT_EQ(LRichAudioFile::OpenSource(folder.File("None.raf"))->error, kSoundCannotOpen);
}

TEST(LRichAudioFile, ExplanationKeepsUtf8AndConvertsWindows1252) {
  TempFolder folder;
  std::string record = folder.File("Hello.raf");
  EXPECT_FALSE(LRichAudioFile::ReadExplanation(record).has_value());
  LRichAudioFile::WriteExplanation(record, "<b>caf\xC3\xA9</b>");
  EXPECT_EQ(*LRichAudioFile::ReadExplanation(record), "<b>caf\xC3\xA9</b>");
  Touch(folder.File("Hello.scp"), "caf\xE9 \x80 \x93");
  EXPECT_EQ(*LRichAudioFile::ReadExplanation(record), "caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9C");
  EXPECT_FALSE(LRichAudioFile::ReadExplanation("").has_value());
}

TEST(ExpressionPage, WritesExactBytes) {
  TempFolder folder;
  std::string record = folder.File("Hello.raf"), page = folder.File("Hello.htm");
  const std::string tail = "</body></html>";
  WriteExpressionPage("", page, false);
  EXPECT_EQ(ReadText(page), kHead + tail);

  Touch(record, "[image]\nfile=.gif\n");
  Touch(folder.File("Hello.bmp"));
  Touch(folder.File("Hello.scp"), "<b>Hi</b>");
  WriteExpressionPage(record, page, false);
  EXPECT_EQ(ReadText(page), kHead + std::string("<b>Hi</b>") + tail) << "the named .gif is missing";
  Touch(folder.File("Hello.gif"));
  WriteExpressionPage(record, page, true);
  const std::string image = "<center><img src=\"" + folder.File("Hello.gif") + "\" border=0></a></center>";
  EXPECT_EQ(ReadText(page), kHead + image + tail);
  WriteExpressionPage(record, page, false);
  EXPECT_EQ(ReadText(page), kHead + image + "<b>Hi</b>" + tail);
}

TEST(LLesson, EmptyNamesAndNamesThatWouldBeCutAreRefused) {
  TempFolder lessons;
  const size_t most = LLesson::MaxNameChars(lessons.Path());
  ASSERT_GT(most, 10u);
  std::string path;
  LLessonError error = LLessonError::kNone;
  EXPECT_FALSE(LLesson::CreateLesson(lessons.Path(), std::string(most + 1, 'a'), path, &error));
  EXPECT_EQ(error, LLessonError::kNameTooLong);
  EXPECT_TRUE(LLesson::ListLessons(lessons.Path()).empty());

  ASSERT_TRUE(LLesson::CreateLesson(lessons.Path(), std::string(most, 'b'), path, &error));
  EXPECT_TRUE(Exists(path));
  std::string renamed = path, record;
  EXPECT_FALSE(LLesson::SetName(renamed, "...."));
  EXPECT_FALSE(LRichAudioFile::New(record, lessons.Path() + "/", "..*?"));
  EXPECT_FALSE(LLesson::SetName(renamed, std::string(most + 1, 'c'), &error));
  EXPECT_EQ(error, LLessonError::kNameTooLong);
  EXPECT_EQ(renamed, path);
  EXPECT_TRUE(LLesson::SetName(renamed, std::string(most, 'c'), &error));
  EXPECT_TRUE(LLesson::DeleteLesson(renamed));
}

TEST(LRichAudioFile, ReadOnlyFolderCreatesNoRecordAndNoLesson) {
  TempFolder folder;
  ASSERT_EQ(chmod(folder.Path().c_str(), 0555), 0);
  std::string dir = folder.Path() + "/";
  EXPECT_TRUE(InChildBoundByPermissions([&] {
    std::string record, lesson;
    LLessonError error = LLessonError::kNone;
    return !LRichAudioFile::New(record, dir, "Expression") && record.empty() &&
           !LLesson::CreateLesson(folder.Path(), "Lesson", lesson, &error) && error == LLessonError::kCannotWrite;
  }));
  chmod(folder.Path().c_str(), 0755);
}

TEST(LRichAudioFile, ExplanationCutInsideACharacterStaysUtf8) {
  TempFolder folder;
  const std::string euro = "\xE2\x82\xAC", smile = "\xF0\x9F\x98\x80";
  for (const std::string& character : {euro, smile}) {
    for (size_t kept = 1; kept < character.size(); ++kept) {
      std::string before = "<p>\xC3\xA9" + std::string(LFile::kMaxTextFileBytes - 5 - kept, 'x');
      Touch(folder.File("Hello.scp"), before + character + "more");
      std::optional<std::string> read = LRichAudioFile::ReadExplanation(folder.File("Hello.raf"));
      ASSERT_TRUE(read.has_value());
      EXPECT_EQ(*read, before) << "cut after " << kept << " bytes";
    }
  }
}

TEST(ExpressionPage, ImageExtensionIsNeverAPath) {
  TempFolder folder;
  ASSERT_EQ(mkdir(folder.File("sub").c_str(), 0755), 0);
  Touch(folder.File("sub/Hello.raf"));
  Touch(folder.File("secret.png"));
  ASSERT_EQ(mkdir(folder.File("sub/Hello.x").c_str(), 0755), 0);
  for (const char* ext : {".x/../../secret.png", "..png", ".p ng", "png", "."}) {
    ASSERT_TRUE(PrivateProfileWriteString(folder.File("sub/Hello.raf"), "image", "file", ext));
    WriteExpressionPage(folder.File("sub/Hello.raf"), folder.File("page.htm"), true);
    EXPECT_EQ(ReadText(folder.File("page.htm")).find("<img"), std::string::npos) << ext;
  }
  ASSERT_TRUE(PrivateProfileWriteString(folder.File("sub/Hello.raf"), "image", "file", ".PNG"));
  EXPECT_EQ(LRichAudioFile::GetImageFileName(folder.File("sub/Hello.raf")), folder.File("sub/Hello.PNG"));
}
