// Devices on the sound server. One connection for the process, made on first
// use with a bounded time-out and made again after the server went away; all
// streams and queries run on its threaded mainloop, whose lock is also the
// lock of every device's buffer queue.
//
// The program's play and record volumes are the volumes of its own streams
// (sink inputs and source outputs); devices' volumes, mute states and ports
// change only when the user picks an input line.
//
// Output buffers are copied into the stream as the server asks for data and
// become done once the server's playback clock has passed their end, so a
// reset right after the last buffer came back loses no audible audio.
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/audio/audio_backend.h"
#include "platform/debug_log.h"

namespace {

constexpr pa_usec_t kConnectTimeout = 2 * PA_USEC_PER_SEC;
constexpr pa_usec_t kOperationTimeout = 3 * PA_USEC_PER_SEC;
constexpr pa_usec_t kCompletionTick = 10 * PA_USEC_PER_MSEC;

struct DeviceInfo {
  uint32_t index;
  std::string name;
  std::string description;
  std::vector<std::string> portNames;
  std::vector<std::string> portDescriptions;
};

class Connection {
 public:
  // Locks the mainloop and makes sure the context is ready; false (and
  // unlocked) when no server can be reached.
  bool LockReady() {
    std::lock_guard<std::mutex> guard(setup_);
    if (!loop_) {
      loop_ = pa_threaded_mainloop_new();
      if (!loop_ || pa_threaded_mainloop_start(loop_) < 0) {
        LDebugLog("LPulseAudio::Connect mainloop FAILED");
        if (loop_) pa_threaded_mainloop_free(loop_);
        loop_ = nullptr;
        return false;
      }
    }
    pa_threaded_mainloop_lock(loop_);
    if (context_ && pa_context_get_state(context_) == PA_CONTEXT_READY) return true;
    if (context_) {
      pa_context_disconnect(context_);
      pa_context_unref(context_);
      context_ = nullptr;
    }
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Orativo");
    if (!context_) {
      pa_threaded_mainloop_unlock(loop_);
      return false;
    }
    pa_context_set_state_callback(context_, &Connection::Signal, this);
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
      LDebugLog("LPulseAudio::Connect %s", pa_strerror(pa_context_errno(context_)));
      Drop();
      pa_threaded_mainloop_unlock(loop_);
      return false;
    }
    bool timedOut = false;
    pa_time_event* timer =
        pa_context_rttime_new(context_, pa_rtclock_now() + kConnectTimeout, &Connection::Expire, &timedOut);
    pa_context_state_t state;
    while ((state = pa_context_get_state(context_)) != PA_CONTEXT_READY && PA_CONTEXT_IS_GOOD(state) && !timedOut)
      pa_threaded_mainloop_wait(loop_);
    if (timer) pa_threaded_mainloop_get_api(loop_)->time_free(timer);
    if (state != PA_CONTEXT_READY) {
      LDebugLog("LPulseAudio::Connect no sound server (%s)", timedOut ? "time-out" : "refused");
      Drop();
      pa_threaded_mainloop_unlock(loop_);
      return false;
    }
    return true;
  }

  // Locks the mainloop only when a connection is up; false (unlocked) otherwise.
  bool LockIfReady() {
    std::lock_guard<std::mutex> guard(setup_);
    if (!loop_) return false;
    pa_threaded_mainloop_lock(loop_);
    if (context_ && pa_context_get_state(context_) == PA_CONTEXT_READY) return true;
    pa_threaded_mainloop_unlock(loop_);
    return false;
  }

  void Unlock() { pa_threaded_mainloop_unlock(loop_); }
  void Wait() { pa_threaded_mainloop_wait(loop_); }
  void SignalAll() { pa_threaded_mainloop_signal(loop_, 0); }
  pa_context* Context() { return context_; }
  pa_threaded_mainloop* Loop() { return loop_; }

  // Waits (lock held) for an operation, bounded; true when it completed.
  bool WaitFor(pa_operation* op) {
    if (!op) return false;
    bool timedOut = false;
    pa_time_event* timer =
        pa_context_rttime_new(context_, pa_rtclock_now() + kOperationTimeout, &Connection::Expire, &timedOut);
    while (pa_operation_get_state(op) == PA_OPERATION_RUNNING && !timedOut &&
           PA_CONTEXT_IS_GOOD(pa_context_get_state(context_)))
      pa_threaded_mainloop_wait(loop_);
    if (timer) pa_threaded_mainloop_get_api(loop_)->time_free(timer);
    bool done = pa_operation_get_state(op) == PA_OPERATION_DONE;
    if (!done) pa_operation_cancel(op);
    pa_operation_unref(op);
    return done;
  }

  // Starts an operation and lets it finish on its own.
  static void Forget(pa_operation* op) {
    if (op) pa_operation_unref(op);
  }

  static void Signal(pa_context*, void* self) { static_cast<Connection*>(self)->SignalAll(); }
  static void SuccessSignal(pa_context*, int, void* self) { static_cast<Connection*>(self)->SignalAll(); }

 private:
  static void Expire(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* flag);

  void Drop() {
    pa_context_set_state_callback(context_, nullptr, nullptr);
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    context_ = nullptr;
  }

  std::mutex setup_;
  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
};

Connection& Server() {
  static Connection* connection = new Connection;  // lives until the process ends
  return *connection;
}

void Connection::Expire(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* flag) {
  *static_cast<bool*>(flag) = true;
  Server().SignalAll();
}

// Device lists, queried with the lock held.
struct ListQuery {
  std::vector<DeviceInfo> devices;
};

void OnSink(pa_context*, const pa_sink_info* info, int eol, void* data) {
  if (eol || !info) {
    Server().SignalAll();
    return;
  }
  DeviceInfo d{info->index, info->name ? info->name : "", info->description ? info->description : "", {}, {}};
  static_cast<ListQuery*>(data)->devices.push_back(std::move(d));
}

void OnSource(pa_context*, const pa_source_info* info, int eol, void* data) {
  if (eol || !info) {
    Server().SignalAll();
    return;
  }
  if (info->monitor_of_sink != PA_INVALID_INDEX) return;  // monitors are not inputs of their own
  DeviceInfo d{info->index, info->name ? info->name : "", info->description ? info->description : "", {}, {}};
  for (uint32_t i = 0; i < info->n_ports && info->ports && info->ports[i]; ++i) {
    d.portNames.push_back(info->ports[i]->name ? info->ports[i]->name : "");
    d.portDescriptions.push_back(info->ports[i]->description ? info->ports[i]->description : "");
  }
  static_cast<ListQuery*>(data)->devices.push_back(std::move(d));
}

std::vector<DeviceInfo> ListLocked(bool sinks) {
  ListQuery query;
  pa_context* c = Server().Context();
  Server().WaitFor(sinks ? pa_context_get_sink_info_list(c, OnSink, &query)
                         : pa_context_get_source_info_list(c, OnSource, &query));
  return query.devices;
}

std::vector<DeviceInfo> List(bool sinks) {
  if (!Server().LockReady()) return {};
  std::vector<DeviceInfo> devices = ListLocked(sinks);
  Server().Unlock();
  return devices;
}

pa_sample_spec SampleSpecOf(const LWaveDeviceFormat& format) {
  pa_sample_spec sampleSpec;
  sampleSpec.format = format.bitsPerSample == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE;
  sampleSpec.rate = format.sampleRate;
  sampleSpec.channels = uint8_t(std::min<unsigned>(format.channels, 255));
  return sampleSpec;
}

// The program's streams, so that a volume change reaches every open one.
// Guarded by the mainloop lock.
std::vector<pa_stream*> playStreams, recordStreams;

pa_cvolume StreamVolume(pa_stream* stream, bool input) {
  int db = LAudioStreamVolumeDb(input);
  pa_volume_t v = db < -35 ? PA_VOLUME_MUTED : std::min<pa_volume_t>(pa_sw_volume_from_dB(db), PA_VOLUME_MAX);
  pa_cvolume volume;
  pa_cvolume_set(&volume, std::max<uint8_t>(pa_stream_get_sample_spec(stream)->channels, 1), v);
  return volume;
}

// Sets a connected stream's volume (lock held); waits for the server when asked.
void SetStreamVolume(pa_stream* stream, bool input, bool wait) {
  pa_cvolume volume = StreamVolume(stream, input);
  pa_context* c = Server().Context();
  uint32_t index = pa_stream_get_index(stream);
  if (index == PA_INVALID_INDEX) return;
  pa_operation* op = input
                         ? pa_context_set_source_output_volume(c, index, &volume, Connection::SuccessSignal, &Server())
                         : pa_context_set_sink_input_volume(c, index, &volume, Connection::SuccessSignal, &Server());
  if (wait)
    Server().WaitFor(op);
  else
    Connection::Forget(op);
}

// Creates and connects a stream (lock held); null on failure.
pa_stream* ConnectStream(bool output, int deviceId, const LWaveDeviceFormat& format, bool mapped, void* owner,
                         int* result) {
  pa_sample_spec sampleSpec = SampleSpecOf(format);
  if (!pa_sample_spec_valid(&sampleSpec)) {
    *result = kWaveBadFormat;
    return nullptr;
  }
  std::string device;
  if (deviceId >= 0) {
    std::vector<DeviceInfo> devices = ListLocked(output);
    if (deviceId >= int(devices.size())) {
      *result = kWaveBadDevice;
      return nullptr;
    }
    device = devices[size_t(deviceId)].name;
  }
  pa_channel_map map;
  if (!pa_channel_map_init_extend(&map, sampleSpec.channels, PA_CHANNEL_MAP_WAVEEX)) {
    *result = kWaveBadFormat;
    return nullptr;
  }
  pa_stream* stream =
      pa_stream_new(Server().Context(), output ? "Orativo playback" : "Orativo recording", &sampleSpec, &map);
  if (!stream) {
    *result = kWaveBadFormat;
    return nullptr;
  }
  (void)owner;
  pa_stream_set_state_callback(
      stream, [](pa_stream*, void*) { Server().SignalAll(); }, nullptr);
  pa_buffer_attr attr;
  std::memset(&attr, 0xFF, sizeof attr);  // -1 everywhere: the server's choice
  int flags = PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY;
  // The exact device only: do not let the server move the stream elsewhere.
  if (!mapped && deviceId >= 0) flags |= PA_STREAM_DONT_MOVE;
  int rc;
  if (output) {
    attr.tlength = uint32_t(pa_usec_to_bytes(150 * PA_USEC_PER_MSEC, &sampleSpec));
    // Starts at the play volume: no first moment at another level.
    pa_cvolume volume = StreamVolume(stream, false);
    rc = pa_stream_connect_playback(stream, device.empty() ? nullptr : device.c_str(), &attr, pa_stream_flags_t(flags),
                                    &volume, nullptr);
  } else {
    attr.fragsize = uint32_t(pa_usec_to_bytes(20 * PA_USEC_PER_MSEC, &sampleSpec));
    rc = pa_stream_connect_record(stream, device.empty() ? nullptr : device.c_str(), &attr,
                                  pa_stream_flags_t(flags | PA_STREAM_START_CORKED));
  }
  pa_stream_state_t state = PA_STREAM_FAILED;
  if (rc == 0) {
    bool timedOut = false;
    pa_time_event* timer = pa_context_rttime_new(
        Server().Context(), pa_rtclock_now() + kConnectTimeout,
        [](pa_mainloop_api*, pa_time_event*, const struct timeval*, void* flag) {
          *static_cast<bool*>(flag) = true;
          Server().SignalAll();
        },
        &timedOut);
    while ((state = pa_stream_get_state(stream)) == PA_STREAM_CREATING && !timedOut) Server().Wait();
    if (timer) pa_threaded_mainloop_get_api(Server().Loop())->time_free(timer);
  }
  if (state != PA_STREAM_READY) {
    LDebugLog("LPulseAudio::ConnectStream %s", pa_strerror(pa_context_errno(Server().Context())));
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    pa_stream_disconnect(stream);
    pa_stream_unref(stream);
    *result = kWaveBadDevice;
    return nullptr;
  }
  // Listed first, so a volume change made while the volume is being set still reaches it.
  (output ? playStreams : recordStreams).push_back(stream);
  // A record stream starts corked, so its volume is in place before any audio.
  if (!output) SetStreamVolume(stream, true, true);
  *result = kWaveOk;
  return stream;
}

void DisconnectStream(pa_stream* stream) {
  for (auto* list : {&playStreams, &recordStreams})
    list->erase(std::remove(list->begin(), list->end(), stream), list->end());
  pa_stream_set_state_callback(stream, nullptr, nullptr);
  pa_stream_set_write_callback(stream, nullptr, nullptr);
  pa_stream_set_underflow_callback(stream, nullptr, nullptr);
  pa_stream_set_read_callback(stream, nullptr, nullptr);
  pa_stream_disconnect(stream);
  pa_stream_unref(stream);
}

class PulseOut : public LWaveOut {
 public:
  PulseOut(pa_stream* stream, const LWaveDeviceFormat& format, LWaveDoneCallback done)
      : stream_(stream), spec_(SampleSpecOf(format)), done_(std::move(done)) {
    align_ = format.BlockAlign();
    piece_ = std::max<size_t>(align_, pa_usec_to_bytes(10 * PA_USEC_PER_MSEC, &spec_) / align_ * align_);
    pa_stream_set_write_callback(stream_, &PulseOut::OnWrite, this);
    pa_stream_set_underflow_callback(stream_, &PulseOut::OnUnderflow, this);
    timer_ = pa_context_rttime_new(Server().Context(), pa_rtclock_now() + kCompletionTick, &PulseOut::OnTick, this);
  }

  ~PulseOut() override {
    pa_threaded_mainloop_lock(Server().Loop());
    if (timer_) pa_threaded_mainloop_get_api(Server().Loop())->time_free(timer_);
    DisconnectStream(stream_);
    ReturnAllLocked();
    pa_threaded_mainloop_unlock(Server().Loop());
  }

  int Write(LWaveHeader* header) override {
    int check = LWaveCheckQueueable(header);
    if (check != kWaveOk) return check;
    pa_threaded_mainloop_lock(Server().Loop());
    queue_.Add(header);
    if (!paused_) Fill();
    pa_threaded_mainloop_unlock(Server().Loop());
    return kWaveOk;
  }

  int Pause() override { return Cork(true); }
  int Restart() override { return Cork(false); }

  int Reset() override {
    pa_threaded_mainloop_lock(Server().Loop());
    Connection::Forget(pa_stream_flush(stream_, nullptr, nullptr));
    if (paused_) Connection::Forget(pa_stream_cork(stream_, 0, nullptr, nullptr));
    paused_ = false;
    played_ = PlayedBytes();
    written_ = played_;
    base_ = played_;
    bool any = ReturnAllLocked();
    pa_threaded_mainloop_unlock(Server().Loop());
    if (any && done_) done_();
    return kWaveOk;
  }

  int BreakLoop() override {
    pa_threaded_mainloop_lock(Server().Loop());
    queue_.BreakLoop();
    pa_threaded_mainloop_unlock(Server().Loop());
    return kWaveOk;
  }

  int64_t GetPosition() override {
    pa_threaded_mainloop_lock(Server().Loop());
    int64_t frames = int64_t(std::max<uint64_t>(PlayedBytes(), base_) - base_) / int64_t(align_);
    pa_threaded_mainloop_unlock(Server().Loop());
    return frames;
  }

 private:
  int Cork(bool pause) {
    pa_threaded_mainloop_lock(Server().Loop());
    paused_ = pause;
    Connection::Forget(pa_stream_cork(stream_, pause ? 1 : 0, nullptr, nullptr));
    if (!pause) Fill();
    pa_threaded_mainloop_unlock(Server().Loop());
    return kWaveOk;
  }

  uint64_t PlayedBytes() {
    pa_usec_t t = 0;
    if (pa_stream_get_time(stream_, &t) < 0) return played_;
    return std::max<uint64_t>(played_, pa_usec_to_bytes(t, &spec_));
  }

  // Copies queued audio into the stream while the server has room.
  void Fill() {
    size_t room = pa_stream_writable_size(stream_);
    if (room == size_t(-1)) return;
    bool wrote = false;
    while (room >= align_ && !queue_.Empty()) {
      size_t want = std::min(room, piece_);
      void* data = nullptr;
      size_t size = want;
      if (pa_stream_begin_write(stream_, &data, &size) < 0 || !data) break;
      size = std::min(size, want) / align_ * align_;
      bool finished = false;
      held_.clear();
      size_t got = queue_.Take(static_cast<uint8_t*>(data), size, &finished, &held_);
      if (got == 0) {
        pa_stream_cancel_write(stream_);
        break;
      }
      pa_stream_write(stream_, data, got, nullptr, 0, PA_SEEK_RELATIVE);
      written_ += got;
      room -= got;
      wrote = true;
      for (LWaveHeader* h : held_) playing_.push_back({h, written_});
    }
    // Short sounds would wait for the prebuffer for ever.
    if (wrote && queue_.Empty()) Connection::Forget(pa_stream_trigger(stream_, nullptr, nullptr));
  }

  void Complete() {
    uint64_t played = PlayedBytes();
    played_ = played;
    bool any = false;
    while (!playing_.empty() && playing_.front().end <= played) {
      LWaveHeader* h = playing_.front().header;
      playing_.erase(playing_.begin());
      h->ClearFlag(kWaveHeaderInQueue);
      h->SetFlag(kWaveHeaderDone);
      any = true;
    }
    if (any && done_) done_();
  }

  bool ReturnAllLocked() {
    bool any = queue_.ReturnAll() || !playing_.empty();
    for (auto& p : playing_) {
      p.header->ClearFlag(kWaveHeaderInQueue);
      p.header->SetFlag(kWaveHeaderDone);
    }
    playing_.clear();
    return any;
  }

  static void OnWrite(pa_stream*, size_t, void* self) {
    PulseOut* out = static_cast<PulseOut*>(self);
    if (!out->paused_) out->Fill();
  }

  // The server ran out of audio: all that was written has been played, even
  // if the playback clock stops short of its end.
  static void OnUnderflow(pa_stream*, void* self) {
    PulseOut* out = static_cast<PulseOut*>(self);
    if (!out->queue_.Empty()) return;
    bool any = !out->playing_.empty();
    for (auto& p : out->playing_) {
      p.header->ClearFlag(kWaveHeaderInQueue);
      p.header->SetFlag(kWaveHeaderDone);
    }
    out->playing_.clear();
    if (any && out->done_) out->done_();
  }

  static void OnTick(pa_mainloop_api*, pa_time_event* e, const struct timeval*, void* self) {
    PulseOut* out = static_cast<PulseOut*>(self);
    out->Complete();
    if (!out->paused_) out->Fill();
    pa_context_rttime_restart(Server().Context(), e, pa_rtclock_now() + kCompletionTick);
  }

  struct Playing {
    LWaveHeader* header;
    uint64_t end;  // stream byte after its last byte
  };

  pa_stream* stream_;
  pa_sample_spec spec_;
  LWaveDoneCallback done_;
  size_t align_ = 1;
  size_t piece_ = 1;
  pa_time_event* timer_ = nullptr;
  LWaveOutQueue queue_;
  std::vector<LWaveHeader*> held_;
  std::vector<Playing> playing_;
  uint64_t written_ = 0;
  uint64_t played_ = 0;
  uint64_t base_ = 0;
  bool paused_ = false;
};

class PulseIn : public LWaveIn {
 public:
  PulseIn(pa_stream* stream, const LWaveDeviceFormat& format, LWaveDoneCallback done)
      : stream_(stream), align_(format.BlockAlign()), done_(std::move(done)) {
    pa_stream_set_read_callback(stream_, &PulseIn::OnRead, this);
  }

  ~PulseIn() override {
    pa_threaded_mainloop_lock(Server().Loop());
    DisconnectStream(stream_);
    queue_.ReturnAll();
    pa_threaded_mainloop_unlock(Server().Loop());
  }

  int AddBuffer(LWaveHeader* header) override {
    int check = LWaveCheckQueueable(header);
    if (check != kWaveOk) return check;
    pa_threaded_mainloop_lock(Server().Loop());
    queue_.Add(header);
    pa_threaded_mainloop_unlock(Server().Loop());
    return kWaveOk;
  }

  int Start() override { return Cork(false); }
  int Stop() override { return Cork(true); }

  int Reset() override {
    pa_threaded_mainloop_lock(Server().Loop());
    running_ = false;
    Connection::Forget(pa_stream_cork(stream_, 1, nullptr, nullptr));
    Connection::Forget(pa_stream_flush(stream_, nullptr, nullptr));
    bool any = queue_.ReturnAll();
    position_ = 0;
    pa_threaded_mainloop_unlock(Server().Loop());
    if (any && done_) done_();
    return kWaveOk;
  }

  int64_t GetPosition() override {
    pa_threaded_mainloop_lock(Server().Loop());
    int64_t p = position_;
    pa_threaded_mainloop_unlock(Server().Loop());
    return p;
  }

 private:
  int Cork(bool stop) {
    pa_threaded_mainloop_lock(Server().Loop());
    running_ = !stop;
    Connection::Forget(pa_stream_cork(stream_, stop ? 1 : 0, nullptr, nullptr));
    pa_threaded_mainloop_unlock(Server().Loop());
    return kWaveOk;
  }

  static void OnRead(pa_stream* stream, size_t, void* self) {
    PulseIn* in = static_cast<PulseIn*>(self);
    bool finished = false;
    const void* data;
    size_t size;
    while (pa_stream_readable_size(stream) > 0) {
      if (pa_stream_peek(stream, &data, &size) < 0 || size == 0) break;
      if (in->running_) {
        if (data) {
          in->position_ += int64_t(in->queue_.Put(static_cast<const uint8_t*>(data), size, &finished) / in->align_);
        } else {
          // A hole in the stream: silence of that length.
          std::vector<uint8_t> zeros(size, 0);
          in->position_ += int64_t(in->queue_.Put(zeros.data(), size, &finished) / in->align_);
        }
      }
      pa_stream_drop(stream);
    }
    if (finished && in->done_) in->done_();
  }

  pa_stream* stream_;
  size_t align_;
  LWaveDoneCallback done_;
  LWaveInQueue queue_;
  bool running_ = false;
  int64_t position_ = 0;
};

class PulseBackend : public LAudioBackend {
 public:
  int OpenOut(std::unique_ptr<LWaveOut>* device, int deviceId, const LWaveDeviceFormat& format, bool mapped,
              LWaveDoneCallback done) override {
    if (!Server().LockReady()) return kWaveBadDevice;
    int result;
    pa_stream* stream = ConnectStream(true, deviceId, format, mapped, nullptr, &result);
    if (stream) device->reset(new PulseOut(stream, format, std::move(done)));
    Server().Unlock();
    return result;
  }

  int OpenIn(std::unique_ptr<LWaveIn>* device, int deviceId, const LWaveDeviceFormat& format, bool mapped,
             LWaveDoneCallback done) override {
    if (!Server().LockReady()) return kWaveBadDevice;
    int result;
    pa_stream* stream = ConnectStream(false, deviceId, format, mapped, nullptr, &result);
    if (stream) device->reset(new PulseIn(stream, format, std::move(done)));
    Server().Unlock();
    return result;
  }

  std::vector<std::string> OutputNames() override { return Descriptions(List(true)); }
  std::vector<std::string> InputNames() override { return Descriptions(List(false)); }

  std::vector<std::string> InputLines(int deviceIndex) override {
    std::vector<DeviceInfo> devices = List(false);
    if (deviceIndex < 0 || deviceIndex >= int(devices.size())) return {};
    return devices[size_t(deviceIndex)].portDescriptions;
  }

  void SetInputLine(int deviceIndex, int line) override {
    if (!Server().LockReady()) return;
    std::vector<DeviceInfo> devices = ListLocked(false);
    if (deviceIndex >= 0 && deviceIndex < int(devices.size())) {
      const DeviceInfo& d = devices[size_t(deviceIndex)];
      if (line >= 0 && line < int(d.portNames.size()))
        Server().WaitFor(pa_context_set_source_port_by_index(
            Server().Context(), d.index, d.portNames[size_t(line)].c_str(), Connection::SuccessSignal, &Server()));
    } else {
      LDebugLog("LMixer::SetInputChannel Invalid Input Device");
    }
    Server().Unlock();
  }

  void ApplyStreamVolumes() override {
    // Without open streams there is nothing to change (and no need to connect).
    if (!Server().LockIfReady()) return;
    for (pa_stream* s : playStreams) SetStreamVolume(s, false, false);
    for (pa_stream* s : recordStreams) SetStreamVolume(s, true, false);
    Server().Unlock();
  }

  int DefaultInputIndex() override {
    if (!Server().LockReady()) return -1;
    std::string name;
    Server().WaitFor(pa_context_get_server_info(
        Server().Context(),
        [](pa_context*, const pa_server_info* info, void* out) {
          if (info && info->default_source_name) *static_cast<std::string*>(out) = info->default_source_name;
          Server().SignalAll();
        },
        &name));
    std::vector<DeviceInfo> devices = ListLocked(false);
    Server().Unlock();
    for (size_t i = 0; i < devices.size(); ++i)
      if (devices[i].name == name) return int(i);
    return -1;
  }

 private:
  static std::vector<std::string> Descriptions(const std::vector<DeviceInfo>& devices) {
    std::vector<std::string> names;
    for (const DeviceInfo& d : devices) names.push_back(d.description.empty() ? d.name : d.description);
    return names;
  }
};

}  // namespace

LAudioBackend& LAudioPulseBackend() {
  static PulseBackend* backend = new PulseBackend;
  return *backend;
}
