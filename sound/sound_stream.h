#pragma once
// The stream model every piece of audio moves through: sources are pulled
// (the player asks for the next block), sinks are pushed (the recorder writes
// each captured block). Both are shared through reference-counted handles.
//
// Samples are signed 32-bit on the scale of 16-bit PCM times 16 (full scale
// +-0x7FFF0); frames are interleaved, channel 0 first. Positions and lengths
// are frames and may be negative or beyond the end: reading there gives zeros.
#include <cstddef>
#include <cstdint>
#include <string>

constexpr uint32_t kSampleFullScale = 0x7FFF0;

// Source and sink error codes (the source's `error` field).
enum LSoundError : uint8_t {
  kSoundOk = 0,
  kSoundMissingSource = 1,  // the placeholder for a missing source
  kSoundInnerError = 2,     // a processor's inner source failed; bad VOK file
  kSoundBadFormat = 3,      // invalid rate or channels, unusable WAV or MP3 layout
  kSoundCannotOpen = 4,     // the file cannot be opened
  kSoundNoCodec = 5,        // no codec can decode the file's format
};

inline int32_t SampleFrom16(int16_t v) { return int32_t(v) * 16; }
// No clamping: a value outside 16-bit range wraps (callers limit first).
inline int16_t SampleTo16(int32_t v) { return int16_t(uint16_t(uint32_t((int64_t(v) + 8) >> 4))); }
inline int32_t SampleFrom8(uint8_t v) { return (int32_t(v) - 128) * 4096; }
inline uint8_t SampleTo8(int32_t v) { return uint8_t(((int64_t(v) + 2048) >> 12) + 128); }

class LSoundSourceBase {
 public:
  LSoundSourceBase(int32_t sampleRate, unsigned channels, uint32_t maxAmplitude);
  virtual ~LSoundSourceBase() = default;
  LSoundSourceBase(const LSoundSourceBase&) = delete;
  LSoundSourceBase& operator=(const LSoundSourceBase&) = delete;

  // Writes exactly frames x channels samples and advances the position by
  // frames, wherever the position is; outside the material the samples are 0.
  virtual void Read(int32_t* buffer, int frames) = 0;
  virtual int GetPosition() = 0;
  virtual int GetLength() = 0;
  virtual void Seek(int position);
  // Fills peaks[b] with the largest absolute sample that Read would give in
  // block b of `blocks` blocks of blockFrames frames from the position, and
  // moves the position past them, as Read would. A source that has no faster
  // way than Read and a scan returns false and reads nothing.
  virtual bool ReadBlockPeaks(uint32_t* peaks, size_t blocks, int blockFrames);

  void SetSampleRate(int32_t rate);
  void SetChannels(unsigned count);

  int32_t sampleRate;
  uint32_t maxAmplitude;  // largest absolute sample the source can produce
  uint8_t channels;
  uint8_t error = kSoundOk;
  uint16_t refCount = 0;
};

class LSoundSinkBase {
 public:
  LSoundSinkBase(uint32_t sampleRate, unsigned channels);
  virtual ~LSoundSinkBase() = default;
  LSoundSinkBase(const LSoundSinkBase&) = delete;
  LSoundSinkBase& operator=(const LSoundSinkBase&) = delete;

  // Consumes frames x channels samples and adds frames to sPosition, also
  // when the sink is unusable (then nothing else happens).
  virtual void Write(const int32_t* buffer, int frames) = 0;
  // Moves the write position back; file sinks truncate there.
  virtual void Seek(int position);

  bool IsUsable() const { return (errorFlags & 1) == 0; }

  int32_t sPosition = 0;
  uint32_t sampleRate;
  uint8_t channels;
  uint8_t errorFlags = 0;  // bit 0: unusable
  uint16_t refCount = 0;
};

// Stands in for a source that could not be made; `error` tells why.
class LSoundSourceNull : public LSoundSourceBase {
 public:
  explicit LSoundSourceNull(uint8_t errorCode = kSoundMissingSource);
  void Read(int32_t* buffer, int frames) override;
  int GetPosition() override { return 0; }
  int GetLength() override { return 0; }
};

// Single-pointer handle. Never empty: a default handle holds an
// LSoundSourceNull, and factories that fail return one with their error code.
// Counts are changed on the window thread only.
class LSoundSourceRef {
 public:
  LSoundSourceRef();
  explicit LSoundSourceRef(LSoundSourceBase* source);  // takes a new or shared object
  LSoundSourceRef(const LSoundSourceRef& other);
  LSoundSourceRef& operator=(const LSoundSourceRef& other);
  ~LSoundSourceRef();

  static LSoundSourceRef Null(uint8_t errorCode);
  void Reset();  // release and hold a new LSoundSourceNull

  LSoundSourceBase* Get() const { return source_; }
  LSoundSourceBase* operator->() const { return source_; }
  LSoundSourceBase& operator*() const { return *source_; }
  bool IsUsable() const { return source_->error == kSoundOk; }

 private:
  LSoundSourceBase* source_;
};

// Sink handle; may be empty (a sink that could not be made at all), which
// owners treat like a sink whose error bit 0 is set.
class LSoundSinkRef {
 public:
  LSoundSinkRef() = default;
  explicit LSoundSinkRef(LSoundSinkBase* sink);
  LSoundSinkRef(const LSoundSinkRef& other);
  LSoundSinkRef& operator=(const LSoundSinkRef& other);
  ~LSoundSinkRef();

  void Release();
  LSoundSinkBase* Get() const { return sink_; }
  LSoundSinkBase* operator->() const { return sink_; }
  bool IsEmpty() const { return sink_ == nullptr; }
  bool IsUsable() const { return sink_ && sink_->IsUsable(); }

 private:
  LSoundSinkBase* sink_ = nullptr;
};

// A time in milliseconds.
class LSoundTime {
 public:
  LSoundTime() = default;
  explicit LSoundTime(int32_t milliseconds) : ms(milliseconds) {}

  // Two-step integer forms, so 32-bit intermediates hold hours of audio.
  // 0 for a rate below 1.
  static int32_t FramesToMs(int32_t frames, int32_t rate) {
    if (rate < 1) return 0;
    return int32_t((frames / rate) * 1000 + (int64_t(frames % rate) * 1000) / rate);
  }
  static int32_t MsToFrames(int32_t ms, int32_t rate) {
    return int32_t(int64_t(ms / 1000) * rate + (int64_t(ms % 1000) * rate) / 1000);
  }

  void SetSamples(int32_t samples, int32_t rate);
  std::string GetTextMilliseconds() const;  // "h:mm:ss.mmm"
  std::string GetTextHundredths() const;    // "h:mm:ss.hh", rounded to the nearest hundredth
  void SetText(const char* text);

  int32_t ms = 0;
};

// The recording rates offered to the user, as shown; settings keep the index.
extern const char* const kSampleRateList[13];  // 12 entries and a null end
constexpr int kSampleRateCount = 12;
// The rate of list entry index, or 0 when index is outside the list.
int32_t SampleRateFromIndex(int index);
