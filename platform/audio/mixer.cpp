#include "platform/audio/mixer.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "platform/audio/audio_backend.h"
#include "platform/debug_log.h"

namespace {

std::atomic<int> playVolumeDb{0};
std::atomic<int> recordVolumeDb{0};

}  // namespace

uint32_t LMixerValueFromDb(int volumeDb) {
  if (volumeDb < -35) return 0;
  return uint32_t(std::min((volumeDb + 36) * 1424, 65535));
}

int LMixerInputIndex(int deviceNumber) {
  if (deviceNumber >= 1) return deviceNumber - 1;
  return GetDefaultInputDevice() - 1;
}

int LMixer::GetInputChannelCount(int deviceIndex) {
  if (deviceIndex < 0) {
    LDebugLog("LMixer::GetInputChannelCount Invalid Input Device");
    return 0;
  }
  size_t count = LAudioCurrentBackend().InputLines(deviceIndex).size();
  return int(std::min<size_t>(count, kMaxInputChannels));
}

std::string LMixer::GetInputChannelName(int deviceIndex, int line) {
  if (line < 0) return "Windows Record Mixer";
  if (deviceIndex < 0) {
    LDebugLog("LMixer::GetInputChannelName Invalid Input Device");
    return "";
  }
  std::vector<std::string> lines = LAudioCurrentBackend().InputLines(deviceIndex);
  if (line >= int(std::min<size_t>(lines.size(), kMaxInputChannels))) {
    LDebugLog("LMixer::GetInputChannelName channel number ERROR");
    return "";
  }
  std::string name = lines[size_t(line)];
  if (name.size() > kMaxChannelName) name.resize(kMaxChannelName);
  return name;
}

void LMixer::SetInputChannel(int deviceIndex, int line, int volumeDb) {
  if (deviceIndex >= 0 && line >= 0) LAudioCurrentBackend().SetInputLine(deviceIndex, line);
  LAudioSetRecordVolume(volumeDb);
}

std::string LSoundPlayDevice::GetText(int deviceNumber) {
  if (deviceNumber < 1) return "[Default Sound Out]";
  std::vector<std::string> names = LWaveOutDeviceNames();
  if (deviceNumber > int(names.size())) {
    LDebugLog("LSoundPlayDevice::GetText waveOutGetDevCaps FAILED");
    return "";
  }
  return names[size_t(deviceNumber - 1)];
}

std::vector<std::string> LSoundOutDeviceList() {
  std::vector<std::string> list = {"[Default Sound Out]"};
  for (std::string& name : LWaveOutDeviceNames()) list.push_back(std::move(name));
  return list;
}

std::vector<std::string> LSoundInDeviceList() {
  std::vector<std::string> list = {"[Default Sound In]"};
  for (std::string& name : LWaveInDeviceNames()) list.push_back(std::move(name));
  return list;
}

void SetOutputVolume(int /*deviceIndex*/, int volumeDb, int extraDb) {
  LAudioSetPlayVolume(std::clamp(volumeDb, -127, 127) + extraDb);
}

void LAudioSetPlayVolume(int volumeDb) {
  playVolumeDb = std::clamp(volumeDb, -127, 127);
  LAudioCurrentBackend().ApplyStreamVolumes();
}

void LAudioSetRecordVolume(int volumeDb) {
  recordVolumeDb = std::clamp(volumeDb, -127, 127);
  LAudioCurrentBackend().ApplyStreamVolumes();
}

int LAudioPlayVolume() { return playVolumeDb; }
int LAudioRecordVolume() { return recordVolumeDb; }

int LAudioStreamVolumeDb(bool input) { return input ? recordVolumeDb : playVolumeDb; }

double LAudioStreamGain(bool input) {
  int db = LAudioStreamVolumeDb(input);
  return db < -35 ? 0.0 : std::pow(10.0, db / 20.0);
}

int GetDefaultInputDevice() {
  int index = LAudioCurrentBackend().DefaultInputIndex();
  return index < 0 ? 0 : index + 1;
}
