#include "tutor/media_commands.h"

#include <unistd.h>

#include <QImage>
#include <algorithm>
#include <cstdio>

#include "framework/lfile.h"
#include "framework/settings.h"
#include "lessons/expression_page.h"
#include "lessons/lesson_files.h"
#include "lessons/process_copy_file.h"
#include "lessons/rich_audio_file.h"
#include "platform/program_start.h"
#include "platform/text_case.h"

namespace media {
namespace {

std::string Stem(const std::string& recordPath) {
  std::string stem = recordPath;
  size_t dot = stem.find_last_of('.');
  size_t slash = stem.find_last_of('/');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) stem.erase(dot);
  return stem;
}

std::string PageFile(const std::string& recordPath) {
  return lessonfiles::ResolveExpressionFile(Stem(recordPath) + ".htm");
}

// The new image is in place: name its extension in the record, then drop the
// old image when it had another name and write the page that shows it. When
// the record cannot be written it still names the old image, which stays.
bool TakeImage(const std::string& recordPath, const std::string& oldImage, const std::string& newImage,
               const std::string& ext) {
  const bool sameFile = oldImage == newImage || lessonfiles::SameFile(oldImage, newImage);
  if (!ProfileWriteString(lessonfiles::ResolveExpressionFile(recordPath), "image", "file", ext)) {
    if (!sameFile) unlink(newImage.c_str());
    return false;
  }
  ProfileFlush(recordPath);
  if (!oldImage.empty() && !sameFile) unlink(oldImage.c_str());
  unlink(PageFile(recordPath).c_str());
  WriteExpressionPage(recordPath, Stem(recordPath) + ".htm", true);
  return true;
}

}  // namespace

std::string ImageFile(const std::string& recordPath) {
  std::string name = LRichAudioFile::GetImageFileName(recordPath);
  return name.empty() ? "" : lessonfiles::ResolveExpressionFile(name);
}

bool HasImage(const std::string& recordPath) {
  std::string file = ImageFile(recordPath);
  return !file.empty() && lessonfiles::FileExists(file);
}

bool CreateBlankImage(const std::string& recordPath) {
  // The old image as it is on disk now: a lesson from elsewhere may hold "{name}.BMP".
  const std::string old = ImageFile(recordPath);
  const std::string target = Stem(recordPath) + ".bmp";
  const std::string partial = target + ".partial";
  QImage image(320, 240, QImage::Format_RGB32);
  image.fill(Qt::white);
  if (!image.save(QString::fromStdString(partial), "BMP") || std::rename(partial.c_str(), target.c_str()) != 0) {
    unlink(partial.c_str());
    return false;
  }
  return TakeImage(recordPath, old, target, ".bmp");
}

LoadResult LoadImage(const std::string& recordPath, const std::string& chosen) {
  std::string ext;
  LFile::GetFileExtFromPath(ext, chosen);
  static const char* const kTypes[] = {".bmp", ".gif", ".jpg", ".jpeg", ".jpe", ".jfif"};
  if (std::none_of(std::begin(kTypes), std::end(kTypes), [&](const char* t) { return EqualNoCase(ext, t); }))
    return LoadResult::kUnsupported;
  const std::string old = ImageFile(recordPath);
  if (!old.empty() && lessonfiles::SameFile(old, chosen)) return LoadResult::kUnchanged;
  const std::string target = Stem(recordPath) + ext;
  if (LProcessCopyFile(chosen, target).Process() != LProcessCopyFile::kDone) return LoadResult::kFailed;
  return TakeImage(recordPath, old, target, ext) ? LoadResult::kDone : LoadResult::kFailed;
}

void RemoveImage(const std::string& recordPath) {
  std::string image = ImageFile(recordPath);
  if (!image.empty()) unlink(image.c_str());
  unlink(PageFile(recordPath).c_str());
}

std::vector<std::string> ImageEditorCommand(const std::string& imageFile) {
  std::string setting = RegGetUserSetting("Settings", "ImageEditor", "");
  if (!setting.empty()) return LCommandFromTemplate(setting, imageFile);
  for (const char* editor : {"kolourpaint", "pinta", "gimp"})
    if (!LFindProgram(editor).empty()) return {editor, imageFile};
  return {};
}

RecordFormat NewRecordingFormat(bool prompting) {
  static const int32_t kRates[] = {6000, 8000, 11025, 16000, 22050, 32000, 44100, 48000, 64000, 88200, 96000, 196000};
  RecordFormat format;
  int index = RegGetUserSettingInt("Settings", "DefaultSampleRate", 6);
  if (index < 0 || index >= int(std::size(kRates))) return format;
  if (prompting) {
    format.rate = RegGetUserSettingInt("Settings", "SelectedSampleRate", 44100);
    format.channels = RegGetUserSettingInt("Settings", "SelectedChannels", 1);
  } else {
    format.rate = kRates[index];
    format.channels = RegGetUserSettingInt("Settings", "DefaultChannels", 0) + 1;
  }
  // A hand-edited setting must not reach the recorder as nonsense.
  if (format.rate < 6000 || format.rate > 196000) format.rate = 0;
  format.channels = std::clamp(format.channels, 1, 2);
  return format;
}

LoadResult LoadAudio(const std::string& recordPath, const std::string& chosen) {
  std::string ext;
  LFile::GetFileExtFromPath(ext, chosen);
  if (!EqualNoCase(ext, ".wav") && !EqualNoCase(ext, ".mp3")) return LoadResult::kUnsupported;
  return LRichAudioFile::ImportAudioFile(recordPath, chosen, nullptr) ? LoadResult::kDone : LoadResult::kFailed;
}

void RemoveAudio(const std::string& recordPath) {
  std::string audio;
  LRichAudioFile::GetAudioFileName(recordPath, audio);
  unlink(lessonfiles::ResolveExpressionFile(audio).c_str());
}

ExpressionPanelFile::ExpressionPanelFile(const std::string& recordPath, const std::string& name, RecordFormat format)
    : LPanelFile(name, "", format.rate, uint8_t(format.channels), kNameReadOnly), record_(recordPath) {
  std::string audio;
  LRichAudioFile::GetAudioFileName(recordPath, audio);
  path = lessonfiles::ResolveExpressionFile(audio);
}

bool ExpressionPanelFile::PutTakeInPlace(const std::string& takePath) {
  const std::string before = path;
  std::string replaced;
  if (!PlaceTake(takePath, &replaced)) return false;
  const std::string record = lessonfiles::ResolveExpressionFile(record_);
  if (!ProfileWriteInt(record, "raf", "audiotype", kAudioTypeWav)) {
    // The record still names the old audio: it stays, and the take goes back where it was.
    if (!replaced.empty() && std::rename(path.c_str(), takePath.c_str()) == 0) path = before;
    return false;
  }
  RemoveReplaced(replaced);
  ProfileWriteDateTime(record, "raf", "audioupdate", LDateTime::Now());
  ProfileFlush(record);
  return true;
}

int32_t LengthMs(int64_t frames, int32_t rate) {
  if (rate <= 0 || frames <= 0) return 0;
  int64_t ms = frames / rate * 1000 + frames % rate * 1000 / rate;
  return int32_t(std::min<int64_t>(ms, INT32_MAX));
}

int PositionPercent(int32_t positionMs, int32_t totalMs) {
  if (totalMs < 1) return 0;
  return int(int64_t(std::max(positionMs, 0)) * 100 / totalMs);
}

int32_t ScrollPosition(int code, int thumb, int32_t positionMs, int32_t totalMs) {
  enum { kLineLeft = 0, kLineRight = 1, kPageLeft = 2, kPageRight = 3, kThumbPosition = 4, kThumbTrack = 5 };
  switch (code) {
    case kLineLeft:
    case kPageLeft:
      return positionMs < 2000 ? 0 : positionMs - 2000;
    case kLineRight:
    case kPageRight:
      return positionMs > INT32_MAX - 2000 ? INT32_MAX : positionMs + 2000;
    case kThumbPosition:
    case kThumbTrack:
      return int32_t(int64_t(std::clamp(thumb, 0, 100)) * std::max(totalMs, 0) / 100);
    default:
      return positionMs;
  }
}

int64_t PositionFrame(int32_t positionMs, int32_t rate) {
  positionMs = std::max(positionMs, 0);
  return int64_t(positionMs / 1000) * rate + int64_t(positionMs % 1000) * rate / 1000;
}

}  // namespace media
