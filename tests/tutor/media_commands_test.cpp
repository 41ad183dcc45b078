// The image and audio commands' file work and the playback numbers.
#include "tutor/media_commands.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QImage>

#include "framework/settings.h"
#include "lessons/rich_audio_file.h"
#include "tests/tutor/tutor_fixture.h"

using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

namespace {

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

class MediaFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    lesson_ = lessons_.MakeLesson("Media", {"Hello"});
    record_ = TutorLessons::Record(lesson_, "Hello");
    stem_ = record_.substr(0, record_.size() - 4);
  }
  std::string Image(const std::string& ext, const std::vector<uint8_t>& bytes) {
    std::string path = source_.File("picture" + ext);
    WriteFileBytes(path, bytes);
    return path;
  }
  TutorLessons lessons_;
  testsupport::TempFolder source_;
  std::string lesson_, record_, stem_;
};

TEST_F(MediaFiles, BlankImageIsARealPictureThatReplacesAnyOtherImage) {
  ASSERT_EQ(media::LoadImage(record_, Image(".gif", {'G', 'I', 'F', '8', '9', 'a'})), media::LoadResult::kDone);
  ASSERT_TRUE(Exists(stem_ + ".gif"));
  ASSERT_TRUE(media::CreateBlankImage(record_));
  EXPECT_FALSE(Exists(stem_ + ".gif"));
  QImage image(QString::fromStdString(stem_ + ".bmp"));
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size(), QSize(320, 240));
  EXPECT_EQ(media::ImageFile(record_), stem_ + ".bmp");
}

// A lesson from elsewhere: the record names ".bmp", the disk holds ".BMP".
TEST_F(MediaFiles, BlankImageReplacesAnOldImageWhoseNameDiffersInCase) {
  WriteFileBytes(stem_ + ".BMP", {'B', 'M'});
  ProfileWriteString(record_, "image", "file", ".bmp");
  ASSERT_TRUE(media::CreateBlankImage(record_));
  EXPECT_FALSE(Exists(stem_ + ".BMP"));
  EXPECT_FALSE(QImage(QString::fromStdString(stem_ + ".bmp")).isNull());
}

TEST_F(MediaFiles, LoadedImageKeepsTheExtensionsCaseAndDropsTheOldImage) {
  ASSERT_TRUE(media::CreateBlankImage(record_));
  std::vector<uint8_t> jpeg(100000, 0x5A);
  ASSERT_EQ(media::LoadImage(record_, Image(".JPG", jpeg)), media::LoadResult::kDone);
  EXPECT_EQ(ReadFileBytes(stem_ + ".JPG"), jpeg);
  EXPECT_FALSE(Exists(stem_ + ".bmp"));
  EXPECT_EQ(ProfileReadString(record_, "image", "file", ""), ".JPG");
}

// Whatever goes wrong, the expression keeps the image it had.
TEST_F(MediaFiles, ARejectedOrFailedImageLoadKeepsTheOldImage) {
  std::vector<uint8_t> old = {'G', 'I', 'F', '8', '7', 'a', 1, 2, 3};
  ASSERT_EQ(media::LoadImage(record_, Image(".gif", old)), media::LoadResult::kDone);
  EXPECT_EQ(media::LoadImage(record_, Image(".png", {1, 2})), media::LoadResult::kUnsupported);
  EXPECT_EQ(media::LoadImage(record_, source_.File("gone.jpg")), media::LoadResult::kFailed);
  EXPECT_EQ(media::LoadImage(record_, stem_ + ".gif"), media::LoadResult::kUnchanged);
  EXPECT_EQ(ReadFileBytes(stem_ + ".gif"), old);
  EXPECT_EQ(ProfileReadString(record_, "image", "file", ""), ".gif");
}

// A record that cannot be written (read-only, from a CD) still names the old
// image and audio: they must stay, and nothing new be left beside them.
TEST_F(MediaFiles, AReadOnlyRecordKeepsTheOldImageAndAudio) {
  std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 7};
  ASSERT_EQ(media::LoadImage(record_, Image(".gif", gif)), media::LoadResult::kDone);
  std::vector<uint8_t> mp3 = {0xFF, 0xFB, 0x90, 0x00};
  WriteFileBytes(stem_ + ".mp3", mp3);
  ProfileWriteInt(record_, "raf", "audiotype", kAudioTypeMp3);
  chmod(record_.c_str(), 0444);
  EXPECT_FALSE(media::CreateBlankImage(record_));
  EXPECT_EQ(media::LoadImage(record_, Image(".jpg", {1, 2, 3})), media::LoadResult::kFailed);
  media::ExpressionPanelFile file(record_, "Hello", {8000, 1});
  std::string take = LPanelTake::WorkPathFor(file.path);
  ASSERT_TRUE(testsupport::WriteWav16(take, 8000, 1, testsupport::Tone(8000, 1, 400, 440, 3000)));
  EXPECT_FALSE(file.PutTakeInPlace(take));
  chmod(record_.c_str(), 0644);
  EXPECT_EQ(ReadFileBytes(stem_ + ".gif"), gif);
  EXPECT_EQ(ReadFileBytes(stem_ + ".mp3"), mp3);
  EXPECT_FALSE(Exists(stem_ + ".bmp") || Exists(stem_ + ".jpg") || Exists(stem_ + ".wav"));
  EXPECT_TRUE(Exists(take)) << "the take is kept where it was";
}

TEST_F(MediaFiles, RemovingTheImageKeepsTheRecordsExtension) {
  ASSERT_TRUE(media::CreateBlankImage(record_));
  media::RemoveImage(record_);
  EXPECT_FALSE(media::HasImage(record_));
  EXPECT_EQ(ProfileReadString(record_, "image", "file", ""), ".bmp");
}

TEST_F(MediaFiles, AudioOfAnotherTypeLeavesTheExpressionAlone) {
  std::vector<int16_t> tone = testsupport::Tone(8000, 1, 8000, 440, 0.3);
  std::string wav = source_.File("take.WAV");
  ASSERT_TRUE(testsupport::WriteWav16(wav, 8000, 1, tone));
  ASSERT_EQ(media::LoadAudio(record_, wav), media::LoadResult::kDone);
  std::vector<uint8_t> before = ReadFileBytes(stem_ + ".wav");
  EXPECT_EQ(media::LoadAudio(record_, Image(".ogg", {1, 2, 3})), media::LoadResult::kUnsupported);
  EXPECT_EQ(ReadFileBytes(stem_ + ".wav"), before);
  LSoundSourceRef source = LRichAudioFile::OpenSource(record_);
  ASSERT_TRUE(source.IsUsable());
  EXPECT_EQ(media::LengthMs(source->GetLength(), source->sampleRate), 1000);
}

TEST_F(MediaFiles, ARecordingOverMp3AudioLeavesTheExpressionPlayingTheRecording) {
  testsupport::WriteFileBytes(stem_ + ".mp3", {0xFF, 0xFB, 0x90, 0x00});
  ProfileWriteInt(record_, "raf", "audiotype", kAudioTypeMp3);
  media::ExpressionPanelFile file(record_, "Hello", {8000, 1});
  std::string take = LPanelTake::WorkPathFor(file.path);
  ASSERT_TRUE(testsupport::WriteWav16(take, 8000, 1, testsupport::Tone(8000, 1, 4000, 440, 0.3)));
  ASSERT_TRUE(file.PutTakeInPlace(take));
  LSoundSourceRef source = LRichAudioFile::OpenSource(record_);
  ASSERT_TRUE(source.IsUsable());
  EXPECT_EQ(media::LengthMs(source->GetLength(), source->sampleRate), 500);
}

struct FormatCase {
  int defaultIndex;
  bool prompting;
  int selectedRate;
  int32_t rate;
  int channels;
};
class NewRecording : public ::testing::TestWithParam<FormatCase> {};

// An invalid default rate stops the command even when the dialog chose a rate.
TEST_P(NewRecording, FormatComesFromTheSettings) {
  const FormatCase& c = GetParam();
  RegSetUserSettingInt("Settings", "DefaultSampleRate", c.defaultIndex);
  RegSetUserSettingInt("Settings", "SelectedSampleRate", c.selectedRate);
  RegSetUserSettingInt("Settings", "SelectedChannels", 2);
  RegSetUserSettingInt("Settings", "DefaultChannels", 0);
  media::RecordFormat format = media::NewRecordingFormat(c.prompting);
  EXPECT_EQ(format.rate, c.rate);
  if (c.rate) {
    EXPECT_EQ(format.channels, c.channels);
  }
}
INSTANTIATE_TEST_SUITE_P(Cases, NewRecording,
                         ::testing::Values(FormatCase{1, false, 22050, 8000, 1}, FormatCase{1, true, 22050, 22050, 2},
                                           FormatCase{12, true, 22050, 0, 0}, FormatCase{-1, false, 0, 0, 0},
                                           FormatCase{6, true, 999999, 0, 0}));

TEST(PlaybackNumbers, PositionBarAndLengthsAtTheirLimits) {
  // Ten seconds: the thumb at 50 is 5000 ms; steps stop at 0.
  EXPECT_EQ(media::ScrollPosition(5, 50, 0, 10000), 5000);
  EXPECT_EQ(media::ScrollPosition(4, 100, 0, 10000), 10000);
  EXPECT_EQ(media::ScrollPosition(0, 0, 1500, 10000), 0);
  EXPECT_EQ(media::ScrollPosition(3, 0, 1500, 10000), 3500);
  EXPECT_EQ(media::ScrollPosition(8, 0, 1500, 10000), 1500);
  EXPECT_EQ(media::PositionPercent(5000, 10000), 50);
  EXPECT_EQ(media::PositionPercent(5000, 0), 0);
  // Hours of audio must not overflow on the way.
  EXPECT_EQ(media::PositionPercent(INT32_MAX, INT32_MAX), 100);
  EXPECT_EQ(media::LengthMs(int64_t(44100) * 3600 * 10 + 22050, 44100), 36000500);
  EXPECT_EQ(media::PositionFrame(1500, 44100), 66150);
}

}  // namespace
