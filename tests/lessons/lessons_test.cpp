#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QImage>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextBrowser>
#include <algorithm>
#include <filesystem>

#include "framework/lfile.h"
#include "framework/settings.h"
#include "framework/widgets/dialog_items.h"
#include "framework/widgets/progress_dialog.h"
#include "framework/widgets/win_defs.h"
#include "lessons/expression_order.h"
#include "lessons/expression_page.h"
#include "lessons/lesson.h"
#include "lessons/rich_audio_file.h"
#include "platform/private_profile.h"
#include "tests/support/child_process.h"
#include "tests/support/test_support.h"

using testsupport::ReadFileBytes;
using testsupport::TempFolder;
using testsupport::WriteFileBytes;

namespace {

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

void Touch(const std::string& path, const std::string& text = "x") {
  ASSERT_TRUE(testsupport::WriteFileText(path, text));
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
using Flags = std::vector<bool>;
using Ints = std::vector<int>;

std::string ReadText(const std::string& path) {
  std::vector<uint8_t> bytes = testsupport::ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

const char kHead[] =
    "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\"></head>"
    "<body bgcolor=#ffffff leftmargin=0 topmargin=0 >";

// "Load File" as the windows run it: the copy reports to the progress window
// itself; cancelAt clicks its Cancel button once the bar reaches that value.
class LoadFile : public LProgressDialog {
 public:
  LoadFile(std::string record, std::string source)
      : LProgressDialog("Load File"), record_(std::move(record)), source_(std::move(source)) {}
  int cancelAt = 101;
  int lastBar = -1;

  void SetProgress(double fraction) override {
    LProgressDialog::SetProgress(fraction);
    lastBar = qobject_cast<QProgressBar*>(LFindControl(Window(), kProgress))->value();
    if (lastBar >= cancelAt) qobject_cast<QPushButton*>(LFindControl(Window(), IDCANCEL))->click();
  }

 protected:
  bool Process() override { return LRichAudioFile::LoadAudioFile(record_, kAudioTypeWav, source_, this); }

 private:
  std::string record_, source_;
};

std::vector<uint8_t> Pattern(size_t bytes) {
  std::vector<uint8_t> data(bytes);
  for (size_t i = 0; i < bytes; ++i) data[i] = static_cast<uint8_t>(i * 7 + i / 251);
  return data;
}

std::vector<std::string> OrderedNames(const std::string& lessonPath) {
  std::vector<std::string> out;
  for (const auto& e : ListExpressionsInOrder(lessonPath)) out.push_back(e.name);
  return out;
}

const std::string kOrder = "[raf]\r\naudiotype=0\r\n[expression]\r\norder";

}  // namespace

TEST(LLesson, SystemFoldersComeFromSettingsAfterCreatingDefaults) {
  std::string lessons = LLesson::GetLessonsFolder(true);
  EXPECT_TRUE(Exists(LLesson::GetRecordingsFolder(false)));

  TempFolder other;
  RegSetUserSetting("SystemFolders", "StudentLessons", other.File("mine"));
  ASSERT_EQ(rmdir(lessons.c_str()), 0);
  EXPECT_EQ(LLesson::GetLessonsFolder(false), other.File("mine"));
  // The default is created even when another folder is configured; a configured folder is not.
  EXPECT_EQ((std::vector<bool>{Exists(lessons), Exists(other.File("mine"))}), (std::vector<bool>{true, false}));
  EXPECT_EQ(LLesson::GetLessonsFolder(true), lessons);
}

// Names in use (an empty folder too), empty after cleaning, or cut by the
// path limit are refused, the lesson kept where it was; so is a path that is
// not {name}/{name}.ini, and any lesson in a read-only folder.
TEST(LLesson, CreateDescribeRenameAndDelete) {
  TempFolder lessons;
  const size_t most = LLesson::MaxNameChars(lessons.Path());
  std::string path, other, date;
  LLessonError error = LLessonError::kNone;
  EXPECT_FALSE(LLesson::CreateLesson(lessons.Path(), std::string(most + 1, 'a'), path, &error));
  EXPECT_EQ(error, LLessonError::kNameTooLong);

  ASSERT_TRUE(LLesson::CreateLesson(lessons.Path(), "Greetings", path));
  GetDateYYYYHMMHDDTimeHHCMM(LDateTime::Now(), &date, nullptr);
  EXPECT_EQ(LLesson::GetDescription(path),
            "Lesson Name: Greetings\r\nCreate Date: " + date + "\r\nExpression(s): \r\n");
  Touch(lessons.File("Greetings/Hello.raf"));
  EXPECT_EQ((Flags{LLesson::ExpressionExists(path, "HELLO"), LLesson::ExpressionExists(path, "Hell")}),
            (Flags{true, false}));
  EXPECT_EQ(LLesson::ListLessons(lessons.Path()), Names{"Greetings"});
  EXPECT_EQ(LLesson::FindLesson(lessons.Path(), "gREETINGS"), "Greetings");

  // A lesson copied from Windows: no date, CRLF, the lesson file in another letter case.
  ASSERT_EQ(mkdir(lessons.File("Old").c_str(), 0755), 0);
  WriteAll(lessons, {{"Old/OLD.INI", "[study]\r\nmode=1\r\n"}, {"Old/A.RAF", "x"}});
  std::string old = LLesson::GetLessonPath(lessons.Path(), "Old");
  EXPECT_EQ(LLesson::GetDescription(old), "Lesson Name: Old\r\nExpression(s): \r\n   A\r\n");
  EXPECT_EQ(ProfileReadInt(LLesson::ResolveLessonFile(old), "study", "mode", 0), 1);

  ASSERT_TRUE(LLesson::CreateLesson(lessons.Path(), std::string(most, 'b'), other));
  ASSERT_EQ(mkdir(lessons.File("E").c_str(), 0755), 0);
  for (const std::string& name :
       {std::string(most, 'b'), std::string("E"), std::string("...."), std::string(most + 1, 'c')})
    EXPECT_FALSE(LLesson::SetName(path, name, &error)) << name;
  EXPECT_EQ(error, LLessonError::kNameTooLong);
  EXPECT_EQ(path, lessons.File("Greetings/Greetings.ini"));  // as created, kept by every refusal
  EXPECT_TRUE(LLesson::SetName(path, std::string(most, 'c')) && LLesson::SetName(path, "C d"));
  EXPECT_EQ(path, lessons.File("C d/C d.ini"));
  EXPECT_TRUE(Exists(path)) << "the lesson file moved with its folder";

  // Deletes refused (no lesson file of the folder's name), then done, in order.
  EXPECT_EQ((Flags{LLesson::DeleteLesson(lessons.File("C d/Other.ini")), LLesson::DeleteLesson("C d.ini"),
                   Exists(lessons.File("C d/Hello.raf")), LLesson::DeleteLesson(path), Exists(lessons.File("C d")),
                   LLesson::ReplaceLesson(lessons.Path(), "OLD"), Exists(lessons.File("Old"))}),
            (Flags{false, false, true, true, false, true, false}));

  ASSERT_EQ(chmod(lessons.Path().c_str(), 0555), 0);
  // In a child that file permissions bind even when the tests run as root.
  EXPECT_TRUE(testsupport::RunInChild([&] {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct caps[2] = {};
    if (syscall(SYS_capget, &header, caps) != 0) return false;
    for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) caps[cap / 32].effective &= ~(1u << (cap % 32));
    if (syscall(SYS_capset, &header, caps) != 0) return false;
    std::string record, lesson;
    return !LRichAudioFile::New(record, lessons.Path() + "/", "Expression") && record.empty() &&
           !LLesson::CreateLesson(lessons.Path(), "Lesson", lesson, &error) && error == LLessonError::kCannotWrite;
  }));
  chmod(lessons.Path().c_str(), 0755);
}

// A lesson file lying loose in some folder (opened from the command line) is
// no lesson folder: neither renaming the lesson nor an expression named like
// it may move or delete anything but that expression's own files.
TEST(LLesson, LooseLessonFileMovesNoFolderAndIsNoExpressionFile) {
  TempFolder home;
  const std::string docs = home.File("Documents");
  ASSERT_EQ(mkdir(docs.c_str(), 0755), 0);
  WriteAll(home, {{"Documents/Greetings.ini", "[create]\n"}, {"Documents/Other.txt", "mine"}});
  for (const char* name : {"Greetings.raf", "Greetings.wav", "Greetings.INI"}) Touch(docs + "/" + name);
  std::string loose = docs + "/Greetings.ini";
  LLessonError error = LLessonError::kNone;
  EXPECT_EQ((Flags{LLesson::IsLessonPath(loose), LLesson::SetName(loose, "Hello", &error), error == LLessonError::kNone,
                   LLesson::DeleteLesson(loose), Exists(home.File("Hello"))}),
            Flags(5, false));
  EXPECT_EQ(loose, docs + "/Greetings.ini");

  ASSERT_TRUE(LLesson::RenameExpressionFiles(docs + "/Greetings.raf", "Bye"));
  EXPECT_TRUE(Exists(docs + "/Bye.wav"));
  std::string record = docs + "/Bye.raf", kept = docs + "/Greetings.raf";
  ASSERT_TRUE(LRichAudioFile::Delete(record));
  Touch(kept);
  ASSERT_TRUE(LRichAudioFile::Delete(kept));
  EXPECT_EQ(Listing(docs), (Names{"Greetings.INI", "Greetings.ini", "Other.txt"}));
}

// A rename that meets a taken name undoes itself; one that does not moves
// only Hello's files and rewrites the page; a delete removes exactly that
// expression's files (a case variant without a record of its own is one).
TEST(LLesson, RenameAndDeleteTouchOnlyThatExpression) {
  TempFolder lesson;
  const Names others = {"Hello",      "Hello .wav",   "Hello world.raf", "Hello world.wav", "Hello*.wav",
                        "Hello?.raf", "Hello[1].wav", "Hellox.raf",      "Hellox.wav",      "[Hello].raf",
                        "hello.raf",  "hello.wav",    "xHello.wav"};
  for (const auto& name : others) Touch(lesson.File(name), name);
  for (const char* name : {"Hello.raf", "Hello.wav", "Hello.bmp", "Hello.scp", "Hello.htm", "Bye.scp"})
    Touch(lesson.File(name), name);
  const auto before = testsupport::Snapshot(lesson.Path());
  EXPECT_FALSE(LLesson::RenameExpressionFiles(lesson.File("Hello.raf"), "Bye"));
  EXPECT_EQ(testsupport::Snapshot(lesson.Path()), before);

  ASSERT_EQ(unlink(lesson.File("Bye.scp").c_str()), 0);
  ASSERT_TRUE(LLesson::RenameExpressionFiles(lesson.File("Hello.raf"), "Bye"));
  Names moved = {"Bye.bmp", "Bye.htm", "Bye.raf", "Bye.scp", "Bye.wav"};
  moved.insert(moved.end(), others.begin(), others.end());
  EXPECT_EQ(Listing(lesson.Path()), moved);
  EXPECT_EQ(ReadText(lesson.File("Bye.htm")), std::string(kHead) + "<center><img src=\"" + lesson.File("Bye.bmp") +
                                                  "\" border=0></a></center></body></html>");
  EXPECT_EQ(ReadText(lesson.File("Bye.scp")), "Hello.scp");
  Touch(lesson.File("BYE.MP3"));
  std::string path = lesson.File("Bye.raf");
  EXPECT_TRUE(LRichAudioFile::Delete(path) && path.empty());
  EXPECT_EQ(Listing(lesson.Path()), others);
}

// New finds a free name, up to " 399", cutting a long name; a name the path
// limit would cut or that is empty once cleaned is refused, the path left empty.
TEST(LRichAudioFile, NewFindsAFreeNameUpTo399) {
  TempFolder folder;
  const std::string dir = folder.Path() + "/";
  auto made = [&](const std::string& name) {
    std::string path;
    return LRichAudioFile::New(path, dir, name) ? path : "refused: " + path;
  };
  EXPECT_EQ(made("Expression"), dir + "Expression.raf");
  EXPECT_EQ(made("Expression"), dir + "Expression 2.raf");
  Touch(dir + std::string(50, 'n') + ".raf");
  EXPECT_EQ(made(std::string(50, 'n')), dir + std::string(40, 'n') + " 2.raf");
  EXPECT_EQ(made(std::string(300 - dir.size(), 'z')), "refused: ");
  EXPECT_EQ(made("..*?"), "refused: ");
  Touch(dir + "word.RAF");  // the same expression on Windows
  EXPECT_EQ(made("Word"), dir + "Word 2.raf");

  for (int n = 3; n <= 399; ++n) Touch(dir + "Expression " + std::to_string(n) + ".raf");
  EXPECT_EQ(made("Expression"), "refused: ");
  EXPECT_FALSE(Exists(dir + "Expression 400.raf"));
  ASSERT_EQ(unlink((dir + "Expression 399.raf").c_str()), 0);
  EXPECT_EQ(made("Expression"), dir + "Expression 399.raf");
}

// Only WAV and MP3 import; however an import or load ends, the expression
// keeps a type and an audio file of that type; hello.raf is another
// expression on this file system, whose files are never Hello's.
// "Load File" runs under its progress window, whose Cancel keeps the old audio.
TEST(LRichAudioFile, ImportAndLoadNeverLeaveTheExpressionWithoutAudio) {
  TempFolder folder;
  std::string record = folder.File("Hello.raf");
  WriteAll(folder, {{"Hello.raf", "[raf]\r\naudiotype=0\r\n"}, {"Hello.wav", "old"}, {"song.OGG", "ogg"}});
  WriteAll(folder, {{"song.MP3", "mp3 bytes"}, {"new.wav", std::string(200000, 'w')}});
  Touch(folder.File("other.wav"), std::string(200000, 'o'));
  for (const char* name : {"hello.raf", "hello.wav", "hello.scp"}) Touch(folder.File(name), "theirs");
  auto expectAudio = [&](int type, const char* file, const std::string& text, const char* gone, const char* what) {
    EXPECT_EQ(ProfileReadInt(record, "raf", "audiotype", -1), type) << what;
    EXPECT_EQ(ReadText(folder.File(file)), text) << what;
    EXPECT_FALSE(Exists(folder.File(gone))) << what;
  };
  auto keepsMp3 = [&](bool done, bool want, const char* what) {
    EXPECT_EQ(done, want) << what;
    expectAudio(1, "Hello.mp3", "mp3 bytes", "Hello.wav", what);
  };
  EXPECT_FALSE(LRichAudioFile::ImportAudioFile(record, folder.File("song.OGG"), nullptr));
  expectAudio(0, "Hello.wav", "old", "Hello.mp3", "an OGG file");
  keepsMp3(LRichAudioFile::ImportAudioFile(record, folder.File("song.MP3"), nullptr), true, "an MP3 file");
  LRichAudioFile::WriteExplanation(record, "mine");
  EXPECT_EQ(ReadText(folder.File("Hello.scp")), "mine");

  keepsMp3(LRichAudioFile::LoadAudioFile(record, 0, folder.File("missing.wav"), nullptr), false, "failed copy");
  LoadFile cancelled(record, folder.File("new.wav"));
  cancelled.cancelAt = 30;
  keepsMp3(cancelled.Run(nullptr), false, "cancelled in the progress window");
  keepsMp3(LRichAudioFile::LoadAudioFile(record, 1, folder.File("Hello.mp3"), nullptr), true, "its own file");
  keepsMp3(LRichAudioFile::ImportAudioFile(record, folder.File("Hello.mp3"), nullptr), true, "its own file imported");
  ASSERT_EQ(chmod(record.c_str(), 0444), 0);
  keepsMp3(LRichAudioFile::LoadAudioFile(record, 0, folder.File("new.wav"), nullptr), false, "read-only record");
  ASSERT_EQ(chmod(record.c_str(), 0644), 0);

  LoadFile whole(record, folder.File("new.wav")), again(record, folder.File("other.wav"));
  EXPECT_TRUE(whole.Run(nullptr));
  EXPECT_EQ(whole.lastBar, 100);
  again.cancelAt = 30;
  EXPECT_FALSE(again.Run(nullptr)) << "a cancel keeps the old audio of the same type";
  expectAudio(0, "Hello.wav", std::string(200000, 'w'), "Hello.mp3", "the loaded WAV, kept by the cancel");
  EXPECT_EQ(ReadText(folder.File("hello.wav")) + ReadText(folder.File("hello.scp")), "theirstheirs");
  EXPECT_EQ(Listing(folder.Path()), (Names{"Hello.raf", "Hello.scp", "Hello.wav", "hello.raf", "hello.scp", "hello.wav",
                                           "new.wav", "other.wav", "song.MP3", "song.OGG"}))
      << "no temporary file is left";
}

TEST(LRichAudioFile, OpenSourceFollowsTypeAndExplanationIsUtf8) {
  TempFolder folder;
  ASSERT_TRUE(testsupport::WriteWav16(folder.File("HELLO.WAV"), 22050, 1, testsupport::Tone(22050, 1, 2205, 440, 0.5)));
  // No record at all: R.wav, found in any letter case.
  EXPECT_TRUE(LRichAudioFile::OpenSource(folder.File("Hello.raf")).IsUsable());
  Touch(folder.File("Hello.RAF"), "[raf]\r\naudiotype=0\r\n[image]\r\nfile=.gif\r\n");
  EXPECT_TRUE(LRichAudioFile::OpenSource(folder.File("Hello.raf")).IsUsable());

  // A type without its file; a type that is none.
  WriteAll(folder, {{"Mp3.raf", "[raf]\r\naudiotype=1\r\n"}, {"Odd.raf", "[raf]\r\naudiotype=7\r\n"}});
  EXPECT_FALSE(LRichAudioFile::OpenSource(folder.File("Mp3.raf")).IsUsable());
  EXPECT_EQ((Ints{LRichAudioFile::OpenSource(folder.File("Odd.raf"))->error, LRichAudioFile::OpenSource("")->error,
                  LRichAudioFile::OpenSource(folder.File("None.raf"))->error}),
            (Ints{kSoundMissingSource, kSoundMissingSource, kSoundCannotOpen}));

  // An explanation keeps UTF-8, converts Windows-1252, and a cut inside a character stays UTF-8.
  std::string record = folder.File("Note.raf");
  EXPECT_FALSE(LRichAudioFile::ReadExplanation(record).has_value() || LRichAudioFile::ReadExplanation("").has_value());
  LRichAudioFile::WriteExplanation(record, "<b>caf\xC3\xA9</b>");
  EXPECT_EQ(*LRichAudioFile::ReadExplanation(record), "<b>caf\xC3\xA9</b>");
  Touch(folder.File("Note.scp"), "caf\xE9 \x80 \x93");
  EXPECT_EQ(*LRichAudioFile::ReadExplanation(record), "caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9C");

  for (const std::string character : {"\xE2\x82\xAC", "\xF0\x9F\x98\x80"})
    for (size_t kept = 1; kept < character.size(); ++kept) {
      std::string before = "<p>\xC3\xA9" + std::string(LFile::kMaxTextFileBytes - 5 - kept, 'x');
      Touch(folder.File("Note.scp"), before + character + "more");
      EXPECT_EQ(LRichAudioFile::ReadExplanation(record).value_or("none"), before) << "cut after " << kept << " bytes";
    }
}

// The page's exact bytes; the image extension is only ever an extension.
TEST(ExpressionPage, WritesExactBytes) {
  TempFolder folder;
  std::string record = folder.File("Hello.raf"), page = folder.File("Hello.htm");
  const std::string tail = "</body></html>";
  WriteExpressionPage("", page, false);
  EXPECT_EQ(ReadText(page), kHead + tail);

  WriteAll(folder, {{"Hello.raf", "[image]\nfile=.gif\n"}, {"Hello.bmp", "x"}, {"Hello.scp", "<b>Hi</b>"}});
  WriteExpressionPage(record, page, false);
  EXPECT_EQ(ReadText(page), kHead + std::string("<b>Hi</b>") + tail) << "the named .gif is missing";
  Touch(folder.File("Hello.gif"));
  WriteExpressionPage(record, page, true);
  const std::string image = "<center><img src=\"" + folder.File("Hello.gif") + "\" border=0></a></center>";
  EXPECT_EQ(ReadText(page), kHead + image + tail);
  WriteExpressionPage(record, page, false);
  EXPECT_EQ(ReadText(page), kHead + image + "<b>Hi</b>" + tail);

  ASSERT_EQ(mkdir(folder.File("Hello.x").c_str(), 0755), 0);
  Touch(folder.File("secret.png"));
  for (const char* ext : {".x/../secret.png", "..png", ".p ng", "png", "."}) {
    ASSERT_TRUE(PrivateProfileWriteString(record, "image", "file", ext));
    WriteExpressionPage(record, page, true);
    EXPECT_EQ(ReadText(page).find("<img"), std::string::npos) << ext;
  }
  ASSERT_TRUE(PrivateProfileWriteString(record, "image", "file", ".PNG"));
  EXPECT_EQ(LRichAudioFile::GetImageFileName(record), folder.File("Hello.PNG"));
}

// Ties are found in name order and each stands before the earlier found; a
// lesson made on Windows has records in any letter case.
TEST(ListExpressionsInOrder, AscendingOrderWithTiesAlikeOnEveryMachine) {
  testsupport::TempFolder lesson, windows;
  // Created in an order no file system keeps: ties must not depend on it.
  for (auto [name, order] :
       std::vector<std::pair<std::string, int>>{{"m", 2}, {"b", 1}, {"z", 1}, {"a", 3}, {"k", 1}, {"c", -4}})
    Touch(lesson.File(name + ".raf"), kOrder + "=" + std::to_string(order) + "\r\n");
  EXPECT_EQ(OrderedNames(lesson.File("x.ini")), (Names{"c", "z", "k", "b", "m", "a"}));
  EXPECT_TRUE(ListExpressionsInOrder("").empty());

  WriteAll(windows, {{"HELLO.RAF", kOrder + "=1\r\n"}, {"Bye.Raf", kOrder + "=1\r\n"}});
  WriteAll(windows, {{"first.raf", kOrder + " = 0\r\n"}, {"notes.txt", kOrder + "=-9\r\n"}});
  EXPECT_EQ(OrderedNames(windows.File("x.ini")), (Names{"first", "HELLO", "Bye"}));
  EXPECT_EQ(ListExpressionsInOrder(windows.File("x.ini")).at(1).record, windows.File("HELLO.RAF"));
}

// The page a window shows: the image loads from a folder with blanks and accents.
TEST(ExpressionPage, RendersInTextBrowserWithItsImage) {
  TempFolder root;
  ASSERT_EQ(mkdir(root.File("Leçons de français").c_str(), 0755), 0);
  const std::string stem = root.File("Leçons de français/Bonjour à tous"), page = ExpressionPreviewPagePath();
  WriteAll(root, {{"Leçons de français/Bonjour à tous.raf", "[image]\nfile=.png\n"},
                  {"Leçons de français/Bonjour à tous.scp", "<b>Grüß</b>"}});
  QImage image(8, 6, QImage::Format_RGB32);
  image.fill(Qt::red);
  ASSERT_TRUE(image.save(QString::fromStdString(stem + ".png"), "PNG"));
  WriteExpressionPage(stem + ".raf", page, false);

  QTextBrowser browser;
  browser.setSource(QUrl::fromLocalFile(QString::fromStdString(page)));
  EXPECT_TRUE(browser.document()->toPlainText().contains("Grüß"));
  const QString html = browser.document()->toHtml();
  EXPECT_TRUE(html.contains("font-weight:700")) << "the explanation is markup";
  QRegularExpressionMatch img = QRegularExpression("<img src=\"([^\"]+)\"").match(html);
  ASSERT_TRUE(img.hasMatch()) << html.toStdString();
  QVariant resource = browser.loadResource(QTextDocument::ImageResource, QUrl(img.captured(1)));
  QImage loaded = resource.value<QImage>();
  if (loaded.isNull()) loaded.loadFromData(resource.toByteArray());
  EXPECT_EQ(loaded.width(), 8);
}

// Copies in steps (progress and cancels are the load flow's); failures are
// reported and harmless; no temporary file is ever left.
TEST(LProcessCopyFile, CopiesCancelsAndFailsHarmlessly) {
  TempFolder temp;
  auto copy = [&](const char* from, const char* to) {
    return LProcessCopyFile(temp.File(from), temp.File(to)).Process();
  };
  auto data = Pattern(5 * LProcessCopyFile::kStepBytes + 123);
  ASSERT_TRUE(WriteFileBytes(temp.File("source.wav"), data));
  EXPECT_EQ(copy("source.wav", "Target é.wav"), LProcessCopyFile::kDone);
  EXPECT_EQ(ReadFileBytes(temp.File("Target é.wav")), data);

  EXPECT_EQ(copy("missing.wav", "t.wav"), LProcessCopyFile::kFailed);
  EXPECT_FALSE(std::filesystem::exists(temp.File("t.wav")));
  EXPECT_EQ(copy("source.wav", "no/such/t.wav"), LProcessCopyFile::kFailed);
  EXPECT_EQ(copy("source.wav", "./source.wav"), LProcessCopyFile::kFailed);
  EXPECT_EQ(ReadFileBytes(temp.File("source.wav")), data) << "a copy onto itself must not empty it";
  ASSERT_TRUE(WriteFileBytes(temp.File("empty.wav"), {}));
  EXPECT_EQ(copy("empty.wav", "e2.wav"), LProcessCopyFile::kDone);
  EXPECT_TRUE(std::filesystem::exists(temp.File("e2.wav")));
  for (const auto& entry : std::filesystem::directory_iterator(temp.Path()))
    EXPECT_EQ(entry.path().extension(), ".wav") << entry.path();
}
