#include "platform/private_profile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <random>
#include <tuple>

#include "platform/registry_store.h"
#include "tests/support/child_process.h"
#include "tests/support/test_support.h"

using testsupport::TempFolder;
using Texts = std::vector<std::string>;

namespace {

// A lesson file as Windows tools leave it: CRLF, comments, blank lines, odd
// spacing and case, quotes, duplicates, and a key before any section.
const std::string kWindowsFile =
    "Orphan=before any section\r\n; Lesson file\r\n\r\n"
    "[Lesson]\r\nTitle = Greetings  \r\n  mode=Listen All\r\nQuoted=\"  spaced  \"\r\nSingle='x'\r\nMixed=\"x'\r\n"
    "Equation=a=b=c\r\nEmpty=\r\nTitle=second title\r\nnot a key line\r\n; comment at the end of Lesson\r\n\r\n"
    "[ Expression 1 ]\r\nOrder\t=\t1\r\n"
    "[LESSON]\r\nTitle=third title\r\nExtra=only in the duplicate\r\n";

std::string ReadText(const std::string& path) {
  std::vector<uint8_t> bytes = testsupport::ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

class PrivateProfile : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(testsupport::WriteFileText(file_, kWindowsFile)); }

  std::string Get(const std::string& section, const std::string& key, size_t size = 260) {
    return PrivateProfileGetString(file_, section, key, "<default>", size);
  }

  // The fixture with one line replaced (or removed when replacement is empty).
  std::string FixtureWith(const std::string& line, const std::string& replacement) {
    std::string text = kWindowsFile;
    size_t at = text.find(line);
    EXPECT_NE(at, std::string::npos) << line;
    text.replace(at, line.size(), replacement);
    return text;
  }
  // The folder holds the file alone: no temporary file is left.
  size_t Entries() { return size_t(std::distance(std::filesystem::directory_iterator(folder_.Path()), {})); }

  TempFolder folder_;
  std::string file_ = folder_.File("lesson.ini");
};

const std::string kSettings = "Software\\Kestrelon\\Orativo\\Settings";
const std::string kWindow = "Software\\Kestrelon\\Orativo\\MainWindow";
constexpr RegistryScope kUser = RegistryScope::User, kMachine = RegistryScope::Machine;

// Every test gets stores of its own.
class RegistryStore : public ::testing::Test {
 protected:
  testsupport::PrivateHome home_;

  std::string Get(RegistryScope scope, const std::string& subKey, const std::string& name) {
    std::string value;
    return RegistryGetValue(scope, subKey, name, &value) ? value : "<missing>";
  }
  std::string Stored(RegistryScope scope) { return ReadText(RegistryStorePath(scope)); }
};

}  // namespace

TEST_F(PrivateProfile, ReadsAndListsLikeWindows) {
  // Case, blanks, the first of duplicates; an indented key; matching quotes go, inner blanks kept; split at the
  // first "="; empty is not the default; duplicate sections are not merged; blanks inside brackets, tabs.
  EXPECT_EQ((Texts{Get("lesson", "TITLE"), Get("Lesson", "Mode"), Get("Lesson", "Quoted"), Get("Lesson", "Single"),
                   Get("Lesson", "Mixed"), Get("Lesson", "Equation"), Get("Lesson", "Empty"), Get("Lesson", "Extra"),
                   Get("expression 1", "order")}),
            (Texts{"Greetings", "Listen All", "  spaced  ", "x", "\"x'", "a=b=c", "", "<default>", "1"}));
  // Keys belong to their section, none before a section; cut to the buffer size less one, the default too.
  EXPECT_EQ((Texts{Get("Lesson", "Order"), Get("Lesson", "not a key line"),
                   Get("Lesson", "; comment at the end of Lesson"), Get("", "Orphan"), Get("Lesson", "Title", 5),
                   Get("Lesson", "Title", 1), Get("Lesson", "Title", 0), Get("Lesson", "Missing", 4)}),
            (Texts{"<default>", "<default>", "<default>", "<default>", "Gree", "", "", "<de"}));
  EXPECT_EQ(PrivateProfileGetString(folder_.File("none.ini"), "A", "B", "dflt", 260), "dflt");
  // A default loses its trailing blanks.
  EXPECT_EQ(PrivateProfileGetString(file_, "Lesson", "Missing", " d  \t", 260), " d");

  EXPECT_EQ(PrivateProfileSectionNames(file_), (Texts{"Lesson", "Expression 1"}));
  EXPECT_EQ(PrivateProfileKeys(file_, "LESSON"),
            (Texts{"Title", "mode", "Quoted", "Single", "Mixed", "Equation", "Empty"}));
  EXPECT_TRUE(PrivateProfileKeys(file_, "Nowhere").empty());
  EXPECT_TRUE(PrivateProfileSectionNames(folder_.File("none.ini")).empty());
}

// A changed value keeps every other byte; a new key goes after its section's
// last key; a new section is appended with CRLF; the file's mode stays. A
// delete takes every copy of the key in the section, or the old value would
// come back.
TEST_F(PrivateProfile, WritesAndDeletesKeepEveryOtherByte) {
  ASSERT_EQ(chmod(file_.c_str(), 0640), 0);
  // (section, key, value, the line written over or before, what stands there after)
  const std::tuple<const char*, const char*, const char*, const char*, const char*> writes[] = {
      {"LESSON", "mode", "Listen then Repeat", "  mode=Listen All\r\n", "mode=Listen then Repeat\r\n"},
      {"Lesson", "Created", "05/03/07-14:02:09", "not a key line\r\n",
       "Created=05/03/07-14:02:09\r\nnot a key line\r\n"},
      {"Expression 1", "Audio", "hello.wav", "[LESSON]\r\n", "Audio=hello.wav\r\n[LESSON]\r\n"},
      {"Expression 2", "Order", "2", "duplicate\r\n", "duplicate\r\n\r\n[Expression 2]\r\nOrder=2\r\n"}};
  for (auto [section, key, value, line, after] : writes) {
    ASSERT_TRUE(testsupport::WriteFileText(file_, kWindowsFile));
    ASSERT_TRUE(PrivateProfileWriteString(file_, section, key, value));
    EXPECT_EQ(ReadText(file_), FixtureWith(line, after)) << key;
  }
  EXPECT_EQ(std::filesystem::status(file_).permissions(), std::filesystem::perms(0640));
  EXPECT_EQ(Entries(), 1u);

  ASSERT_TRUE(testsupport::WriteFileText(file_, kWindowsFile));
  ASSERT_TRUE(PrivateProfileDeleteKey(file_, "lesson", "TITLE"));
  std::string expected = FixtureWith("Title = Greetings  \r\n", "");
  expected.erase(expected.find("Title=second title\r\n"), std::string("Title=second title\r\n").size());
  EXPECT_EQ(ReadText(file_), expected);
  EXPECT_TRUE(PrivateProfileDeleteKey(file_, "Lesson", "Title"));  // already gone
  ASSERT_TRUE(PrivateProfileDeleteSection(file_, "lesson"));
  EXPECT_EQ(ReadText(file_), "Orphan=before any section\r\n; Lesson file\r\n\r\n[ Expression 1 ]\r\nOrder\t=\t1\r\n");
  EXPECT_TRUE(PrivateProfileDeleteSection(folder_.File("none.ini"), "A"));
  EXPECT_FALSE(std::filesystem::exists(folder_.File("none.ini")));

  // An LF file whose last line lacks its line break: one is added first.
  ASSERT_TRUE(testsupport::WriteFileText(file_, "[A]\nK=v"));
  ASSERT_TRUE(PrivateProfileWriteString(file_, "A", "L", "w"));
  ASSERT_TRUE(PrivateProfileWriteString(file_, "B", "M", "x"));
  EXPECT_EQ(ReadText(file_), "[A]\nK=v\r\nL=w\r\n\r\n[B]\r\nM=x\r\n");
  // A new file, but never its folder.
  ASSERT_TRUE(PrivateProfileWriteString(folder_.File("new.ini"), "Lesson", "Mode", "1"));
  EXPECT_EQ(ReadText(folder_.File("new.ini")), "[Lesson]\r\nMode=1\r\n");
  EXPECT_FALSE(PrivateProfileWriteString(folder_.File("missing/new.ini"), "Lesson", "Mode", "1"));
  EXPECT_FALSE(std::filesystem::exists(folder_.File("missing")));
}

// Files a write must not replace: a read-only file, a link (written through
// to its target), the old file when the new one cannot be written whole, and
// one whose values or names would read back as something else.
TEST_F(PrivateProfile, WritesNeverReplaceWhatTheyMustNot) {
  ASSERT_EQ(chmod(file_.c_str(), 0444), 0);
  EXPECT_FALSE(PrivateProfileWriteString(file_, "Lesson", "Mode", "x"));
  EXPECT_FALSE(PrivateProfileDeleteKey(file_, "Lesson", "Title"));
  EXPECT_TRUE(PrivateProfileDeleteKey(file_, "Lesson", "NoSuchKey"));
  EXPECT_EQ(ReadText(file_), kWindowsFile);
  ASSERT_EQ(chmod(file_.c_str(), 0644), 0);

  EXPECT_TRUE(testsupport::RunInChild([&] {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    return !PrivateProfileWriteString(file_, "Lesson", "Big", std::string(100000, 'b'));
  })) << "the write reported success";
  EXPECT_EQ(ReadText(file_), kWindowsFile);
  EXPECT_EQ(Entries(), 1u) << "a temporary file is left";

  ASSERT_TRUE(PrivateProfileWriteString(file_, "Lesson", "Title", "a\r\n[Evil]\nKey=1"));
  EXPECT_EQ(Get("Lesson", "Title"), "a  [Evil] Key=1");  // no section of its own
  std::string before = ReadText(file_);
  EXPECT_FALSE(PrivateProfileWriteString(file_, "Le]sson", "K", "v"));
  for (const char* key : {"K=ey", ";K", "  ", "K\n"})
    EXPECT_FALSE(PrivateProfileWriteString(file_, "Lesson", key, "v"));
  EXPECT_EQ(ReadText(file_), before);

  ASSERT_EQ(symlink("lesson.ini", folder_.File("link.ini").c_str()), 0);
  ASSERT_EQ(symlink("missing.ini", folder_.File("dangling.ini").c_str()), 0);
  ASSERT_TRUE(PrivateProfileWriteString(folder_.File("link.ini"), "Lesson", "Mode", "x"));
  ASSERT_TRUE(PrivateProfileWriteString(folder_.File("dangling.ini"), "A", "K", "v"));
  EXPECT_EQ(Get("Lesson", "Mode") + PrivateProfileGetString(folder_.File("missing.ini"), "A", "K", "", 260), "xv");
  EXPECT_TRUE(std::filesystem::is_symlink(folder_.File("link.ini")) &&
              std::filesystem::is_symlink(folder_.File("dangling.ini")));

  // Files that are not text read safely.
  std::string junk("[A]\nK=v\0x\n", 10);
  std::mt19937 random(12345);
  for (int i = 0; i < 100000; ++i) junk += char(random());
  ASSERT_TRUE(testsupport::WriteFileText(file_, junk));
  EXPECT_EQ(Get("A", "K"), "v");  // a NUL ends the value as it ends a C string
  PrivateProfileSectionNames(file_);

  // One huge line: only the first part is parsed, and the file is never rewritten.
  std::string huge = "[A]\nK=" + std::string(3 << 20, 'x') + "\n[B]\nL=1\n";
  ASSERT_TRUE(testsupport::WriteFileText(file_, huge));
  EXPECT_EQ(Get("A", "K") + Get("B", "L"), std::string(259, 'x') + "<default>");
  EXPECT_FALSE(PrivateProfileWriteString(file_, "A", "K", "short"));
  EXPECT_EQ(ReadText(file_).size(), huge.size());

  // A folder or a FIFO in place of the file neither crashes nor hangs.
  EXPECT_EQ(PrivateProfileGetString(folder_.Path(), "A", "K", "d", 260), "d");
  std::string fifo = folder_.File("fifo.ini");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(PrivateProfileGetString(fifo, "A", "K", "d", 260), "d");
  EXPECT_FALSE(PrivateProfileWriteString(fifo, "A", "K", "v"));
}

// A missing value differs from an empty one; names ignore case, a value kept
// under the spelling it was created with; the section is the last part of the
// program's key, while keys elsewhere keep their whole path so that equal last
// parts do not collide; the scopes are separate files, the user's private;
// deleting a key removes all its values and no other's.
TEST_F(RegistryStore, ValuesNamesScopesAndKeys) {
  EXPECT_EQ(Get(kUser, kSettings, "AddImageDir"), "<missing>");
  ASSERT_TRUE(RegistrySetValue(kUser, kSettings, "AddImageDir", ""));
  EXPECT_EQ(Get(kUser, kSettings, "AddImageDir"), "");
  ASSERT_TRUE(RegistryDeleteValue(kUser, kSettings, "AddImageDir"));
  EXPECT_EQ(Get(kUser, kSettings, "AddImageDir"), "<missing>");
  // Deleting what is not there is no failure, and creates no store.
  EXPECT_TRUE(RegistryDeleteValue(kMachine, kSettings, "Nothing"));
  EXPECT_TRUE(RegistryDeleteKey(kMachine, kSettings));
  EXPECT_FALSE(std::filesystem::exists(RegistryStorePath(kMachine)));

  ASSERT_TRUE(RegistrySetValue(kMachine, kSettings, "SoundInDevice", "2"));
  EXPECT_EQ(Get(kMachine, "software\\kestrelon\\orativo\\SETTINGS", "soundindevice"), "2");
  ASSERT_TRUE(RegistrySetValue(kMachine, "Software/Kestrelon/Orativo/settings", "SOUNDINDEVICE", "3"));
  EXPECT_EQ(Get(kMachine, kSettings, "SoundInDevice"), "3");
  EXPECT_NE(Stored(kMachine).find("[Settings]\nSoundInDevice=3\n"), std::string::npos) << Stored(kMachine);
  EXPECT_EQ(Stored(kMachine).find("SOUNDINDEVICE"), std::string::npos);

  const std::string elsewhere = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orativo";
  EXPECT_EQ((Texts{RegistrySectionOf(kWindow), RegistrySectionOf("/SOFTWARE/Kestrelon/Orativo/SystemFolders/"),
                   RegistrySectionOf(elsewhere)}),
            (Texts{"MainWindow", "SystemFolders", elsewhere}));
  ASSERT_TRUE(RegistrySetValue(kMachine, "Software\\Kestrelon\\Editor\\Settings", "Path", "a"));
  ASSERT_TRUE(RegistrySetValue(kMachine, kSettings, "Path", "b"));
  EXPECT_EQ(Get(kMachine, "Software\\Kestrelon\\Editor\\Settings", "Path") + Get(kMachine, kSettings, "Path"), "ab");

  ASSERT_TRUE(RegistrySetValue(kMachine, kSettings, "X", "machine") && RegistrySetValue(kUser, kSettings, "X", "user"));
  EXPECT_EQ(Get(kMachine, kSettings, "X") + "/" + Get(kUser, kSettings, "X"), "machine/user");
  EXPECT_EQ(std::filesystem::status(RegistryStorePath(kUser)).permissions(), std::filesystem::perms(0600));

  ASSERT_TRUE(RegistrySetValue(kMachine, kWindow, "X", "1") && RegistrySetValue(kMachine, kWindow, "Y", "2"));
  ASSERT_TRUE(RegistryDeleteKey(kMachine, "software\\kestrelon\\orativo\\mainwindow"));
  EXPECT_EQ(Get(kMachine, kWindow, "X") + Get(kMachine, kWindow, "Y"), "<missing><missing>");
  EXPECT_EQ(Get(kMachine, kSettings, "X"), "machine");
}

// Any text round-trips, the file one value per line; a hand-edited store reads
// and keeps its values through a write; concurrent writers lose no value.
TEST_F(RegistryStore, AnyTextRoundTripsAndNoWriteIsLost) {
  Texts values = {
      "  leading and trailing  ",  "\ttab",      "back\\slash", "\\x41 is not A", "a=b;c [d]", "ü €", "\\", " ", "=",
      std::string("nul\0byte", 8), "two\nlines", "cr\r\nlf"};
  for (size_t i = 0; i < values.size(); ++i)
    ASSERT_TRUE(RegistrySetValue(kUser, kSettings, "Value" + std::to_string(i), values[i]));
  // Names with INI punctuation survive as well.
  ASSERT_TRUE(RegistrySetValue(kUser, "Software\\Odd [x]=y", " a=b;[c] ", "odd"));
  for (size_t i = 0; i < values.size(); ++i) EXPECT_EQ(Get(kUser, kSettings, "Value" + std::to_string(i)), values[i]);
  EXPECT_EQ(Get(kUser, "Software\\Odd [x]=y", " a=b;[c] "), "odd");
  // Comment, blank, header, values, blank, header, value.
  const std::string content = Stored(kUser);
  EXPECT_EQ(std::count(content.begin(), content.end(), '\n'), 3 + long(values.size()) + 3) << content;

  ASSERT_TRUE(testsupport::WriteFileText(RegistryStorePath(kMachine),
                                         "; edited by hand\r\n\r\n[ Settings ]\r\n  SoundOutDevice =  1 \r\n"
                                         "junk line\r\n[MainWindow]\nX=10\n"));
  for (int pass = 0; pass < 2; ++pass) {
    EXPECT_EQ(Get(kMachine, kSettings, "SoundOutDevice") + "/" + Get(kMachine, kWindow, "X"), "1/10") << pass;
    ASSERT_TRUE(RegistrySetValue(kMachine, kSettings, "SoundInDevice", "0"));
  }

  constexpr int kWriters = 3, kValues = 60;
  ASSERT_TRUE(testsupport::RunInChildren(kWriters, [](int writer) {
    for (int i = 0; i < kValues; ++i) {
      std::string name = "W" + std::to_string(writer) + "-" + std::to_string(i);
      if (!RegistrySetValue(kUser, kSettings, name, std::to_string(i * 7))) return false;
    }
    return true;
  }));
  for (int writer = 0; writer < kWriters; ++writer)
    for (int i = 0; i < kValues; ++i)
      EXPECT_EQ(Get(kUser, kSettings, "W" + std::to_string(writer) + "-" + std::to_string(i)), std::to_string(i * 7));
}
