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

// A new image replaces the old one, the chosen extension's case kept; whatever
// goes wrong, the expression keeps the image it had. A record that cannot be
// written (read-only, from a CD) still names the old image and audio: they
// must stay, and nothing new be left beside them. Once writable, a recording
// replaces MP3 audio; audio of another type is refused.
TEST(MediaFiles, ImagesAndAudioReplaceTheOldOnlyWhenTheyCanAndKeepItOtherwise) {
  TutorLessons lessons;
  testsupport::TempFolder source;
  const std::string lesson = lessons.MakeLesson("Media", {"Hello"});
  const std::string record = ExpressionRecordPath(lesson, "Hello");
  const std::string stem = record.substr(0, record.size() - 4);
  auto image = [&](const std::string& ext, const std::vector<uint8_t>& bytes) {
    WriteFileBytes(source.File("picture" + ext), bytes);
    return source.File("picture" + ext);
  };
  auto audioMs = [&] {
    LSoundSourceRef audio = LRichAudioFile::OpenSource(record);
    return audio.IsUsable() ? media::LengthMs(audio->GetLength(), audio->sampleRate) : -1;
  };
  ASSERT_EQ(media::LoadImage(record, image(".gif", {'G', 'I', 'F', '8', '9', 'a'})), media::LoadResult::kDone);
  ASSERT_TRUE(media::CreateBlankImage(record));
  EXPECT_FALSE(lessonfiles::FileExists(stem + ".gif"));
  EXPECT_EQ(QImage(QString::fromStdString(stem + ".bmp")).size(), QSize(320, 240));
  EXPECT_EQ(media::ImageFile(record), stem + ".bmp");
  std::vector<uint8_t> jpeg(100000, 0x5A);
  ASSERT_EQ(media::LoadImage(record, image(".JPG", jpeg)), media::LoadResult::kDone);
  EXPECT_FALSE(lessonfiles::FileExists(stem + ".bmp"));
  EXPECT_EQ(media::LoadImage(record, image(".png", {1, 2})), media::LoadResult::kUnsupported);
  EXPECT_EQ(media::LoadImage(record, source.File("gone.jpg")), media::LoadResult::kFailed);
  EXPECT_EQ(media::LoadImage(record, stem + ".JPG"), media::LoadResult::kUnchanged);
  EXPECT_EQ(ReadFileBytes(stem + ".JPG"), jpeg);
  media::RemoveImage(record);
  EXPECT_FALSE(media::HasImage(record));
  EXPECT_EQ(ProfileReadString(record, "image", "file", ""), ".JPG") << "removing keeps the record's extension";
  // A lesson from elsewhere: the record names ".bmp", the disk holds ".BMP".
  WriteFileBytes(stem + ".BMP", {'B', 'M'});
  ProfileWriteString(record, "image", "file", ".bmp");
  ASSERT_TRUE(media::CreateBlankImage(record));
  EXPECT_FALSE(lessonfiles::FileExists(stem + ".BMP"));
  EXPECT_FALSE(QImage(QString::fromStdString(stem + ".bmp")).isNull());
  std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 7};
  ASSERT_EQ(media::LoadImage(record, image(".gif", gif)), media::LoadResult::kDone);
  std::vector<uint8_t> mp3 = {0xFF, 0xFB, 0x90, 0x00};
  WriteFileBytes(stem + ".mp3", mp3);
  ProfileWriteInt(record, "raf", "audiotype", kAudioTypeMp3);
  chmod(record.c_str(), 0444);
  EXPECT_FALSE(media::CreateBlankImage(record));
  EXPECT_EQ(media::LoadImage(record, image(".jpg", {1, 2, 3})), media::LoadResult::kFailed);
  media::ExpressionPanelFile file(record, "Hello", {8000, 1});
  std::string take = LPanelTake::WorkPathFor(file.path);
  ASSERT_TRUE(testsupport::WriteWav16(take, 8000, 1, testsupport::Tone(8000, 1, 4000, 440, 3000)));
  EXPECT_FALSE(file.PutTakeInPlace(take));
  chmod(record.c_str(), 0644);
  EXPECT_EQ(ReadFileBytes(stem + ".gif"), gif);
  EXPECT_EQ(ReadFileBytes(stem + ".mp3"), mp3);
  EXPECT_FALSE(lessonfiles::FileExists(stem + ".bmp") || lessonfiles::FileExists(stem + ".jpg") ||
               lessonfiles::FileExists(stem + ".wav"));
  ASSERT_TRUE(lessonfiles::FileExists(take)) << "the take is kept where it was";
  ASSERT_TRUE(file.PutTakeInPlace(take));
  EXPECT_EQ(audioMs(), 500);
  std::string wav = source.File("take.WAV");
  ASSERT_TRUE(testsupport::WriteWav16(wav, 8000, 1, testsupport::Tone(8000, 1, 8000, 440, 0.3)));
  ASSERT_EQ(media::LoadAudio(record, wav), media::LoadResult::kDone);
  std::vector<uint8_t> before = ReadFileBytes(stem + ".wav");
  EXPECT_EQ(media::LoadAudio(record, image(".ogg", {1, 2, 3})), media::LoadResult::kUnsupported);
  EXPECT_EQ(ReadFileBytes(stem + ".wav"), before);
  EXPECT_EQ(audioMs(), 1000);
}

// An invalid default rate stops the command even when the dialog chose a rate.
TEST(MediaNumbers, RecordingFormatFromTheSettingsAndPlaybackPositionsAtTheirLimits) {
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
  // The position bar and lengths at their limits.
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
