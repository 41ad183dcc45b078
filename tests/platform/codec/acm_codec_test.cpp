#include "platform/codec/acm_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <tuple>

#include "platform/codec/wave_decoders.h"
#include "tests/support/riff.h"
#include "tests/support/test_support.h"

using namespace testsupport;

namespace {

LWaveFormat Parsed(const std::vector<uint8_t>& record) {
  LWaveFormat format;
  EXPECT_TRUE(LWaveFormat::Parse(record.data(), record.size(), &format));
  return format;
}

// Opens, sizes and prepares a stream the way a source does and closes it on scope exit.
struct Stream {
  explicit Stream(const std::vector<uint8_t>& record) {
    const LWaveFormat format = Parsed(record);
    opened = acmStreamOpen(&handle, format, LWaveFormat::Pcm(format.channels, format.sampleRate), 0);
    if (opened != kAcmOk) return;
    uint32_t sourceBytes = 0;
    EXPECT_EQ(acmStreamSize(handle, 8192 * 2u * format.channels, &sourceBytes, kAcmStreamSizeDestination), kAcmOk);
    source.resize(sourceBytes);
    destination.resize(8192 * format.channels);  // frames
    header = {source.data(), sourceBytes, 0, reinterpret_cast<uint8_t*>(destination.data()),
              uint32_t(destination.size() * 2)};
    EXPECT_EQ(acmStreamPrepareHeader(handle, &header, 0), kAcmOk);
  }
  ~Stream() {
    if (opened != kAcmOk) return;
    header.sourceLength = header.preparedSourceLength;
    header.destinationLength = header.preparedDestinationLength;
    EXPECT_EQ(acmStreamUnprepareHeader(handle, &header, 0), kAcmOk);
    EXPECT_EQ(acmStreamClose(handle, 0), kAcmOk);
  }
  // Converts the data (as much as the source buffer holds); returns the samples produced.
  std::vector<int16_t> Convert(const std::vector<uint8_t>& data, uint32_t flags, AcmResult* result = nullptr) {
    header.sourceLength = uint32_t(std::min(data.size(), source.size()));
    std::memcpy(source.data(), data.data(), header.sourceLength);
    AcmResult r = acmStreamConvert(handle, &header, flags);
    if (result) *result = r;
    return std::vector<int16_t>(destination.begin(), destination.begin() + header.destinationLengthUsed / 2);
  }

  AcmStreamHandle handle = nullptr;
  AcmResult opened = kAcmError;
  AcmStreamHeader header;
  std::vector<uint8_t> source;
  std::vector<int16_t> destination;
};

bool Opens(const std::vector<uint8_t>& record) { return Stream(record).opened == kAcmOk; }

const std::vector<uint8_t> kImaExtra = {0xF9, 0x01};  // 505 samples per block of 256 bytes
std::vector<uint8_t> ImaMono() { return FormatRecord(kWaveFormatImaAdpcm, 1, 22050, 11155, 256, 4, kImaExtra); }

// pairs: the count of coefficient pairs the record claims, by default those given.
std::vector<uint8_t> MsAdpcmExtra(uint16_t samplesPerBlock, const std::vector<int16_t>& coefficients, int pairs = -1) {
  std::vector<uint8_t> x(4);
  LePut16(&x[0], samplesPerBlock);
  LePut16(&x[2], uint16_t(pairs < 0 ? coefficients.size() / 2 : size_t(pairs)));
  for (int16_t c : coefficients) x.push_back(uint8_t(c)), x.push_back(uint8_t(uint16_t(c) >> 8));
  return x;
}
const std::vector<int16_t> kCoefficients = {256, 0, 512, -256, 0, 0, 192, 64, 240, 0, 460, -208, 392, -232};

}  // namespace

// Against sox: the extensible record names its sub-format by GUID, the
// samples the plain format's; out-of-range float, full-scale wide PCM and NaN
// round and clip as sox does; GSM carries filter state across blocks, which
// the start flag clears.
TEST(AcmCodec, DecodesLikeSox) {
  REQUIRE_COMMAND("sox");
  testsupport::TempFolder folder;
  std::string path = folder.File("in.wav");
  WavParts parts;
  for (auto [encoding, tag] : {std::pair{"-e floating-point -b 32", kWaveFormatIeeeFloat},
                               std::pair{"-e signed-integer -b 32", kWaveFormatPcm}}) {
    ASSERT_TRUE(MakeSoxFile(path, 22050, 2, encoding, 0.3));
    ASSERT_TRUE(ParseWav(testsupport::ReadFileBytes(path), &parts));
    std::vector<uint8_t> extra = {32, 0,    3, 0,    0, 0, uint8_t(tag), 0, 0,    0,    0,
                                  0,  0x10, 0, 0x80, 0, 0, 0xAA,         0, 0x38, 0x9B, 0x71};
    LWaveFormat plain = Parsed(parts.format);
    Stream stream(FormatRecord(kWaveFormatExtensible, 2, 22050, plain.avgBytesPerSec, plain.blockAlign, 32, extra));
    EXPECT_EQ(stream.Convert(parts.data, kAcmConvertEnd), SoxDecode16(path)) << encoding;
    extra[21] ^= 1;  // not the standard GUID any more
    EXPECT_FALSE(Opens(FormatRecord(kWaveFormatExtensible, 2, 22050, 0, plain.blockAlign, 32, extra)));
  }

  const float floats[] = {-2.0f, -1.0f,    -0.99999f, -0.5f, -1.0f / 65536, 1.0f / 65536,  1.5f / 65536, 0.5f / 65536,
                          0.25f, 0.99999f, 1.0f,      2.0f,  1e-9f,         -1.5f / 65536, -0.5f / 65536};
  const int32_t wide[] = {INT32_MAX, INT32_MIN, 0x7FFF7FFF, 0x7FFF8000, 0x8000, 0x7FFF, -0x8000, -0x8001, 0};
  for (auto [tag, samples, bytes] : {std::tuple{kWaveFormatIeeeFloat, static_cast<const void*>(floats), sizeof floats},
                                     std::tuple{kWaveFormatPcm, static_cast<const void*>(wide), sizeof wide}}) {
    std::vector<uint8_t> data(bytes), record = FormatRecord(tag, 1, 8000, 32000, 4, 32);
    std::memcpy(data.data(), samples, bytes);
    ASSERT_TRUE(testsupport::WriteFileBytes(path, MakeWav(record, data)));
    EXPECT_EQ(Stream(record).Convert(data, kAcmConvertEnd), SoxDecode16(path)) << tag;
  }

  ASSERT_TRUE(MakeSoxFile(path, 8000, 1, "-e gsm-full-rate", 0.5));
  ASSERT_TRUE(ParseWav(testsupport::ReadFileBytes(path), &parts));
  Stream gsm(parts.format);
  const std::vector<uint8_t> blocks(parts.data.begin(), parts.data.begin() + 65 * 4);
  std::vector<int16_t> first = gsm.Convert(blocks, 0);
  ASSERT_EQ(first.size(), 4u * 320);
  EXPECT_NE(first, gsm.Convert(blocks, 0));
  EXPECT_EQ(first, gsm.Convert(blocks, kAcmConvertStart));
}

// Formats it cannot decode are refused; the destination must be 16-bit PCM of
// the source's channels and rate; an extra size beyond the record keeps what
// is there, a short record is refused.
TEST(AcmCodec, RefusesWhatItCannotDecode) {
  const std::vector<uint8_t> gsmExtra = {0x40, 0x01};
  const std::pair<const char*, std::vector<uint8_t>> cases[] = {
      {"MPEG layer 3", FormatRecord(0x0055, 1, 22050, 4000, 1, 0)},
      {"unknown tag", FormatRecord(0x1234, 1, 8000, 8000, 1, 8)},
      {"24-bit block align", FormatRecord(kWaveFormatPcm, 2, 44100, 0, 4, 24)},
      {"40-bit PCM", FormatRecord(kWaveFormatPcm, 1, 8000, 0, 5, 40)},
      {"16-bit float", FormatRecord(kWaveFormatIeeeFloat, 1, 8000, 0, 2, 16)},
      {"16-bit mu-law", FormatRecord(kWaveFormatMuLaw, 1, 8000, 0, 2, 16)},
      {"no channels", FormatRecord(kWaveFormatMuLaw, 0, 8000, 0, 0, 8)},
      {"no rate", FormatRecord(kWaveFormatMuLaw, 1, 0, 0, 1, 8)},
      {"IMA block align 0", FormatRecord(kWaveFormatImaAdpcm, 1, 8000, 0, 0, 4, kImaExtra)},
      {"IMA block without room for its header", FormatRecord(kWaveFormatImaAdpcm, 2, 8000, 0, 6, 4)},
      {"IMA 3-bit", FormatRecord(kWaveFormatImaAdpcm, 1, 8000, 0, 256, 3, kImaExtra)},
      {"IMA samples per block beyond the block", FormatRecord(kWaveFormatImaAdpcm, 1, 8000, 0, 256, 4, {0xFA, 0x01})},
      {"IMA no samples per block", FormatRecord(kWaveFormatImaAdpcm, 1, 8000, 0, 256, 4, {0, 0})},
      {"MS pairs > extra", FormatRecord(kWaveFormatMsAdpcm, 1, 8000, 0, 256, 4, MsAdpcmExtra(500, kCoefficients, 8))},
      {"MS no pairs", FormatRecord(kWaveFormatMsAdpcm, 1, 8000, 0, 256, 4, MsAdpcmExtra(500, {}))},
      {"MS no extra bytes", FormatRecord(kWaveFormatMsAdpcm, 1, 8000, 0, 256, 4)},
      {"MS samples > block", FormatRecord(kWaveFormatMsAdpcm, 1, 8000, 0, 256, 4, MsAdpcmExtra(501, kCoefficients))},
      {"MS block < its header", FormatRecord(kWaveFormatMsAdpcm, 2, 8000, 0, 13, 4, MsAdpcmExtra(2, kCoefficients))},
      {"GSM stereo", FormatRecord(kWaveFormatGsm610, 2, 8000, 1625, 65, 0, gsmExtra)},
      {"GSM block of 33", FormatRecord(kWaveFormatGsm610, 1, 8000, 1625, 33, 0, gsmExtra)},
      {"GSM 160 samples per block", FormatRecord(kWaveFormatGsm610, 1, 8000, 1625, 65, 0, {0xA0, 0x00})}};
  for (const auto& [why, record] : cases) EXPECT_FALSE(Opens(record)) << why;

  LWaveFormat ima = Parsed(ImaMono());
  AcmStreamHandle stream = nullptr;
  EXPECT_EQ(acmStreamOpen(&stream, ima, LWaveFormat::Pcm(2, 22050), 0), kAcmNotPossible);
  EXPECT_EQ(acmStreamOpen(&stream, ima, LWaveFormat::Pcm(1, 44100), 0), kAcmNotPossible);
  EXPECT_EQ(stream, nullptr);

  std::vector<uint8_t> record = FormatRecord(kWaveFormatMsAdpcm, 2, 44100, 44359, 2048, 4, {1, 2, 3, 4});
  EXPECT_TRUE(Parsed(std::vector<uint8_t>(record.begin(), record.begin() + 16)).extra.empty());
  record[16] = 200;
  EXPECT_EQ(Parsed(record).extra, (std::vector<uint8_t>{1, 2, 3, 4}));
  EXPECT_FALSE(LWaveFormat::Parse(record.data(), 15, &ima));
}

// Size queries count whole blocks; MS ADPCM takes its coefficient pairs from
// the record (pair 7 here extrapolates) and refuses a block naming no pair.
TEST(AcmCodec, SizesAndCoefficientsComeFromTheRecord) {
  Stream stream(ImaMono());
  ASSERT_EQ(stream.opened, kAcmOk);
  uint32_t size = 0;
  EXPECT_EQ(acmStreamSize(stream.handle, 8192 * 2, &size, kAcmStreamSizeDestination), kAcmOk);
  EXPECT_EQ(size, 16u * 256);  // 16 blocks of 505 samples fit in 8192
  EXPECT_EQ(acmStreamSize(stream.handle, 256, &size, kAcmStreamSizeSource), kAcmOk);
  EXPECT_EQ(size, 505u * 2);
  EXPECT_EQ(acmStreamSize(stream.handle, 257, &size, kAcmStreamSizeSource), kAcmOk);
  EXPECT_EQ(size, 2u * 505 * 2);
  EXPECT_EQ(acmStreamSize(stream.handle, 505 * 2 - 1, &size, kAcmStreamSizeDestination), kAcmNotPossible);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(acmStreamSize(nullptr, 256, &size, kAcmStreamSizeSource), kAcmInvalidHandle);

  std::vector<int16_t> coefficients = kCoefficients;
  coefficients.insert(coefficients.end(), {512, -256});
  Stream ms(FormatRecord(kWaveFormatMsAdpcm, 1, 8000, 4096, 32, 4, MsAdpcmExtra(52, coefficients)));
  ASSERT_EQ(ms.opened, kAcmOk);
  std::vector<uint8_t> block(32, 0);
  block[0] = 7;
  LePut16(&block[1], 16);   // delta
  LePut16(&block[3], 100);  // first sample
  std::vector<int16_t> want(52);
  for (int i = 0; i < 52; i++) want[size_t(i)] = int16_t(std::min(100 * i, 32767));
  EXPECT_EQ(ms.Convert(block, 0), want);
  block[0] = 8;  // no such pair
  AcmResult result;
  EXPECT_TRUE(ms.Convert(block, 0, &result).empty());
  EXPECT_EQ(result, kAcmError);
}
