#include "platform/codec/acm_codec.h"

#include <algorithm>
#include <cstring>

#include "platform/codec/wave_decoders.h"
#include "platform/debug_log.h"
#include "platform/little_endian.h"

namespace {

// The sub-format GUID of an extensible record is a format tag followed by
// this fixed tail.
const uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

}  // namespace

std::unique_ptr<WaveDecoder> CreateWaveDecoder(const LWaveFormat& format) {
  if (format.channels == 0 || format.sampleRate == 0 || format.blockAlign == 0) {
    LDebugLog("CreateWaveDecoder %u channels, %u Hz, block align %u: nothing to decode", format.channels,
              format.sampleRate, format.blockAlign);
    return nullptr;
  }
  uint16_t tag = format.formatTag;
  if (tag == kWaveFormatExtensible) {
    if (format.extra.size() < 22 || std::memcmp(format.extra.data() + 8, kSubFormatTail, 14) != 0) {
      LDebugLog("CreateWaveDecoder extensible format with an unknown sub-format");
      return nullptr;
    }
    tag = LeGet16(format.extra.data() + 6);
    if (tag != kWaveFormatPcm && tag != kWaveFormatIeeeFloat && tag != kWaveFormatALaw && tag != kWaveFormatMuLaw) {
      LDebugLog("CreateWaveDecoder extensible sub-format %u is not supported", tag);
      return nullptr;
    }
  }
  switch (tag) {
    case kWaveFormatPcm:
    case kWaveFormatIeeeFloat:
    case kWaveFormatALaw:
    case kWaveFormatMuLaw:
      return CreateLinearDecoder(format, tag);
    case kWaveFormatImaAdpcm:
      return CreateImaAdpcmDecoder(format);
    case kWaveFormatMsAdpcm:
      return CreateMsAdpcmDecoder(format);
    case kWaveFormatGsm610:
      return CreateGsmDecoder(format);
  }
  LDebugLog("CreateWaveDecoder no decoder for format tag 0x%04X", tag);
  return nullptr;
}

struct AcmStream {
  std::unique_ptr<WaveDecoder> decoder;
  uint32_t frameBytes = 0;  // destination bytes per frame
  uint64_t BlockOutput() const { return uint64_t(decoder->FramesPerBlock()) * frameBytes; }
};

AcmResult acmStreamOpen(AcmStreamHandle* stream, const LWaveFormat& source, const LWaveFormat& destination,
                        uint32_t flags) {
  if (!stream) return kAcmInvalidParam;
  *stream = nullptr;
  if (flags & ~kAcmStreamOpenNonRealtime) return kAcmInvalidFlag;
  LWaveFormat wanted = LWaveFormat::Pcm(source.channels, source.sampleRate);
  if (destination.formatTag != wanted.formatTag || destination.channels != wanted.channels ||
      destination.sampleRate != wanted.sampleRate || destination.bitsPerSample != 16 ||
      destination.blockAlign != wanted.blockAlign) {
    LDebugLog("acmStreamOpen only converts to 16-bit PCM of the source's channels and rate");
    return kAcmNotPossible;
  }
  std::unique_ptr<WaveDecoder> decoder = CreateWaveDecoder(source);
  if (!decoder) return kAcmNotPossible;
  *stream = new AcmStream{std::move(decoder), 2u * source.channels};
  return kAcmOk;
}

AcmResult acmStreamSize(AcmStreamHandle stream, uint32_t input, uint32_t* output, uint32_t flags) {
  if (!stream) return kAcmInvalidHandle;
  if (!output) return kAcmInvalidParam;
  *output = 0;
  const uint64_t blockIn = stream->decoder->BlockAlign();
  const uint64_t blockOut = stream->BlockOutput();
  uint64_t size;
  if (flags == kAcmStreamSizeDestination) {
    size = input / blockOut * blockIn;
  } else if (flags == kAcmStreamSizeSource) {
    size = (input + blockIn - 1) / blockIn * blockOut;  // room for a partial last block too
  } else {
    return kAcmInvalidFlag;
  }
  if (size == 0 || size > UINT32_MAX) return kAcmNotPossible;
  *output = uint32_t(size);
  return kAcmOk;
}

AcmResult acmStreamPrepareHeader(AcmStreamHandle stream, AcmStreamHeader* header, uint32_t flags) {
  if (!stream) return kAcmInvalidHandle;
  if (!header || flags != 0 || !header->source || !header->destination) return kAcmInvalidParam;
  header->prepared = true;
  header->preparedSourceLength = header->sourceLength;
  header->preparedDestinationLength = header->destinationLength;
  return kAcmOk;
}

AcmResult acmStreamConvert(AcmStreamHandle stream, AcmStreamHeader* header, uint32_t flags) {
  if (!stream) return kAcmInvalidHandle;
  if (!header) return kAcmInvalidParam;
  if (flags & ~(kAcmConvertBlockAlign | kAcmConvertStart | kAcmConvertEnd)) return kAcmInvalidFlag;
  if (!header->prepared || header->sourceLength > header->preparedSourceLength ||
      header->destinationLength > header->preparedDestinationLength)
    return kAcmUnprepared;
  header->sourceLengthUsed = 0;
  header->destinationLengthUsed = 0;
  WaveDecoder& decoder = *stream->decoder;
  if (flags & kAcmConvertStart) decoder.Reset();

  const size_t blockIn = decoder.BlockAlign();
  const size_t blockOut = size_t(stream->BlockOutput());
  size_t blocks = std::min(header->sourceLength / blockIn, header->destinationLength / blockOut);
  size_t done = decoder.DecodeBlocks(header->source, blocks, reinterpret_cast<int16_t*>(header->destination));
  header->sourceLengthUsed = uint32_t(done * blockIn);
  header->destinationLengthUsed = uint32_t(done * blockOut);
  if (done < blocks) return done == 0 ? kAcmError : kAcmOk;  // the bad block waits for the next call

  size_t rest = header->sourceLength - header->sourceLengthUsed;
  if ((flags & kAcmConvertEnd) && rest > 0 && rest < blockIn) {
    size_t frames = decoder.PartialFrames(rest);
    size_t bytes = frames * stream->frameBytes;
    if (frames > 0 && bytes <= header->destinationLength - header->destinationLengthUsed) {
      auto* out = reinterpret_cast<int16_t*>(header->destination + header->destinationLengthUsed);
      if (!decoder.DecodePartial(header->source + header->sourceLengthUsed, rest, out))
        return header->destinationLengthUsed ? kAcmOk : kAcmError;
      header->sourceLengthUsed += uint32_t(rest);
      header->destinationLengthUsed += uint32_t(bytes);
    }
  }
  return kAcmOk;
}

AcmResult acmStreamUnprepareHeader(AcmStreamHandle stream, AcmStreamHeader* header, uint32_t flags) {
  if (!stream) return kAcmInvalidHandle;
  if (!header || flags != 0) return kAcmInvalidParam;
  if (!header->prepared) return kAcmUnprepared;
  if (header->sourceLength != header->preparedSourceLength ||
      header->destinationLength != header->preparedDestinationLength)
    return kAcmInvalidParam;  // the sizes must be the prepared ones again
  header->prepared = false;
  return kAcmOk;
}

AcmResult acmStreamClose(AcmStreamHandle stream, uint32_t flags) {
  if (!stream) return kAcmInvalidHandle;
  if (flags != 0) return kAcmInvalidFlag;
  delete stream;
  return kAcmOk;
}
