#include "platform/audio/virtual_audio.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/audio/audio_backend.h"
#include "platform/debug_log.h"
#include "platform/little_endian.h"

namespace {

using Clock = std::chrono::steady_clock;

struct World {
  std::mutex lock;
  LVirtualAudioConfig config;
  std::vector<int16_t> capture;
  std::vector<int> written;
  LWaveDeviceFormat lastOut, lastIn;
  int openOutputs = 0, openInputs = 0;
  bool outputPaused = false;
  LVirtualAudio::MixerState mixer;
  int defaultInput = 0;
};

World& TheWorld() {
  static World* world = new World;  // devices may close during static destruction
  return *world;
}

LVirtualAudioConfig Config() {
  std::lock_guard<std::mutex> guard(TheWorld().lock);
  return TheWorld().config;
}

// A 16-bit PCM WAV as interleaved samples; false when the file is not one.
bool LoadWav16(const std::string& path, int* channels, std::vector<int16_t>* samples) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  std::vector<uint8_t> bytes;
  uint8_t chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0 && bytes.size() < (size_t(1) << 30))
    bytes.insert(bytes.end(), chunk, chunk + n);
  std::fclose(f);
  if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) || std::memcmp(bytes.data() + 8, "WAVE", 4))
    return false;
  size_t at = 12;
  LWaveFormat format{0, 0, 0, 0};  // no "fmt " yet
  while (at + 8 <= bytes.size()) {
    uint32_t size = LeGet32(&bytes[at + 4]);
    const uint8_t* body = &bytes[at + 8];
    size_t avail = bytes.size() - at - 8;
    if (!std::memcmp(&bytes[at], "fmt ", 4)) {
      LWaveFormat::Parse(body, std::min<size_t>(size, avail), &format);
    } else if (!std::memcmp(&bytes[at], "data", 4)) {
      const int ch = format.channels;
      if (format.formatTag != kWaveFormatPcm || format.bitsPerSample != 16 || ch < 1) return false;
      size_t len = std::min<size_t>(size, avail) / 2;
      samples->resize(len - len % size_t(ch));
      for (size_t i = 0; i < samples->size(); ++i) (*samples)[i] = int16_t(LeGet16(body + 2 * i));
      *channels = ch;
      return true;
    }
    at += 8 + size_t(size) + (size & 1);
  }
  return false;
}

void SaveWav16(const std::string& path, const LWaveDeviceFormat& format, const std::vector<int16_t>& samples) {
  std::vector<uint8_t> out;
  uint32_t dataBytes = uint32_t(samples.size() * 2);
  out.insert(out.end(), {'R', 'I', 'F', 'F'});
  LeAppend32(out, 36 + dataBytes);
  out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  LeAppend32(out, 16);
  LeAppend16(out, 1);
  LeAppend16(out, format.channels);
  LeAppend32(out, format.sampleRate);
  LeAppend32(out, format.sampleRate * format.channels * 2u);
  LeAppend16(out, uint16_t(format.channels * 2));
  LeAppend16(out, 16);
  out.insert(out.end(), {'d', 'a', 't', 'a'});
  LeAppend32(out, dataBytes);
  for (int16_t s : samples) LeAppend16(out, uint16_t(s));
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    LDebugLog("LVirtualAudio::SaveWav16 cannot write %s", path.c_str());
    return;
  }
  std::fwrite(out.data(), 1, out.size(), f);
  std::fclose(f);
}

// The stream volume on 16-bit samples; 0 dB leaves them exactly as they are.
void ApplyGain(int16_t* samples, size_t count, double gain) {
  if (gain == 1.0) return;
  for (size_t i = 0; i < count; ++i)
    samples[i] = int16_t(std::clamp(std::lround(samples[i] * gain), long(INT16_MIN), long(INT16_MAX)));
}

// Paces a device thread: after `frames` frames at `rate`, waits until their
// time has passed at the configured speed.
class Pacer {
 public:
  void Restart() { deadline_ = Clock::now(); }
  template <typename Lock, typename Pred>
  void Wait(std::condition_variable& cv, Lock& lock, int64_t frames, uint32_t rate, Pred stop) {
    double speed = Config().speed;
    if (speed <= 0) return;
    deadline_ += std::chrono::microseconds(int64_t(double(frames) * 1e6 / rate / speed));
    auto now = Clock::now();
    if (deadline_ < now - std::chrono::milliseconds(50)) deadline_ = now;
    cv.wait_until(lock, deadline_, stop);
  }

 private:
  Clock::time_point deadline_ = Clock::now();
};

class VirtualOut : public LWaveOut {
 public:
  VirtualOut(const LWaveDeviceFormat& format, LWaveDoneCallback done) : format_(format), done_(std::move(done)) {
    {
      std::lock_guard<std::mutex> guard(TheWorld().lock);
      TheWorld().openOutputs++;
      TheWorld().lastOut = format;
      TheWorld().outputPaused = false;
      captureFile_ = TheWorld().config.captureFile;
      captureOutput_ = TheWorld().config.captureOutput;
    }
    thread_ = std::thread([this] { Run(); });
  }

  ~VirtualOut() override {
    {
      std::lock_guard<std::mutex> guard(lock_);
      closing_ = true;
      queue_.ReturnAll();
    }
    cv_.notify_all();
    thread_.join();
    if (!captureFile_.empty()) SaveWav16(captureFile_, format_, fileCapture_);
    std::lock_guard<std::mutex> guard(TheWorld().lock);
    TheWorld().openOutputs--;
  }

  int Write(LWaveHeader* header) override {
    int check = LWaveCheckQueueable(header);
    if (check != kWaveOk) return check;
    {
      std::lock_guard<std::mutex> guard(TheWorld().lock);
      TheWorld().written.push_back(int(header->bufferLength / format_.BlockAlign()));
    }
    {
      std::lock_guard<std::mutex> guard(lock_);
      queue_.Add(header);
    }
    cv_.notify_all();
    return kWaveOk;
  }

  int Pause() override {
    std::lock_guard<std::mutex> guard(lock_);
    paused_ = true;
    SetWorldPaused(true);
    return kWaveOk;
  }

  int Restart() override {
    {
      std::lock_guard<std::mutex> guard(lock_);
      paused_ = false;
      SetWorldPaused(false);
    }
    cv_.notify_all();
    return kWaveOk;
  }

  int Reset() override {
    bool any;
    {
      std::lock_guard<std::mutex> guard(lock_);
      any = queue_.ReturnAll();
      position_ = 0;
      paused_ = false;
      SetWorldPaused(false);
    }
    if (any && done_) done_();
    return kWaveOk;
  }

  int BreakLoop() override {
    std::lock_guard<std::mutex> guard(lock_);
    queue_.BreakLoop();
    return kWaveOk;
  }

  int64_t GetPosition() override {
    std::lock_guard<std::mutex> guard(lock_);
    return position_;
  }

 private:
  static void SetWorldPaused(bool paused) {
    std::lock_guard<std::mutex> guard(TheWorld().lock);
    TheWorld().outputPaused = paused;
  }

  void Run() {
    const uint32_t step = std::max<uint32_t>(1, format_.sampleRate / 100);
    const size_t align = format_.BlockAlign();
    std::vector<uint8_t> chunk(step * align);
    Pacer pacer;
    std::unique_lock<std::mutex> lock(lock_);
    bool waiting = true;
    while (!closing_) {
      LVirtualAudioConfig config = Config();
      if (config.stallOutput) {
        // A device that keeps its buffers; it may still wake the owner.
        cv_.wait_for(lock, std::chrono::milliseconds(2), [this] { return closing_; });
        if (config.stallSignals && done_) {
          lock.unlock();
          done_();
          lock.lock();
        }
        continue;
      }
      if (paused_ || queue_.Empty()) {
        cv_.wait_for(lock, std::chrono::milliseconds(20));
        waiting = true;
        continue;
      }
      if (waiting) pacer.Restart();
      waiting = false;
      bool finished = false;
      size_t got = queue_.Take(chunk.data(), chunk.size(), &finished);
      int64_t frames = int64_t(got / align);
      position_ += frames;
      lock.unlock();
      Capture(chunk.data(), got);
      if (finished && done_) done_();
      lock.lock();
      pacer.Wait(cv_, lock, frames, format_.sampleRate, [this] { return closing_; });
    }
  }

  void Capture(const uint8_t* bytes, size_t count) {
    if (!captureOutput_ && captureFile_.empty()) return;
    std::vector<int16_t> samples;
    if (format_.bitsPerSample == 16) {
      samples.resize(count / 2);
      for (size_t i = 0; i < samples.size(); ++i) samples[i] = int16_t(LeGet16(bytes + 2 * i));
    } else {
      samples.resize(count);
      for (size_t i = 0; i < count; ++i) samples[i] = int16_t((int(bytes[i]) - 128) << 8);
    }
    ApplyGain(samples.data(), samples.size(), LAudioStreamGain(false));
    if (!captureFile_.empty()) fileCapture_.insert(fileCapture_.end(), samples.begin(), samples.end());
    if (!captureOutput_) return;
    std::lock_guard<std::mutex> guard(TheWorld().lock);
    TheWorld().capture.insert(TheWorld().capture.end(), samples.begin(), samples.end());
  }

  LWaveDeviceFormat format_;
  LWaveDoneCallback done_;
  std::mutex lock_;
  std::condition_variable cv_;
  LWaveOutQueue queue_;
  bool paused_ = false;
  bool closing_ = false;
  int64_t position_ = 0;
  std::string captureFile_;
  bool captureOutput_ = true;
  std::vector<int16_t> fileCapture_;
  std::thread thread_;
};

class VirtualIn : public LWaveIn {
 public:
  VirtualIn(const LWaveDeviceFormat& format, LWaveDoneCallback done, const LVirtualAudioConfig& config)
      : format_(format), done_(std::move(done)), loop_(config.inputLoop), generator_(config.inputGenerator) {
    if (!config.inputFile.empty() && !LoadWav16(config.inputFile, &fileChannels_, &fileSamples_)) {
      LDebugLog("LVirtualAudio::VirtualIn cannot read %s, giving silence", config.inputFile.c_str());
      fileSamples_.clear();
    }
    useFile_ = !config.inputFile.empty();
    {
      std::lock_guard<std::mutex> guard(TheWorld().lock);
      TheWorld().openInputs++;
      TheWorld().lastIn = format;
    }
    thread_ = std::thread([this] { Run(); });
  }

  ~VirtualIn() override {
    {
      std::lock_guard<std::mutex> guard(lock_);
      closing_ = true;
      queue_.ReturnAll();
    }
    cv_.notify_all();
    thread_.join();
    std::lock_guard<std::mutex> guard(TheWorld().lock);
    TheWorld().openInputs--;
  }

  int AddBuffer(LWaveHeader* header) override {
    int check = LWaveCheckQueueable(header);
    if (check != kWaveOk) return check;
    {
      std::lock_guard<std::mutex> guard(lock_);
      queue_.Add(header);
    }
    cv_.notify_all();
    return kWaveOk;
  }

  int Start() override {
    {
      std::lock_guard<std::mutex> guard(lock_);
      started_ = true;
    }
    cv_.notify_all();
    return kWaveOk;
  }

  int Stop() override {
    std::lock_guard<std::mutex> guard(lock_);
    started_ = false;
    return kWaveOk;
  }

  int Reset() override {
    bool any;
    {
      std::lock_guard<std::mutex> guard(lock_);
      started_ = false;
      any = queue_.ReturnAll();
      pending_.clear();
      pendingAt_ = 0;
      position_ = 0;
    }
    if (any && done_) done_();
    return kWaveOk;
  }

  int64_t GetPosition() override {
    std::lock_guard<std::mutex> guard(lock_);
    return position_;
  }

 private:
  // The next `frames` frames of the input, 16-bit.
  void Generate(int16_t* out, int frames) {
    const int ch = format_.channels;
    if (useFile_) {
      int64_t total = fileChannels_ ? int64_t(fileSamples_.size()) / fileChannels_ : 0;
      for (int f = 0; f < frames; ++f) {
        int64_t at = sourceFrame_ + f;
        if (loop_ && total > 0) at %= total;
        for (int c = 0; c < ch; ++c)
          out[f * ch + c] = at < total ? fileSamples_[size_t(at * fileChannels_ + std::min(c, fileChannels_ - 1))] : 0;
      }
    } else if (generator_) {
      generator_(out, frames, ch, sourceFrame_);
    } else {
      std::fill(out, out + frames * ch, int16_t(0));
    }
    sourceFrame_ += frames;
  }

  void Run() {
    const int step = int(std::max<uint32_t>(1, format_.sampleRate / 100));
    const size_t align = format_.BlockAlign();
    std::vector<int16_t> samples(size_t(step) * format_.channels);
    Pacer pacer;
    std::unique_lock<std::mutex> lock(lock_);
    bool waiting = true;
    while (!closing_) {
      if (!started_ || queue_.Empty() || Config().stallInput) {
        cv_.wait_for(lock, std::chrono::milliseconds(20));
        waiting = true;
        continue;
      }
      if (waiting) pacer.Restart();
      waiting = false;
      int64_t frames = 0;
      if (pendingAt_ >= pending_.size()) {
        lock.unlock();
        Generate(samples.data(), step);
        ApplyGain(samples.data(), samples.size(), LAudioStreamGain(true));
        lock.lock();
        pending_.resize(samples.size() * format_.bitsPerSample / 8);
        if (format_.bitsPerSample == 16) {
          for (size_t i = 0; i < samples.size(); ++i) {
            pending_[2 * i] = uint8_t(samples[i]);
            pending_[2 * i + 1] = uint8_t(uint16_t(samples[i]) >> 8);
          }
        } else {
          for (size_t i = 0; i < samples.size(); ++i) pending_[i] = uint8_t((samples[i] >> 8) + 128);
        }
        pendingAt_ = 0;
        frames = step;
      }
      bool finished = false;
      size_t put = queue_.Put(pending_.data() + pendingAt_, pending_.size() - pendingAt_, &finished);
      pendingAt_ += put;
      position_ += int64_t(put / align);
      if (finished && done_) {
        lock.unlock();
        done_();
        lock.lock();
      }
      if (frames) pacer.Wait(cv_, lock, frames, format_.sampleRate, [this] { return closing_; });
    }
  }

  LWaveDeviceFormat format_;
  LWaveDoneCallback done_;
  bool loop_;
  std::function<void(int16_t*, int, int, int64_t)> generator_;
  bool useFile_ = false;
  int fileChannels_ = 0;
  std::vector<int16_t> fileSamples_;
  int64_t sourceFrame_ = 0;
  std::mutex lock_;
  std::condition_variable cv_;
  LWaveInQueue queue_;
  std::vector<uint8_t> pending_;  // generated bytes not yet stored
  size_t pendingAt_ = 0;
  bool started_ = false;
  bool closing_ = false;
  int64_t position_ = 0;
  std::thread thread_;
};

class VirtualBackend : public LAudioBackend {
 public:
  int OpenOut(std::unique_ptr<LWaveOut>* device, int deviceId, const LWaveDeviceFormat& format, bool mapped,
              LWaveDoneCallback done) override {
    LVirtualAudioConfig config = Config();
    int check = CheckOpen(config, deviceId, config.outputDevices, mapped);
    if (check != kWaveOk) return check;
    device->reset(new VirtualOut(format, std::move(done)));
    return kWaveOk;
  }

  int OpenIn(std::unique_ptr<LWaveIn>* device, int deviceId, const LWaveDeviceFormat& format, bool mapped,
             LWaveDoneCallback done) override {
    LVirtualAudioConfig config = Config();
    int check = CheckOpen(config, deviceId, config.inputDevices, mapped);
    if (check != kWaveOk) return check;
    device->reset(new VirtualIn(format, std::move(done), config));
    return kWaveOk;
  }

  std::vector<std::string> OutputNames() override { return Names("Virtual Output ", Config().outputDevices); }
  std::vector<std::string> InputNames() override { return Names("Virtual Input ", Config().inputDevices); }

  std::vector<std::string> InputLines(int deviceIndex) override {
    LVirtualAudioConfig config = Config();
    if (deviceIndex < 0 || deviceIndex >= config.inputDevices) return {};
    return config.inputLines;
  }

  void SetInputLine(int deviceIndex, int line) override {
    std::lock_guard<std::mutex> guard(TheWorld().lock);
    if (deviceIndex >= TheWorld().config.inputDevices || line >= int(TheWorld().config.inputLines.size())) return;
    TheWorld().mixer.inputDevice = deviceIndex;
    TheWorld().mixer.inputLine = line;
    TheWorld().mixer.lineSelections++;
  }

  // The devices read the volumes for every piece of audio they move.
  void ApplyStreamVolumes() override {}

  int DefaultInputIndex() override {
    std::lock_guard<std::mutex> guard(TheWorld().lock);
    return TheWorld().defaultInput;
  }

 private:
  static int CheckOpen(const LVirtualAudioConfig& config, int deviceId, int count, bool mapped) {
    if (config.openDelayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(config.openDelayMs));
    if (config.failOpen) return kWaveBadDevice;
    if (config.rejectUnmapped && !mapped) return kWaveBadFormat;
    if (deviceId >= count || count < 1) return kWaveBadDevice;
    return kWaveOk;
  }

  static std::vector<std::string> Names(const char* prefix, int count) {
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) names.push_back(prefix + std::to_string(i + 1));
    return names;
  }
};

}  // namespace

LAudioBackend& LAudioVirtualBackend() {
  static VirtualBackend* backend = new VirtualBackend;
  return *backend;
}

namespace LVirtualAudio {

void SetConfig(const LVirtualAudioConfig& config) {
  std::lock_guard<std::mutex> guard(TheWorld().lock);
  TheWorld().config = config;
}

LVirtualAudioConfig GetConfig() { return Config(); }

void SetSpeed(double speed) {
  std::lock_guard<std::mutex> guard(TheWorld().lock);
  TheWorld().config.speed = speed;
}

void SetStall(bool stall, bool wakeOwner) {
  std::lock_guard<std::mutex> guard(TheWorld().lock);
  TheWorld().config.stallOutput = stall;
  TheWorld().config.stallSignals = wakeOwner;
}

void SetInputStall(bool stall) {
  std::lock_guard<std::mutex> guard(TheWorld().lock);
  TheWorld().config.stallInput = stall;
}

std::vector<int16_t> CapturedOutput() {
  std::lock_guard<std::mutex> guard(TheWorld().lock);
  return TheWorld().capture;
}

std::vector<int> WrittenBufferFrames() {
  std::lock_guard<std::mutex> guard(TheWorld().lock);
  return TheWorld().written;
}

LWaveDeviceFormat LastOutputFormat() {
  std::lock_guard<std::mutex> guard(TheWorld().lock);
  return TheWorld().lastOut;
}

LWaveDeviceFormat LastInputFormat() {
  std::lock_guard<std::mutex> guard(TheWorld().lock);
  return TheWorld().lastIn;
}

int OpenOutputs() {
  std::lock_guard<std::mutex> guard(TheWorld().lock);
  return TheWorld().openOutputs;
}

int OpenInputs() {
  std::lock_guard<std::mutex> guard(TheWorld().lock);
  return TheWorld().openInputs;
}

bool OutputPaused() {
  std::lock_guard<std::mutex> guard(TheWorld().lock);
  return TheWorld().outputPaused;
}

void ClearCapture() {
  std::lock_guard<std::mutex> guard(TheWorld().lock);
  TheWorld().capture.clear();
  TheWorld().written.clear();
}

MixerState Mixer() {
  std::lock_guard<std::mutex> guard(TheWorld().lock);
  return TheWorld().mixer;
}

void SetDefaultInputIndex(int index) {
  std::lock_guard<std::mutex> guard(TheWorld().lock);
  TheWorld().defaultInput = index;
}

}  // namespace LVirtualAudio
