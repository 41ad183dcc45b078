#include "platform/private_profile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <random>

#include "tests/support/child_process.h"
#include "tests/support/test_support.h"

using testsupport::TempFolder;

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

  TempFolder folder_;
  std::string file_ = folder_.File("lesson.ini");
};

}  // namespace

TEST_F(PrivateProfile, ReadsLikeWindows) {
  EXPECT_EQ(Get("lesson", "TITLE"), "Greetings");    // case, blanks, first of duplicates
  EXPECT_EQ(Get("Lesson", "Mode"), "Listen All");    // indented key
  EXPECT_EQ(Get("Lesson", "Quoted"), "  spaced  ");  // quotes keep inner blanks
  EXPECT_EQ(Get("Lesson", "Single"), "x");           // single quotes too
  EXPECT_EQ(Get("Lesson", "Mixed"), "\"x'");         // only matching quotes go
  EXPECT_EQ(Get("Lesson", "Equation"), "a=b=c");     // split at the first "="
  EXPECT_EQ(Get("Lesson", "Empty"), "");             // empty, not the default
  EXPECT_EQ(Get("Lesson", "Extra"), "<default>");    // duplicate sections are not merged
  EXPECT_EQ(Get("expression 1", "order"), "1");      // blanks inside brackets, tabs
  EXPECT_EQ(Get("Lesson", "Order"), "<default>");    // keys belong to their section
  EXPECT_EQ(Get("Lesson", "not a key line"), "<default>");
  EXPECT_EQ(Get("Lesson", "; comment at the end of Lesson"), "<default>");
  EXPECT_EQ(Get("", "Orphan"), "<default>");  // lines before a section belong to none
  EXPECT_EQ(PrivateProfileGetString(folder_.File("none.ini"), "A", "B", "dflt", 260), "dflt");
}

TEST_F(PrivateProfile, TruncatesToTheBufferSize) {
  EXPECT_EQ(Get("Lesson", "Title", 5), "Gree");  // size - 1 characters
  EXPECT_EQ(Get("Lesson", "Title", 1), "");
  EXPECT_EQ(Get("Lesson", "Title", 0), "");
  EXPECT_EQ(Get("Lesson", "Missing", 4), "<de");  // the default too
  // A default loses its trailing blanks.
  EXPECT_EQ(PrivateProfileGetString(file_, "Lesson", "Missing", " d  \t", 260), " d");
}

TEST_F(PrivateProfile, ListsSectionsAndKeys) {
  EXPECT_EQ(PrivateProfileSectionNames(file_), (std::vector<std::string>{"Lesson", "Expression 1"}));
  EXPECT_EQ(PrivateProfileKeys(file_, "LESSON"),
            (std::vector<std::string>{"Title", "mode", "Quoted", "Single", "Mixed", "Equation", "Empty"}));
  EXPECT_TRUE(PrivateProfileKeys(file_, "Nowhere").empty());
  EXPECT_TRUE(PrivateProfileSectionNames(folder_.File("none.ini")).empty());
}

TEST_F(PrivateProfile, ChangingAValueKeepsEveryOtherByte) {
  ASSERT_TRUE(PrivateProfileWriteString(file_, "LESSON", "mode", "Listen then Repeat"));
  EXPECT_EQ(ReadText(file_), FixtureWith("  mode=Listen All\r\n", "mode=Listen then Repeat\r\n"));
  EXPECT_EQ(Get("Lesson", "Mode"), "Listen then Repeat");
}

TEST_F(PrivateProfile, NewKeyGoesAfterTheSectionsLastKey) {
  ASSERT_TRUE(PrivateProfileWriteString(file_, "Lesson", "Created", "05/03/07-14:02:09"));
  EXPECT_EQ(ReadText(file_), FixtureWith("not a key line\r\n", "Created=05/03/07-14:02:09\r\nnot a key line\r\n"));
  ASSERT_TRUE(PrivateProfileWriteString(file_, "Expression 1", "Audio", "hello.wav"));
  EXPECT_EQ(Get("Expression 1", "Audio"), "hello.wav");
  EXPECT_NE(ReadText(file_).find("Order\t=\t1\r\nAudio=hello.wav\r\n[LESSON]"), std::string::npos);
}

TEST_F(PrivateProfile, NewSectionIsAppendedWithCrLf) {
  ASSERT_TRUE(PrivateProfileWriteString(file_, "Expression 2", "Order", "2"));
  EXPECT_EQ(ReadText(file_), kWindowsFile + "\r\n[Expression 2]\r\nOrder=2\r\n");
  // An LF file whose last line lacks its line break: one is added first.
  ASSERT_TRUE(testsupport::WriteFileText(file_, "[A]\nK=v"));
  ASSERT_TRUE(PrivateProfileWriteString(file_, "A", "L", "w"));
  ASSERT_TRUE(PrivateProfileWriteString(file_, "B", "M", "x"));
  EXPECT_EQ(ReadText(file_), "[A]\nK=v\r\nL=w\r\n\r\n[B]\r\nM=x\r\n");
}

TEST_F(PrivateProfile, DeletesKeysAndSections) {
  ASSERT_TRUE(PrivateProfileDeleteKey(file_, "lesson", "TITLE"));
  // Every copy of the key in the section goes, or the old value would come back.
  std::string expected = FixtureWith("Title = Greetings  \r\n", "");
  size_t second = expected.find("Title=second title\r\n");
  expected.erase(second, std::string("Title=second title\r\n").size());
  EXPECT_EQ(ReadText(file_), expected);
  EXPECT_EQ(Get("Lesson", "Title"), "<default>");
  EXPECT_TRUE(PrivateProfileDeleteKey(file_, "Lesson", "Title"));  // already gone

  ASSERT_TRUE(PrivateProfileDeleteSection(file_, "lesson"));
  EXPECT_EQ(ReadText(file_), "Orphan=before any section\r\n; Lesson file\r\n\r\n[ Expression 1 ]\r\nOrder\t=\t1\r\n");
  EXPECT_EQ(Get("Lesson", "Extra"), "<default>");
  EXPECT_TRUE(PrivateProfileDeleteSection(folder_.File("none.ini"), "A"));
  EXPECT_FALSE(std::filesystem::exists(folder_.File("none.ini")));
}

TEST_F(PrivateProfile, CreatesTheFileButNotItsFolder) {
  std::string fresh = folder_.File("new.ini");
  ASSERT_TRUE(PrivateProfileWriteString(fresh, "Lesson", "Mode", "1"));
  EXPECT_EQ(ReadText(fresh), "[Lesson]\r\nMode=1\r\n");
  EXPECT_FALSE(PrivateProfileWriteString(folder_.File("missing/new.ini"), "Lesson", "Mode", "1"));
  EXPECT_FALSE(std::filesystem::exists(folder_.File("missing")));
}

TEST_F(PrivateProfile, WriteKeepsTheFileModeAndLeavesNoTemporaryFile) {
  ASSERT_EQ(chmod(file_.c_str(), 0640), 0);
  ASSERT_TRUE(PrivateProfileWriteString(file_, "Lesson", "Mode", "x"));
  EXPECT_EQ(std::filesystem::status(file_).permissions(), std::filesystem::perms(0640));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.Path()), {}), 1);
}

// Files a write must not replace: a read-only file, a link (written through
// to its target), and the old file when the new one cannot be written whole.
TEST_F(PrivateProfile, ReadOnlyFileIsNeitherChangedNorReplaced) {
  ASSERT_EQ(chmod(file_.c_str(), 0444), 0);
  EXPECT_FALSE(PrivateProfileWriteString(file_, "Lesson", "Mode", "x"));
  EXPECT_FALSE(PrivateProfileDeleteKey(file_, "Lesson", "Title"));
  EXPECT_TRUE(PrivateProfileDeleteKey(file_, "Lesson", "NoSuchKey"));
  EXPECT_EQ(ReadText(file_), kWindowsFile);
}

TEST_F(PrivateProfile, LinkedFileIsWrittenThroughToItsTarget) {
  ASSERT_EQ(symlink("lesson.ini", folder_.File("link.ini").c_str()), 0);
  ASSERT_EQ(symlink("missing.ini", folder_.File("dangling.ini").c_str()), 0);
  ASSERT_TRUE(PrivateProfileWriteString(folder_.File("link.ini"), "Lesson", "Mode", "x"));
  ASSERT_TRUE(PrivateProfileWriteString(folder_.File("dangling.ini"), "A", "K", "v"));
  EXPECT_EQ(Get("Lesson", "Mode"), "x");
  EXPECT_EQ(PrivateProfileGetString(folder_.File("missing.ini"), "A", "K", "", 260), "v");
  for (const char* link : {"link.ini", "dangling.ini"})
    EXPECT_TRUE(std::filesystem::is_symlink(folder_.File(link))) << link;
}

TEST_F(PrivateProfile, FullDiskLeavesTheOldFile) {
  EXPECT_TRUE(testsupport::RunInChild([&] {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    return !PrivateProfileWriteString(file_, "Lesson", "Big", std::string(100000, 'b'));
  })) << "the write reported success";
  EXPECT_EQ(ReadText(file_), kWindowsFile);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.Path()), {}), 1) << "a temporary file is left";
}

TEST_F(PrivateProfile, ValuesCannotInjectLines) {
  ASSERT_TRUE(PrivateProfileWriteString(file_, "Lesson", "Title", "a\r\n[Evil]\nKey=1"));
  EXPECT_EQ(Get("Lesson", "Title"), "a  [Evil] Key=1");
  EXPECT_EQ(Get("Evil", "Key"), "<default>");
  // Names that would read back as something else are refused, the file untouched.
  std::string before = ReadText(file_);
  EXPECT_FALSE(PrivateProfileWriteString(file_, "Le]sson", "K", "v"));
  for (const char* key : {"K=ey", ";K", "  ", "K\n"})
    EXPECT_FALSE(PrivateProfileWriteString(file_, "Lesson", key, "v"));
  EXPECT_EQ(ReadText(file_), before);
}

TEST_F(PrivateProfile, FilesThatAreNotTextReadSafely) {
  std::vector<uint8_t> junk(100000);
  std::mt19937 random(12345);
  for (uint8_t& byte : junk) byte = uint8_t(random());
  const std::string header("[A]\nK=v\0x\n", 10);
  junk.insert(junk.begin(), header.begin(), header.end());
  ASSERT_TRUE(testsupport::WriteFileBytes(file_, junk));
  EXPECT_EQ(Get("A", "K"), "v");  // a NUL ends the value as it ends a C string
  PrivateProfileSectionNames(file_);

  // One huge line: only the first part is parsed, and the file is never rewritten.
  std::string huge = "[A]\nK=" + std::string(3 << 20, 'x') + "\n[B]\nL=1\n";
  ASSERT_TRUE(testsupport::WriteFileText(file_, huge));
  EXPECT_EQ(Get("A", "K").size(), 259u);
  EXPECT_EQ(Get("B", "L"), "<default>");
  EXPECT_FALSE(PrivateProfileWriteString(file_, "A", "K", "short"));
  EXPECT_EQ(ReadText(file_).size(), huge.size());

  // A folder or a FIFO in place of the file neither crashes nor hangs.
  EXPECT_EQ(PrivateProfileGetString(folder_.Path(), "A", "K", "d", 260), "d");
  std::string fifo = folder_.File("fifo.ini");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(PrivateProfileGetString(fifo, "A", "K", "d", 260), "d");
  EXPECT_FALSE(PrivateProfileWriteString(fifo, "A", "K", "v"));
}
