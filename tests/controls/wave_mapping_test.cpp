#include "controls/wave_mapping.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// A mono source whose sample i is amplitude(i), over length frames.
class FunctionSource : public LSoundSourceBase {
 public:
  FunctionSource(int length, std::function<int32_t(int)> amplitude)
      : LSoundSourceBase(8000, 1, kSampleFullScale), length_(length), amplitude_(std::move(amplitude)) {}
  void Read(int32_t* buffer, int frames) override {
    ++reads;
    largestRead = std::max(largestRead, frames);
    for (int i = 0; i < frames; ++i, ++position_)
      buffer[i] = position_ >= 0 && position_ < length_ ? amplitude_(position_) : 0;
  }
  int GetPosition() override { return position_; }
  int GetLength() override { return length_; }
  void Seek(int position) override { position_ = position; }
  int reads = 0;
  int largestRead = 0;

 private:
  int position_ = 0;
  int length_;
  std::function<int32_t(int)> amplitude_;
};

}  // namespace

TEST(LWaveMapping, ScaleOfASmallSourceInAWideView) {
  LWaveMapping m;
  m.width = 500;
  auto change = m.Apply(0, 100);
  EXPECT_DOUBLE_EQ(m.scale, 5.0);
  EXPECT_EQ(change.first, 0);
  EXPECT_EQ(change.last, 500);
  EXPECT_EQ(m.SampleToPixel(10), 50);
  EXPECT_EQ(m.PixelToSample(52), 10);
  EXPECT_EQ(m.SampleToPixel(1000), 500);  // at most the width
  EXPECT_EQ(m.SampleToPixel(-1), -1);
}

TEST(LWaveMapping, SameRequestComputesNothingAndScrollingOnlyTheUncoveredColumns) {
  LWaveMapping m;
  m.width = 100;
  m.Apply(1000, 1000);  // 0.1 pixel per sample
  auto same = m.Apply(1000, 1000);
  EXPECT_EQ(same.last - same.first, 0);

  auto right = m.Apply(1050, 1000);  // 5 pixels later: content moves left
  EXPECT_EQ(right.shift, -5);
  EXPECT_EQ(right.first, 94);
  EXPECT_EQ(right.last, 100);

  auto left = m.Apply(1020, 1000);
  EXPECT_EQ(left.shift, 3);
  EXPECT_EQ(left.first, 0);
  EXPECT_EQ(left.last, 4);

  auto far = m.Apply(90000, 1000);
  EXPECT_EQ(far.first, 0);
  EXPECT_EQ(far.last, 100);

  EXPECT_EQ(m.Apply(0, 0).last, 0);  // an empty request maps nothing
  EXPECT_EQ(m.SampleToPixel(5), -1);
}

TEST(LWaveMapping, ShiftedColumnsAreReusedAndUncoveredOnesCleared) {
  LWaveColumns columns{};
  for (int i = 0; i < 10; ++i) columns[size_t(i)] = uint8_t(i + 1);
  ShiftColumns(columns, 10, 3);
  EXPECT_EQ(std::vector<int>(columns.begin(), columns.begin() + 10), (std::vector<int>{0, 0, 0, 1, 2, 3, 4, 5, 6, 7}));
  ShiftColumns(columns, 10, -4);
  EXPECT_EQ(std::vector<int>(columns.begin(), columns.begin() + 10), (std::vector<int>{2, 3, 4, 5, 6, 7, 0, 0, 0, 0}));
}

TEST(LWaveColumns, ToneGivesItsPeakPerColumnAndSaturatesAtHalfScale) {
  EXPECT_EQ(ColumnValueOfPeak(0x7FFF0), 255);

  // A 100 Hz tone at a quarter of full scale, 8000 frames in 100 columns: 80 frames a column.
  FunctionSource tone(8000,
                      [](int i) { return int32_t(std::lround(0x20000 * std::sin(2 * M_PI * 100 * i / 8000.0))); });
  LWaveMapping m;
  m.width = 100;
  m.Apply(0, 8000);
  LWaveColumns columns{};
  ASSERT_TRUE(ComputeColumns(tone, m, 0, 100, columns, {}));
  for (int k = 0; k < 100; ++k) EXPECT_EQ(columns[size_t(k)], 0x20000 >> 10) << k;
}

TEST(LWaveColumns, ReadsInPiecesAndStopsWhenAsked) {
  FunctionSource loud(100000, [](int) { return int32_t(kSampleFullScale); });
  LWaveMapping m;
  m.width = 8;
  m.Apply(0, 100000);  // 12,500 frames a column
  LWaveColumns columns{};
  ASSERT_TRUE(ComputeColumns(loud, m, 0, 8, columns, {}));
  EXPECT_LE(loud.largestRead, 8192);
  EXPECT_EQ(columns[7], 255);

  int calls = 0;
  LWaveColumns partial{};
  EXPECT_FALSE(ComputeColumns(loud, m, 0, 8, partial, [&](int) { return ++calls < 2; }));
  EXPECT_EQ(partial[1], 255);
  EXPECT_EQ(partial[2], 0);
}
