#include "sound/audio_backend_setting.h"

#include "framework/settings.h"
#include "platform/audio/wave_device.h"

void LSoundApplyAudioBackendSetting() {
  LAudioSelectBackend(RegGetSetting("Settings", "AudioBackend", "pulse") == "virtual" ? "virtual" : "pulse");
}
