#include "lessons/process_copy_file.h"

#include <gtest/gtest.h>

#include <QProgressBar>
#include <QPushButton>
#include <filesystem>

#include "framework/widgets/dialog_items.h"
#include "framework/widgets/progress_dialog.h"
#include "framework/widgets/win_defs.h"
#include "lessons/rich_audio_file.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::ReadFileBytes;
using testsupport::TempFolder;
using testsupport::WriteFileBytes;

class FakeProgress : public LCopyProgress {
 public:
  int cancelAfter = -1;  // calls to Cancelled before it answers true
  int asked = 0;
  double fraction = -1;
  void SetText(const std::string&, int) override {}
  void SetProgress(double value) override { fraction = value; }
  bool Cancelled() override { return cancelAfter >= 0 && asked++ >= cancelAfter; }
};

std::vector<uint8_t> Pattern(size_t bytes) {
  std::vector<uint8_t> data(bytes);
  for (size_t i = 0; i < bytes; ++i) data[i] = static_cast<uint8_t>(i * 7 + i / 251);
  return data;
}

// A copy between files of the test's folder.
class CopyFile : public ::testing::Test {
 protected:
  LProcessCopyFile::Result Copy(const std::string& from, const std::string& to) {
    return LProcessCopyFile(temp_.File(from), temp_.File(to)).Process(progress_);
  }
  TempFolder temp_;
  FakeProgress progress_;
};

TEST_F(CopyFile, CopiesInStepsAndReportsProgress) {
  auto data = Pattern(5 * LProcessCopyFile::kStepBytes + 123);
  ASSERT_TRUE(WriteFileBytes(temp_.File("source.wav"), data));
  EXPECT_EQ(Copy("source.wav", "Target é.wav"), LProcessCopyFile::kDone);
  EXPECT_EQ(ReadFileBytes(temp_.File("Target é.wav")), data);
  EXPECT_NEAR(progress_.fraction, 1.0, 0.2);
  EXPECT_FALSE(std::filesystem::exists(temp_.File("Target é.wav.part")));
}

TEST_F(CopyFile, CancelLeavesNoPartialFileAndKeepsTheOldTarget) {
  ASSERT_TRUE(WriteFileBytes(temp_.File("source.wav"), Pattern(10 * LProcessCopyFile::kStepBytes)));
  ASSERT_TRUE(WriteFileBytes(temp_.File("old.wav"), {1, 2, 3}));
  progress_.cancelAfter = 3;
  EXPECT_EQ(Copy("source.wav", "new.wav"), LProcessCopyFile::kCancelled);
  EXPECT_FALSE(std::filesystem::exists(temp_.File("new.wav")));
  progress_.asked = 0;
  EXPECT_EQ(Copy("source.wav", "old.wav"), LProcessCopyFile::kCancelled);
  EXPECT_EQ(ReadFileBytes(temp_.File("old.wav")), (std::vector<uint8_t>{1, 2, 3}));
  for (const auto& entry : std::filesystem::directory_iterator(temp_.Path()))
    EXPECT_EQ(entry.path().extension(), ".wav") << entry.path();
}

TEST_F(CopyFile, FailuresAreReportedAndHarmless) {
  EXPECT_EQ(Copy("missing.wav", "t.wav"), LProcessCopyFile::kFailed);
  EXPECT_FALSE(std::filesystem::exists(temp_.File("t.wav")));
  auto data = Pattern(1000);
  ASSERT_TRUE(WriteFileBytes(temp_.File("s.wav"), data));
  EXPECT_EQ(Copy("s.wav", "no/such/t.wav"), LProcessCopyFile::kFailed);
  // Copying a file onto itself must not empty it.
  EXPECT_EQ(Copy("s.wav", "./s.wav"), LProcessCopyFile::kFailed);
  EXPECT_EQ(ReadFileBytes(temp_.File("s.wav")), data);
  // An empty source gives an empty copy.
  ASSERT_TRUE(WriteFileBytes(temp_.File("empty.wav"), {}));
  EXPECT_EQ(Copy("empty.wav", "e2.wav"), LProcessCopyFile::kDone);
  EXPECT_TRUE(std::filesystem::exists(temp_.File("e2.wav")));
}

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

TEST(LProcessCopyFile, RunsUnderTheProgressWindowWhichCanCancelIt) {
  TempFolder temp;
  auto data = Pattern(10 * LProcessCopyFile::kStepBytes);
  ASSERT_TRUE(WriteFileBytes(temp.File("source.wav"), data));
  ASSERT_TRUE(WriteFileBytes(temp.File("Hello.wav"), {1, 2, 3}));
  LoadFile cancelled(temp.File("Hello.raf"), temp.File("source.wav"));
  cancelled.cancelAt = 30;
  EXPECT_FALSE(cancelled.Run(nullptr));
  EXPECT_EQ(ReadFileBytes(temp.File("Hello.wav")), (std::vector<uint8_t>{1, 2, 3}));
  LoadFile whole(temp.File("Hello.raf"), temp.File("source.wav"));
  EXPECT_TRUE(whole.Run(nullptr));
  EXPECT_EQ(whole.lastBar, 100);
  EXPECT_EQ(ReadFileBytes(temp.File("Hello.wav")), data);
}

}  // namespace
