#include "platform/audio/wave_device.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/audio/audio_backend.h"

namespace {

std::mutex backendLock;
std::string selectedBackend = "pulse";

}  // namespace

void LAudioSelectBackend(const std::string& name) {
  std::lock_guard<std::mutex> guard(backendLock);
  selectedBackend = name;
}

bool LAudioIsVirtual() {
  const char* env = std::getenv("ORATIVO_AUDIO");
  if (env && *env) return std::strcmp(env, "virtual") == 0;
  std::lock_guard<std::mutex> guard(backendLock);
  return selectedBackend == "virtual";
}

LAudioBackend& LAudioCurrentBackend() { return LAudioIsVirtual() ? LAudioVirtualBackend() : LAudioPulseBackend(); }

int LWaveOut::Prepare(LWaveHeader* header) {
  if (!header) return kWaveError;
  header->SetFlag(kWaveHeaderPrepared);
  return kWaveOk;
}

int LWaveOut::Unprepare(LWaveHeader* header) {
  if (!header) return kWaveError;
  if (header->flags.load() & kWaveHeaderInQueue) return kWaveStillPlaying;
  header->ClearFlag(kWaveHeaderPrepared);
  return kWaveOk;
}

int LWaveIn::Prepare(LWaveHeader* header) {
  if (!header) return kWaveError;
  header->SetFlag(kWaveHeaderPrepared);
  return kWaveOk;
}

int LWaveIn::Unprepare(LWaveHeader* header) {
  if (!header) return kWaveError;
  if (header->flags.load() & kWaveHeaderInQueue) return kWaveStillPlaying;
  header->ClearFlag(kWaveHeaderPrepared);
  return kWaveOk;
}

int LWaveOutOpen(std::unique_ptr<LWaveOut>* device, int deviceId, const LWaveDeviceFormat& format, bool mapped,
                 LWaveDoneCallback done) {
  device->reset();
  if (format.channels == 0 || format.sampleRate == 0 || (format.bitsPerSample != 8 && format.bitsPerSample != 16))
    return kWaveBadFormat;
  return LAudioCurrentBackend().OpenOut(device, deviceId, format, mapped, std::move(done));
}

int LWaveInOpen(std::unique_ptr<LWaveIn>* device, int deviceId, const LWaveDeviceFormat& format, bool mapped,
                LWaveDoneCallback done) {
  device->reset();
  if (format.channels == 0 || format.sampleRate == 0 || (format.bitsPerSample != 8 && format.bitsPerSample != 16))
    return kWaveBadFormat;
  return LAudioCurrentBackend().OpenIn(device, deviceId, format, mapped, std::move(done));
}

std::vector<std::string> LWaveOutDeviceNames() { return LAudioCurrentBackend().OutputNames(); }
std::vector<std::string> LWaveInDeviceNames() { return LAudioCurrentBackend().InputNames(); }

int LWaveCheckQueueable(LWaveHeader* header) {
  if (!header || (!header->data && header->bufferLength)) return kWaveError;
  uint32_t flags = header->flags.load();
  if (!(flags & kWaveHeaderPrepared)) return kWaveUnprepared;
  if (flags & kWaveHeaderInQueue) return kWaveStillPlaying;
  return kWaveOk;
}

// Output queue.

void LWaveOutQueue::Add(LWaveHeader* header) {
  header->ClearFlag(kWaveHeaderDone);
  header->SetFlag(kWaveHeaderInQueue);
  queue_.push_back(header);
}

size_t LWaveOutQueue::Take(uint8_t* dst, size_t bytes, bool* finished, std::vector<LWaveHeader*>* held) {
  size_t taken = 0;
  while (taken < bytes && current_ < queue_.size()) {
    LWaveHeader* h = queue_[current_];
    if (offset_ == 0 && (h->flags.load() & kWaveHeaderBeginLoop) && !inLoop_) {
      // A loop starts only at the head of the queue: buffers before it are done.
      inLoop_ = true;
      loopsLeft_ = std::max<uint32_t>(h->loops, 1);
      breakLoop_ = false;
      loopPassBytes_ = 0;
    }
    size_t n = std::min<size_t>(bytes - taken, h->bufferLength - std::min<size_t>(offset_, h->bufferLength));
    if (n && dst) std::memcpy(dst + taken, h->data + offset_, n);
    taken += n;
    offset_ += n;
    loopPassBytes_ += n;
    if (offset_ < h->bufferLength) break;
    offset_ = 0;
    bool endLoop = (h->flags.load() & kWaveHeaderEndLoop) != 0;
    if (inLoop_ && endLoop && !breakLoop_ && loopsLeft_ > 1) {
      --loopsLeft_;
      current_ = 0;
      // A loop without audio would spin here for ever: play it once.
      if (loopPassBytes_ == 0) loopsLeft_ = 1;
      loopPassBytes_ = 0;
      continue;
    }
    if (inLoop_ && !endLoop) {
      ++current_;
      continue;
    }
    // The buffer (and the loop it closes) is finished.
    size_t count = current_ + 1;
    for (size_t i = 0; i < count; ++i) {
      LWaveHeader* done = queue_.front();
      queue_.pop_front();
      if (held) {
        held->push_back(done);
        continue;
      }
      done->ClearFlag(kWaveHeaderInQueue);
      done->SetFlag(kWaveHeaderDone);
    }
    current_ = 0;
    inLoop_ = false;
    breakLoop_ = false;
    if (!held) *finished = true;
  }
  return taken;
}

bool LWaveOutQueue::ReturnAll() {
  bool any = !queue_.empty();
  for (LWaveHeader* h : queue_) {
    h->ClearFlag(kWaveHeaderInQueue);
    h->SetFlag(kWaveHeaderDone);
  }
  queue_.clear();
  current_ = 0;
  offset_ = 0;
  inLoop_ = false;
  breakLoop_ = false;
  return any;
}

// Input queue.

void LWaveInQueue::Add(LWaveHeader* header) {
  header->ClearFlag(kWaveHeaderDone);
  header->SetFlag(kWaveHeaderInQueue);
  header->bytesRecorded = 0;
  queue_.push_back(header);
}

size_t LWaveInQueue::Put(const uint8_t* src, size_t bytes, bool* finished) {
  size_t put = 0;
  while (put < bytes && !queue_.empty()) {
    LWaveHeader* h = queue_.front();
    size_t n = std::min<size_t>(bytes - put, h->bufferLength - h->bytesRecorded);
    std::memcpy(h->data + h->bytesRecorded, src + put, n);
    h->bytesRecorded += uint32_t(n);
    put += n;
    if (h->bytesRecorded >= h->bufferLength) {
      queue_.pop_front();
      h->ClearFlag(kWaveHeaderInQueue);
      h->SetFlag(kWaveHeaderDone);
      *finished = true;
    }
  }
  return put;
}

bool LWaveInQueue::ReturnAll() {
  bool any = !queue_.empty();
  for (LWaveHeader* h : queue_) {
    h->ClearFlag(kWaveHeaderInQueue);
    h->SetFlag(kWaveHeaderDone);
  }
  queue_.clear();
  return any;
}
