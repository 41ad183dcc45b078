#pragma once
// The virtual sound device: outputs and inputs that run on their own clock,
// for tests, benchmarks and machines without sound. Output is consumed in
// real time (speed 1), faster (speed n), or as fast as it is queued (speed
// 0), and captured to memory and optionally a WAV file. Input comes from a
// 16-bit WAV file or a generator, looping or ending in silence; it never
// drops audio: when no buffer is queued its clock waits. Both apply the
// program's stream volumes (LAudioSetPlayVolume, LAudioSetRecordVolume) to the
// samples, as the sound server would.
//
// The settings below are process-wide and read when a device is opened
// (speed and the stalls also while it runs).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/audio/wave_device.h"

struct LVirtualAudioConfig {
  double speed = 1.0;  // multiple of real time; 0 or less: no waiting at all
  int outputDevices = 2;
  int inputDevices = 2;
  std::vector<std::string> inputLines = {"Microphone", "Line In"};
  // Output: true makes the device keep every buffer (it never returns one).
  bool stallOutput = false;
  // With stallOutput: signal completion now and then although nothing is done.
  bool stallSignals = false;
  // Opens that insist on the exact device fail (only "mapped" opens work).
  bool rejectUnmapped = false;
  // Every open fails, as without any sound device.
  bool failOpen = false;
  // Opens take this long before they succeed or fail, as with a slow server.
  int openDelayMs = 0;
  // Input: the device stops delivering audio and keeps its buffers.
  bool stallInput = false;
  bool captureOutput = true;  // keep what is played for CapturedOutput
  std::string captureFile;    // output also goes to this 16-bit WAV, written at close
  // Input: a WAV file (16-bit PCM; channels are mapped, the rate is taken as
  // the device's), else the generator, else silence.
  std::string inputFile;
  bool inputLoop = false;
  // Fills frames x channels samples starting at frame `position`.
  std::function<void(int16_t* samples, int frames, int channels, int64_t position)> inputGenerator;
};

namespace LVirtualAudio {

void SetConfig(const LVirtualAudioConfig& config);
LVirtualAudioConfig GetConfig();
void SetSpeed(double speed);
void SetStall(bool stall, bool wakeOwner);
void SetInputStall(bool stall);

// Everything output devices played since the last ClearCapture, as 16-bit
// samples (8-bit output is widened), interleaved.
std::vector<int16_t> CapturedOutput();
// Frames of every buffer written to an output device, in write order.
std::vector<int> WrittenBufferFrames();
LWaveDeviceFormat LastOutputFormat();
LWaveDeviceFormat LastInputFormat();
int OpenOutputs();  // output devices currently open
int OpenInputs();
bool OutputPaused();  // the last opened output device is paused
void ClearCapture();

// The input line (port) selected last, and how often one was selected.
struct MixerState {
  int inputDevice = -1;
  int inputLine = -1;
  int lineSelections = 0;
};
MixerState Mixer();
void SetDefaultInputIndex(int index);

}  // namespace LVirtualAudio
