#pragma once
// WAV files whose data is not 8- or 16-bit PCM (another format tag, or wider
// samples) are decoded through the codec layer.
#include <cstdint>
#include <vector>

#include "platform/file_handle.h"
#include "sound/sound_stream.h"

// file: positioned at the first data byte; formatRecord: the whole "fmt "
// body (format tag first, extra bytes included); dataSize: the "data" size
// (0xFFFFFFFF for a file still being written). Returns an LSoundSourceNull
// with kSoundNoCodec when no codec decodes the format.
LSoundSourceRef OpenACMWaveSource(PlatformFile file, const std::vector<uint8_t>& formatRecord, uint32_t dataSize);
