#pragma once
// A sound source that decodes an MPEG audio Layer III file frame by frame as
// the player pulls frames (MPEG-1, MPEG-2 low sampling frequencies, MPEG-2.5).
#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_handle.h"
#include "sound/files/mp3_frame_decoder.h"
#include "sound/sound_stream.h"

// Buffered reading over the open file; remembers its own offset.
class MP3FileReader {
 public:
  explicit MP3FileReader(PlatformFile file) : file_(std::move(file)) {}
  bool IsOpen() const { return file_.IsOpen(); }
  int64_t Size() const { return file_.Size(); }
  // Bytes at and after end read as the end of the file (tags there are not audio).
  void SetEnd(int64_t end) { end_ = end; }
  int64_t End() const { return end_; }
  size_t Read(uint8_t* buffer, size_t bytes);
  bool ReadByte(uint8_t* byte);
  void Skip(int64_t bytes) { Seek(Tell() + bytes); }
  void Seek(int64_t offset);
  int64_t Tell() const { return bufferStart_ + bufferPos_; }

 private:
  bool Fill();

  PlatformFile file_;
  uint8_t buffer_[16384];
  int64_t bufferStart_ = 0;  // file offset of buffer_[0]
  size_t bufferPos_ = 0;
  size_t bufferLen_ = 0;
  int64_t end_ = INT64_MAX;
};

// Where the audio of an MP3 file lies: after the ID3v2 tags at the front and
// before the ID3v1, APE, Lyrics3 and appended ID3v2 tags at the end.
struct MP3AudioSpan {
  int64_t start = 0;
  int64_t end = 0;
};
MP3AudioSpan FindMP3Audio(PlatformFile& file);

class LMP3Source : public LSoundSourceBase {
 public:
  static constexpr int kHeaderSlideLimit = 65535;  // bytes searched for a header
  static constexpr int kInitialFrames = 8;         // frames averaged for the bit rate
  static constexpr int kHeaderAttempts = 11;       // headers read to find a matching one
  static constexpr int kPreRollFrames = 4;         // frames decoded before a seek target

  explicit LMP3Source(const std::string& fileName);
  ~LMP3Source() override;

  void Read(int32_t* buffer, int frames) override;
  int GetPosition() override { return position_; }
  int GetLength() override { return length_; }
  void Seek(int position) override;

  int VbrFrameCount() const { return vbrFrameCount_; }
  double BytesPerFrame() const { return bytesPerFrame_; }

 private:
  // Finds the next acceptable header (sliding over other bytes); reads and drops its CRC.
  bool ReadHeader(MP3Header* header);
  // Reads headers until one of this stream (version, rate, channels) comes;
  // the file is left after it and its CRC.
  bool FindFrame(MP3Header* header);
  // A whole frame of this stream follows the file position (which is kept).
  bool FrameFollows();
  bool DecodeInitialHeader();
  // Decodes the next frame into out. exact: one frame of the file is used
  // whatever its reservoir holds (an unusable one comes out as silence), so
  // that seeking keeps frame numbers.
  bool DecodeFrame(int32_t* out, bool exact = false);
  int BytesRemaining() const;
  void UpdateLength(int reached);
  // File offset of audio frame index, from the frame index built on demand; -1 past the end.
  int64_t FrameOffset(int index);
  // A frame found from where the index scan would go on joins the index, so
  // that reading through the file builds it without a second scan.
  void NoteFrame(int64_t scanFrom, const MP3Header& header);

  int position_ = 0;
  int length_ = 0;
  bool stereo_ = false;
  int vbrFrameCount_ = 0;
  std::unique_ptr<MP3FileReader> file_;
  int dataLength_ = 0;  // bytes of audio, tags not counted
  int64_t audioEnd_ = 0;
  MP3Header initialHeader_;
  MP3Header currentHeader_;
  double bytesPerFrame_ = 0.0;
  std::vector<int32_t> frameBuffer_;
  int samplesPerFrame_ = 1152;
  int frameReadPosition_ = 1152;
  std::unique_ptr<MP3FrameDecoder> decoder_;
  std::vector<uint8_t> mainData_;
  int64_t audioStart_ = 0;  // offset of the first audio frame's search start
  std::vector<int64_t> frameOffsets_;
  int64_t indexNext_ = 0;  // where the index scan goes on
  bool indexComplete_ = false;
};

// Opens an MP3 file as a source; when it cannot be played, an LSoundSourceNull with the error code.
LSoundSourceRef OpenMP3Source(const std::string& fileName);
