// The image and audio commands' file work and the playback numbers.
#include "tutor/media_commands.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QImage>

#include "lessons/lesson_files.h"
#include "lessons/rich_audio_file.h"
#include "tests/tutor/tutor_fixture.h"

using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

namespace {

class MediaFiles : public ::testing::Test {
 protected:
  std::string Image(const std::string& ext, const std::vector<uint8_t>& bytes) {
    std::string path = source_.File("picture" + ext);
    WriteFileBytes(path, bytes);
    return path;
  }
  int AudioMs() {
    LSoundSourceRef source = LRichAudioFile::OpenSource(record_);
    return source.IsUsable() ? media::LengthMs(source->GetLength(), source->sampleRate) : -1;
  }
  TutorLessons lessons_;
  testsupport::TempFolder source_;
  std::string lesson_ = lessons_.MakeLesson("Media", {"Hello"});
  std::string record_ = ExpressionRecordPath(lesson_, "Hello");
  std::string stem_ = record_.substr(0, record_.size() - 4);
};

// A new image replaces the old one, the chosen extension's case kept; whatever
// goes wrong, the expression keeps the image it had.
TEST_F(MediaFiles, ImagesReplaceEachOtherAndAFailedLoadKeepsTheOld) {
  ASSERT_EQ(media::LoadImage(record_, Image(".gif", {'G', 'I', 'F', '8', '9', 'a'})), media::LoadResult::kDone);
  ASSERT_TRUE(media::CreateBlankImage(record_));
  EXPECT_FALSE(lessonfiles::FileExists(stem_ + ".gif"));
  EXPECT_EQ(QImage(QString::fromStdString(stem_ + ".bmp")).size(), QSize(320, 240));
  EXPECT_EQ(media::ImageFile(record_), stem_ + ".bmp");
  std::vector<uint8_t> jpeg(100000, 0x5A);
  ASSERT_EQ(media::LoadImage(record_, Image(".JPG", jpeg)), media::LoadResult::kDone);
  EXPECT_FALSE(lessonfiles::FileExists(stem_ + ".bmp"));
  EXPECT_EQ(media::LoadImage(record_, Image(".png", {1, 2})), media::LoadResult::kUnsupported);
  EXPECT_EQ(media::LoadImage(record_, source_.File("gone.jpg")), media::LoadResult::kFailed);
  EXPECT_EQ(media::LoadImage(record_, stem_ + ".JPG"), media::LoadResult::kUnchanged);
  EXPECT_EQ(ReadFileBytes(stem_ + ".JPG"), jpeg);
  media::RemoveImage(record_);
  EXPECT_FALSE(media::HasImage(record_));
  EXPECT_EQ(ProfileReadString(record_, "image", "file", ""), ".JPG") << "removing keeps the record's extension";
  // A lesson from elsewhere: the record names ".bmp", the disk holds ".BMP".
  WriteFileBytes(stem_ + ".BMP", {'B', 'M'});
  ProfileWriteString(record_, "image", "file", ".bmp");
  ASSERT_TRUE(media::CreateBlankImage(record_));
  EXPECT_FALSE(lessonfiles::FileExists(stem_ + ".BMP"));
  EXPECT_FALSE(QImage(QString::fromStdString(stem_ + ".bmp")).isNull());
}

// A record that cannot be written (read-only, from a CD) still names the old
// image and audio: they must stay, and nothing new be left beside them. Once
// writable, a recording replaces MP3 audio; audio of another type is refused.
TEST_F(MediaFiles, AReadOnlyRecordKeepsItsMediaAndAWritableOneTakesNewAudio) {
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
  ASSERT_TRUE(testsupport::WriteWav16(take, 8000, 1, testsupport::Tone(8000, 1, 4000, 440, 3000)));
  EXPECT_FALSE(file.PutTakeInPlace(take));
  chmod(record_.c_str(), 0644);
  EXPECT_EQ(ReadFileBytes(stem_ + ".gif"), gif);
  EXPECT_EQ(ReadFileBytes(stem_ + ".mp3"), mp3);
  EXPECT_FALSE(lessonfiles::FileExists(stem_ + ".bmp") || lessonfiles::FileExists(stem_ + ".jpg") ||
               lessonfiles::FileExists(stem_ + ".wav"));
  ASSERT_TRUE(lessonfiles::FileExists(take)) << "the take is kept where it was";
  ASSERT_TRUE(file.PutTakeInPlace(take));
  EXPECT_EQ(AudioMs(), 500);
  std::string wav = source_.File("take.WAV");
  ASSERT_TRUE(testsupport::WriteWav16(wav, 8000, 1, testsupport::Tone(8000, 1, 8000, 440, 0.3)));
  ASSERT_EQ(media::LoadAudio(record_, wav), media::LoadResult::kDone);
  std::vector<uint8_t> before = ReadFileBytes(stem_ + ".wav");
  EXPECT_EQ(media::LoadAudio(record_, Image(".ogg", {1, 2, 3})), media::LoadResult::kUnsupported);
  EXPECT_EQ(ReadFileBytes(stem_ + ".wav"), before);
  EXPECT_EQ(AudioMs(), 1000);
}

// An invalid default rate stops the command even when the dialog chose a rate.
TEST(NewRecording, FormatComesFromTheSettings) {
  struct {
    int defaultIndex;
    bool prompting;
    int selectedRate, rate, channels;
  } cases[] = {{1, false, 22050, 8000, 1},
               {1, true, 22050, 22050, 2},
               {12, true, 22050, 0, 0},
               {-1, false, 0, 0, 0},
               {6, true, 999999, 0, 0}};
  RegSetUserSettingInt("Settings", "SelectedChannels", 2);
  RegSetUserSettingInt("Settings", "DefaultChannels", 0);
  for (const auto& c : cases) {
    RegSetUserSettingInt("Settings", "DefaultSampleRate", c.defaultIndex);
    RegSetUserSettingInt("Settings", "SelectedSampleRate", c.selectedRate);
    media::RecordFormat format = media::NewRecordingFormat(c.prompting);
    EXPECT_EQ(format.rate, c.rate) << c.defaultIndex << " " << c.prompting << " " << c.selectedRate;
    EXPECT_EQ(format.rate ? format.channels : 0, c.channels) << c.defaultIndex << " " << c.prompting;
  }
}

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
