#pragma once
#include <functional>

#include "platform/audio/mixer.h"
#include "platform/audio/virtual_audio.h"

namespace testsupport {

// A virtual-device configuration for one test, restored afterwards.
class VirtualAudioScope {
 public:
  explicit VirtualAudioScope(double speed = 0) {
    LVirtualAudioConfig config;
    config.speed = speed;
    LVirtualAudio::SetConfig(config);
    LVirtualAudio::ClearCapture();
  }
  ~VirtualAudioScope() {
    LVirtualAudio::SetConfig(LVirtualAudioConfig());
    LAudioSetPlayVolume(0);
    LAudioSetRecordVolume(0);
  }
  // Changes the configuration for the rest of the scope.
  static void Change(const std::function<void(LVirtualAudioConfig&)>& edit) {
    LVirtualAudioConfig config = LVirtualAudio::GetConfig();
    edit(config);
    LVirtualAudio::SetConfig(config);
  }
  VirtualAudioScope(const VirtualAudioScope&) = delete;
  VirtualAudioScope& operator=(const VirtualAudioScope&) = delete;
};

}  // namespace testsupport
