// IMA ADPCM and Microsoft ADPCM decoding speed through the codec-layer
// source, shown as a multiple of real time.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "platform/codec/acm_codec.h"
#include "sound/files/acm_wave.h"

namespace {

void Put16(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  v[at] = uint8_t(x);
  v[at + 1] = uint8_t(x >> 8);
}

std::vector<uint8_t> Record(uint16_t tag, int channels, int rate, int blockAlign, int samplesPerBlock) {
  std::vector<uint8_t> r(20);
  Put16(r, 0, tag);
  Put16(r, 2, uint32_t(channels));
  Put16(r, 4, uint32_t(rate));
  Put16(r, 6, uint32_t(rate) >> 16);
  uint32_t average = uint32_t(int64_t(rate) * blockAlign / samplesPerBlock);
  Put16(r, 8, average);
  Put16(r, 10, average >> 16);
  Put16(r, 12, uint32_t(blockAlign));
  Put16(r, 14, 4);
  Put16(r, 16, tag == kWaveFormatMsAdpcm ? 32 : 2);
  Put16(r, 18, uint32_t(samplesPerBlock));
  if (tag == kWaveFormatMsAdpcm) {
    const int16_t coefficients[14] = {256, 0, 512, -256, 0, 0, 192, 64, 240, 0, 460, -208, 392, -232};
    r.resize(22);
    Put16(r, 20, 7);
    for (int16_t c : coefficients) r.push_back(uint8_t(c)), r.push_back(uint8_t(uint16_t(c) >> 8));
  }
  return r;
}

// Ten seconds of blocks with valid headers and random codes (the decoders'
// work does not depend on what the codes say).
std::vector<uint8_t> Blocks(uint16_t tag, int channels, int blockAlign, int blocks) {
  std::mt19937 random(7);
  std::vector<uint8_t> data(size_t(blockAlign) * blocks);
  for (uint8_t& b : data) b = uint8_t(random());
  for (int k = 0; k < blocks; k++) {
    uint8_t* block = data.data() + size_t(k) * blockAlign;
    for (int c = 0; c < channels; c++) {
      if (tag == kWaveFormatImaAdpcm) {
        block[4 * c + 2] = uint8_t(random() % 89);
      } else {
        block[c] = uint8_t(random() % 7);
        block[channels + 2 * c] = 64, block[channels + 2 * c + 1] = 0;  // delta
      }
    }
  }
  return data;
}

void Decode(benchmark::State& state, uint16_t tag) {
  const int rate = int(state.range(0));
  const int channels = int(state.range(1));
  const int blockAlign = 256 * channels * (rate / 11025 > 1 ? rate / 11025 : 1);
  const int samplesPerBlock = tag == kWaveFormatImaAdpcm ? (blockAlign - 4 * channels) * 2 / channels + 1
                                                         : (blockAlign - 7 * channels) * 2 / channels + 2;
  const int blocks = rate * 10 / samplesPerBlock + 1;
  const std::vector<uint8_t> data = Blocks(tag, channels, blockAlign, blocks);
  const std::string path = "/tmp/bench_codec_" + std::to_string(getpid()) + ".dat";
  FILE* file = std::fopen(path.c_str(), "wb");
  std::fwrite(data.data(), 1, data.size(), file);
  std::fclose(file);

  LSoundSourceRef source = OpenACMWaveSource(
      PlatformFile::OpenRead(path), Record(tag, channels, rate, blockAlign, samplesPerBlock), uint32_t(data.size()));
  if (!source.IsUsable()) {
    state.SkipWithError("the codec refused the format");
    return;
  }
  const int length = blocks * samplesPerBlock;
  std::vector<int32_t> buffer(size_t(8192) * channels);
  int64_t frames = 0;
  for (auto _ : state) {
    source->Seek(0);
    for (int done = 0; done < length; done += 8192) {
      source->Read(buffer.data(), 8192);
      benchmark::DoNotOptimize(buffer.data());
    }
    frames += length;
  }
  state.counters["x_realtime"] = benchmark::Counter(double(frames) / rate, benchmark::Counter::kIsRate);
  state.SetItemsProcessed(frames);
  std::remove(path.c_str());
}

void DecodeImaAdpcm(benchmark::State& state) { Decode(state, kWaveFormatImaAdpcm); }
void DecodeMsAdpcm(benchmark::State& state) { Decode(state, kWaveFormatMsAdpcm); }
BENCHMARK(DecodeImaAdpcm)->Args({22050, 1})->Args({44100, 2})->Unit(benchmark::kMillisecond);
BENCHMARK(DecodeMsAdpcm)->Args({22050, 1})->Args({44100, 2})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
