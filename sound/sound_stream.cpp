#include "sound/sound_stream.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/debug_log.h"

// A channel count above 255 would wrap in the 8-bit field; it is as invalid as 0.
static uint8_t ChannelField(unsigned count) { return count > 255 ? 0 : uint8_t(count); }

LSoundSourceBase::LSoundSourceBase(int32_t rate, unsigned count, uint32_t amplitude)
    : sampleRate(rate), maxAmplitude(amplitude), channels(ChannelField(count)) {
  if (rate < 1) {
    LDebugLog("LSoundSourceBase::LSoundSourceBase SampleRate <= 0 ERROR");
    sampleRate = 44100;
    error = kSoundBadFormat;
  }
  if (channels == 0) {
    LDebugLog("LSoundSourceBase::LSoundSourceBase nChans == 0 ERROR");
    channels = 1;
    error = kSoundBadFormat;
  }
}

void LSoundSourceBase::Seek(int) {}

bool LSoundSourceBase::ReadBlockPeaks(uint32_t*, size_t, int) { return false; }

void LSoundSourceBase::SetSampleRate(int32_t rate) {
  sampleRate = rate;
  if (rate < 1) {
    LDebugLog("LSoundSourceBase::SetSampleRate SampleRate <= 0 ERROR");
    sampleRate = 44100;
    error = kSoundBadFormat;
  }
}

void LSoundSourceBase::SetChannels(unsigned count) {
  channels = ChannelField(count);
  if (channels == 0) {
    LDebugLog("LSoundSourceBase::SetChannels nChans == 0 ERROR");
    channels = 1;
    error = kSoundBadFormat;
  }
}

LSoundSinkBase::LSoundSinkBase(uint32_t rate, unsigned count) : sampleRate(rate), channels(ChannelField(count)) {
  if (channels == 0) {
    LDebugLog("LSoundSinkBase::LSoundSinkBase nChans == 0");
    channels = 1;
    errorFlags |= 1;
  }
}

void LSoundSinkBase::Seek(int) {}

LSoundSourceNull::LSoundSourceNull(uint8_t errorCode) : LSoundSourceBase(11025, 1, 0x200000) { error = errorCode; }

void LSoundSourceNull::Read(int32_t* buffer, int frames) {
  if (frames > 0) std::memset(buffer, 0, sizeof(int32_t) * size_t(frames) * channels);
}

// Handles.

static void TakeSource(LSoundSourceBase* source) { ++source->refCount; }
static void ReleaseSource(LSoundSourceBase* source) {
  if (--source->refCount == 0) delete source;
}

LSoundSourceRef::LSoundSourceRef() : source_(new LSoundSourceNull) { TakeSource(source_); }
LSoundSourceRef::LSoundSourceRef(LSoundSourceBase* source) : source_(source ? source : new LSoundSourceNull) {
  TakeSource(source_);
}
LSoundSourceRef::LSoundSourceRef(const LSoundSourceRef& other) : source_(other.source_) { TakeSource(source_); }
LSoundSourceRef& LSoundSourceRef::operator=(const LSoundSourceRef& other) {
  LSoundSourceBase* old = source_;
  TakeSource(other.source_);  // before the release, so self-assignment is safe
  source_ = other.source_;
  ReleaseSource(old);
  return *this;
}
LSoundSourceRef::~LSoundSourceRef() { ReleaseSource(source_); }

LSoundSourceRef LSoundSourceRef::Null(uint8_t errorCode) { return LSoundSourceRef(new LSoundSourceNull(errorCode)); }

void LSoundSourceRef::Reset() { *this = LSoundSourceRef(); }

static void TakeSink(LSoundSinkBase* sink) {
  if (sink) ++sink->refCount;
}
static void ReleaseSink(LSoundSinkBase* sink) {
  if (sink && --sink->refCount == 0) delete sink;
}

LSoundSinkRef::LSoundSinkRef(LSoundSinkBase* sink) : sink_(sink) { TakeSink(sink_); }
LSoundSinkRef::LSoundSinkRef(const LSoundSinkRef& other) : sink_(other.sink_) { TakeSink(sink_); }
LSoundSinkRef& LSoundSinkRef::operator=(const LSoundSinkRef& other) {
  LSoundSinkBase* old = sink_;
  TakeSink(other.sink_);
  sink_ = other.sink_;
  ReleaseSink(old);
  return *this;
}
LSoundSinkRef::~LSoundSinkRef() { ReleaseSink(sink_); }
void LSoundSinkRef::Release() {
  ReleaseSink(sink_);
  sink_ = nullptr;
}

// Time.

void LSoundTime::SetSamples(int32_t samples, int32_t rate) {
  if (rate <= 0) {
    LDebugLog("LSoundTime::SetSamples samplerate <= 0");
    return;
  }
  ms = FramesToMs(samples, rate);
}

std::string LSoundTime::GetTextMilliseconds() const {
  long v = ms;
  const char* sign = "";
  if (v < 0) {
    sign = "-";
    v = -v;
  }
  char text[64];
  std::snprintf(text, sizeof text, "%s%ld:%.2ld:%.2ld.%.3ld", sign, v / 3600000, (v / 60000) % 60, (v / 1000) % 60,
                v % 1000);
  return text;
}

std::string LSoundTime::GetTextHundredths() const {
  long v = ms;
  const char* sign = "";
  if (v < 0) {
    sign = "-";
    v = -v;
  }
  v += 5;
  char text[64];
  std::snprintf(text, sizeof text, "%s%ld:%.2ld:%.2ld.%.2ld", sign, v / 3600000, (v / 60000) % 60, (v / 1000) % 60,
                (v % 1000) / 10);
  return text;
}

void LSoundTime::SetText(const char* text) {
  const long kMaxField = long(INT32_MAX);  // seconds; anything larger is out of range anyway
  long seconds = 0;                        // fields before the current one, in seconds
  long field = 0;                          // digits of the current field
  long fraction = 0;                       // milliseconds after the "."
  int fractionDigits = -1;                 // -1: no "." seen yet
  bool negative = false;
  for (const char* p = text; p && *p; ++p) {
    char c = *p;
    if (c >= '0' && c <= '9') {
      int digit = c - '0';
      if (fractionDigits < 0) {
        field = std::min(field * 10 + digit, kMaxField);  // a runaway field saturates
      } else if (fractionDigits < 3) {
        static const int weights[3] = {100, 10, 1};
        fraction += digit * weights[fractionDigits++];
      }
    } else if (c == ':' && fractionDigits < 0) {
      seconds = std::min((seconds + field) * 60, kMaxField);
      field = 0;
    } else if (c == '.' && fractionDigits < 0) {
      fractionDigits = 0;
    } else if (c == '-') {
      negative = true;
    }
  }
  long total = std::min((seconds + field) * 1000 + fraction, long(INT32_MAX));
  ms = int32_t(negative ? -total : total);
}

const char* const kSampleRateList[13] = {"6000",  "8000",  "11025", "16000", "22050",  "32000", "44100",
                                         "48000", "64000", "88200", "96000", "196000", nullptr};

int32_t SampleRateFromIndex(int index) {
  if (index < 0 || index >= kSampleRateCount) return 0;
  return int32_t(std::atoi(kSampleRateList[index]));
}
