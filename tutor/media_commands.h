#pragma once
// What the tutor's image, audio and playback commands do to an expression's
// files and numbers, apart from the window that asks and shows. Every file
// change writes the new file completely under a temporary name first, so a
// failure keeps what the expression had.
#include <cstdint>
#include <string>
#include <vector>

#include "controls/panel_file.h"

namespace media {

enum class LoadResult { kDone, kUnchanged, kUnsupported, kFailed };

// The expression's image file as it is on disk ("" when the record names none).
std::string ImageFile(const std::string& recordPath);
// True when the expression has an image file.
bool HasImage(const std::string& recordPath);
// Makes the image a plain white 320x240 bitmap "{name}.bmp", replacing any
// other image, and writes the image-only page.
bool CreateBlankImage(const std::string& recordPath);
// Copies chosen to "{name}{ext}" (ext exactly as the chosen name has it),
// then removes the old image when it had another name. Only image types the
// page can show are taken; choosing the expression's own image changes nothing.
LoadResult LoadImage(const std::string& recordPath, const std::string& chosen);
// Deletes the image and the page; the record keeps its image extension.
void RemoveImage(const std::string& recordPath);
// The program that edits an image: the "ImageEditor" setting, else the first
// known editor on PATH; empty for the desktop's default application.
std::vector<std::string> ImageEditorCommand(const std::string& imageFile);

// Audio. The format of a new recording from the settings: rate 0 when the
// configured default rate is not a valid one.
struct RecordFormat {
  int32_t rate = 0;
  int channels = 1;
};
RecordFormat NewRecordingFormat(bool prompting);
// Loads a WAV or MP3 file into the record; anything else leaves it unchanged.
LoadResult LoadAudio(const std::string& recordPath, const std::string& chosen);
void RemoveAudio(const std::string& recordPath);

// The record panel's file for an expression: a finished recording is WAV, so
// the record's audio type becomes WAV with it (an MP3 expression recorded
// anew would otherwise name a file that is gone).
class ExpressionPanelFile : public LPanelFile {
 public:
  ExpressionPanelFile(const std::string& recordPath, const std::string& name, RecordFormat format);
  bool PutTakeInPlace(const std::string& takePath) override;

 private:
  std::string record_;
};

// Playback numbers.
int32_t LengthMs(int64_t frames, int32_t rate);
int PositionPercent(int32_t positionMs, int32_t totalMs);
// The position after a scroll code of the position bar; the old one for codes it ignores.
int32_t ScrollPosition(int code, int thumb, int32_t positionMs, int32_t totalMs);
int64_t PositionFrame(int32_t positionMs, int32_t rate);

}  // namespace media
