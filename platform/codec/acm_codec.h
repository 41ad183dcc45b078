#pragma once
// The codec layer: converts a WAV format record's data to 16-bit PCM of the
// same channels and rate, in the shape of the system's audio codec manager
// (open a stream, size it, prepare a header, convert, unprepare, close).
//
// Formats decoded: PCM of 8 to 32 bits, IEEE float of 32 and 64 bits,
// WAVE_FORMAT_EXTENSIBLE carrying PCM, float or G.711, mu-law, A-law, IMA
// ADPCM, Microsoft ADPCM and GSM 6.10 (WAV49 framing). Every other format, and
// every record whose block structure does not hold together, is refused at
// open. Conversions work on whole blocks of the source format; a trailing
// partial block is decoded only with kAcmConvertEnd.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/wave_format.h"

// Result codes, numbered as the codec manager numbers them.
enum AcmResult : uint32_t {
  kAcmOk = 0,
  kAcmError = 1,          // the decoder rejected the data
  kAcmInvalidHandle = 5,  // no such stream
  kAcmInvalidFlag = 10,
  kAcmInvalidParam = 11,
  kAcmNotPossible = 512,  // no converter for these formats, or a size that cannot be met
  kAcmUnprepared = 514,   // the header is not prepared (or its buffers grew since)
};

// acmStreamOpen flags.
constexpr uint32_t kAcmStreamOpenNonRealtime = 0x00000004;
// acmStreamSize flags.
constexpr uint32_t kAcmStreamSizeSource = 0x00000000;       // input: source bytes; output: destination bytes
constexpr uint32_t kAcmStreamSizeDestination = 0x00000001;  // input: destination bytes; output: source bytes
// acmStreamConvert flags.
constexpr uint32_t kAcmConvertBlockAlign = 0x00000004;  // whole source blocks only
constexpr uint32_t kAcmConvertStart = 0x00000010;       // clear the decoder's state first
constexpr uint32_t kAcmConvertEnd = 0x00000020;         // the data ends here: decode a partial last block

// The conversion header: the caller owns both buffers.
struct AcmStreamHeader {
  uint8_t* source = nullptr;
  uint32_t sourceLength = 0;      // bytes in the source buffer to convert
  uint32_t sourceLengthUsed = 0;  // bytes the last conversion took
  uint8_t* destination = nullptr;
  uint32_t destinationLength = 0;      // room in the destination buffer
  uint32_t destinationLengthUsed = 0;  // bytes the last conversion produced
  // Set by acmStreamPrepareHeader: the buffer sizes may shrink between
  // conversions but must be restored before unpreparing.
  bool prepared = false;
  uint32_t preparedSourceLength = 0;
  uint32_t preparedDestinationLength = 0;
};

struct AcmStream;
using AcmStreamHandle = AcmStream*;

// Opens a stream from source to destination (16-bit PCM, same channels and
// rate). kAcmNotPossible when the source format cannot be decoded.
AcmResult acmStreamOpen(AcmStreamHandle* stream, const LWaveFormat& source, const LWaveFormat& destination,
                        uint32_t flags);
// Destination flag: the source bytes (whole blocks) whose conversion fits in
// input destination bytes; kAcmNotPossible with 0 when not even one block does.
// Source flag: the destination bytes that input source bytes can produce.
AcmResult acmStreamSize(AcmStreamHandle stream, uint32_t input, uint32_t* output, uint32_t flags);
AcmResult acmStreamPrepareHeader(AcmStreamHandle stream, AcmStreamHeader* header, uint32_t flags);
// Converts whole blocks while both buffers allow. A block the decoder rejects
// stops the conversion there: the blocks before it are delivered; when it is
// the first one the result is kAcmError and nothing is used.
AcmResult acmStreamConvert(AcmStreamHandle stream, AcmStreamHeader* header, uint32_t flags);
AcmResult acmStreamUnprepareHeader(AcmStreamHandle stream, AcmStreamHeader* header, uint32_t flags);
AcmResult acmStreamClose(AcmStreamHandle stream, uint32_t flags);
