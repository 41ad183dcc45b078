#include "sound/files/acm_wave.h"

#include "platform/debug_log.h"

LSoundSourceRef OpenACMWaveSource(PlatformFile, const std::vector<uint8_t>&, uint32_t) {
  LDebugLog("LSRCACMWave::LSRCACMWave no codec for this format");
  return LSoundSourceRef::Null(kSoundNoCodec);
}
