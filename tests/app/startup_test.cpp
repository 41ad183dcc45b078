// Start-up decisions: the mode word, the folder, the trailer, set-up names
// and the roles they lead to.
#include "app/startup.h"

#include <QDir>
#include <tuple>

#include "tests/study/dialog_test_util.h"
#include "tests/support/test_support.h"

namespace {

// Writes a file whose last four bytes are tail.
std::string FileEndingWith(const testsupport::TempFolder& folder, const std::string& name, std::vector<uint8_t> tail,
                           size_t body = 64) {
  std::vector<uint8_t> bytes(body, 0x5A);
  bytes.insert(bytes.end(), tail.begin(), tail.end());
  std::string path = folder.File(name);
  testsupport::WriteFileBytes(path, bytes);
  return path;
}
}  // namespace

// The mode word is the argument after the first -x; the lesson the first
// argument that is no option.
TEST(Startup, ModeWordAndLessonFromTheArguments) {
  // The arguments after the program's path, the mode word, the lesson (null: not asked).
  using Case = std::tuple<std::vector<std::string>, const char*, const char*>;
  const Case cases[] = {{{}, "", ""},
                        {{"-x", "Tutor"}, "Tutor", ""},
                        {{"-x"}, "", ""},
                        {{"-x", "Tutor", "-x", "Student"}, "Tutor", ""},
                        {{"/install", "-x", "Student"}, "Student", ""},
                        {{"-X", "Tutor"}, "", nullptr},  // the option is case-sensitive
                        {{"-x", "Student", "Verbs"}, "Student", "Verbs"},
                        {{"/INSTALL", "/home/me/Verbs/Verbs.ini", "other"}, "", "/home/me/Verbs/Verbs.ini"}};
  for (const auto& [after, word, lesson] : cases) {
    SCOPED_TRACE(testing::PrintToString(after));
    std::vector<std::string> arguments = after;
    arguments.insert(arguments.begin(), "/opt/orativo/orativo");
    EXPECT_EQ(StartupModeWord(arguments), word);
    if (lesson) {
      EXPECT_EQ(StartupLessonArgument(arguments), lesson);
    }
  }
  for (const char* tutor : {"Tutor", "tutor", "TUTOR"}) EXPECT_TRUE(IsTutorModeWord(tutor)) << tutor;
  for (const char* student : {"Student", "", "Tutors", "Tuto"}) EXPECT_FALSE(IsTutorModeWord(student)) << student;
}

// The folder, the trailer and the name of the program file choose its role.
TEST(Startup, FolderTrailerAndSetupNameChooseTheRoleAndACorruptSetupEnds) {
  EXPECT_EQ(StartupFolder("/opt/orativo/orativo"), "/opt/orativo");
  EXPECT_EQ(StartupFolder("orativo"), "");
  EXPECT_EQ(StartupFolder("/orativo"), "");
  EXPECT_EQ(StartupFolder("/" + std::string(300, 'd') + "/orativo").size(), kFolderMax);

  testsupport::TempFolder folder;
  EXPECT_EQ(ReadTrailer(FileEndingWith(folder, "a", {0xF0, 0xF0, 0x0F, 0x0F})), kInstallMarker);
  EXPECT_EQ(ReadTrailer(FileEndingWith(folder, "b", {0x0F, 0x0F, 0xF0, 0xF0})), kUninstallMarker);
  EXPECT_EQ(ReadTrailer(FileEndingWith(folder, "c", {1, 2, 3, 4})), 0x04030201u);
  EXPECT_EQ(ReadTrailer(FileEndingWith(folder, "d", {0xF0, 0xF0, 0x0F, 0x0F}, 0)), kInstallMarker);
  EXPECT_EQ(ReadTrailer(FileEndingWith(folder, "e", {0xF0, 0xF0}, 1)), 0u) << "three bytes";
  EXPECT_EQ(ReadTrailer(folder.File("missing")), 0u);
  EXPECT_EQ(ReadTrailer(folder.Path()), 0u) << "a folder";

  for (const char* name : {"/tmp/setup", "/tmp/OrativoSetup.exe", "C:\\dl\\orativo-SETUP.EXE", "/x/SeTuP-1.01"})
    EXPECT_TRUE(IsSetupName(name)) << name;
  for (const char* name : {"/tmp/orativo", "/setup/orativo", "/tmp/set-up.exe", "/tmp/orativo.setup"})
    EXPECT_FALSE(IsSetupName(name)) << name;

  EXPECT_EQ(ChooseRole("/a/orativo", 0, false, ""), RunRole::kStudent);
  EXPECT_EQ(ChooseRole("/a/orativo", 0, false, "tutor"), RunRole::kTutor);
  EXPECT_EQ(ChooseRole("/a/orativo", 0, true, "Tutor"), RunRole::kBringToFront);
  EXPECT_EQ(ChooseRole("/a/orativo", kInstallMarker, true, ""), RunRole::kInstall);
  EXPECT_EQ(ChooseRole("/a/orativo", kUninstallMarker, false, ""), RunRole::kUninstall);
  EXPECT_EQ(ChooseRole("/a/Setup.exe", 0, false, ""), RunRole::kCorruptSetup);
  EXPECT_EQ(ChooseRole("/a/Setup.exe", kUninstallMarker, false, ""), RunRole::kCorruptSetup);
  EXPECT_EQ(ChooseRole("/a/Setup.exe", kInstallMarker, false, ""), RunRole::kInstall);

  // A setup without its install trailer is corrupt: one message, no window, and the end.
  dialogtest::BoxRecorder boxes;
  QString before = QDir::currentPath();
  std::string corrupt = FileEndingWith(folder, "orativoSetup.exe", {1, 2, 3, 4});
  EXPECT_EQ(RunStartup({corrupt}, corrupt), 0);
  EXPECT_EQ(QDir::currentPath().toStdString(), folder.Path()) << "the program's folder becomes current";
  QDir::setCurrent(before);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].owner, nullptr);
  EXPECT_EQ(boxes.boxes[0].caption, "Install Error");
}
