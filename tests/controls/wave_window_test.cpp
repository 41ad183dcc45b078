// The waveform view over sources that count their reads: columns computed
// by its worker, clicks, and what each view change reads.
#include "controls/wave_window.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <atomic>
#include <cmath>

#include "tests/support/test_support.h"

namespace {

// 8 kHz, length frames long: a tone of the amplitude within [from, to)
// (to < 0: the end), silence elsewhere, in the last channel; the others carry
// it at a quarter. Counts the frames read.
class ToneSource : public LSoundSourceBase {
 public:
  ToneSource(int length, int32_t amplitude, int from = 0, int to = -1, unsigned channelCount = 1)
      : LSoundSourceBase(8000, channelCount, kSampleFullScale),
        length_(length),
        amplitude_(amplitude),
        from_(from),
        to_(to < 0 ? length : to) {}
  void Read(int32_t* buffer, int frames) override {
    if (slow) QThread::usleep(500);
    framesRead += frames;
    for (int i = 0; i < frames; ++i, ++position_) {
      int32_t value = position_ >= from_ && position_ < to_
                          ? int32_t(std::lround(amplitude_ * std::sin(2 * M_PI * 100 * position_ / 8000.0)))
                          : 0;
      for (int c = 0; c < channels; ++c) buffer[i * channels + c] = c + 1 == channels ? value : value / 4;
    }
  }
  int GetPosition() override { return position_; }
  int GetLength() override { return length_; }
  void Seek(int position) override { position_ = position; }
  std::atomic<int64_t> framesRead{0};
  std::atomic<bool> slow{false};

 private:
  int position_ = 0;
  int length_;
  int32_t amplitude_;
  int from_, to_;
};

bool WaitComputed(LWaveWindow& view) {
  bool computed = testsupport::WaitFor([&] { return view.IsViewComputed(); });
  QCoreApplication::processEvents();
  return computed;
}

}  // namespace

TEST(LWaveWindow, EnabledOnlyWhileAUsableSourceIsShown) {
  LWaveWindow view;
  view.resize(102, 61);
  view.Start(LSoundSourceRef::Null(kSoundCannotOpen));
  EXPECT_FALSE(view.isEnabled());
  view.Start(LSoundSourceRef(new ToneSource(8000, 0x20000)));
  EXPECT_TRUE(view.isEnabled());
  view.Stop();
  EXPECT_FALSE(view.isEnabled());
}

TEST(LWaveWindow, ClickSelectsTheSampleUnderThePointerAndNotifies) {
  LWaveWindow view(nullptr, 42);
  view.resize(102, 41);
  LSoundSourceRef source(new ToneSource(1000, 0x1000));
  view.Start(source);
  view.SetView(0, 1000);  // 0.1 pixel per sample
  ASSERT_TRUE(WaitComputed(view));
  QSignalSpy spy(&view, &LWaveWindow::Command);
  QTest::mouseClick(&view, Qt::LeftButton, Qt::NoModifier, QPoint(31, 20));
  EXPECT_EQ(view.SelectionStart(), 300);
  EXPECT_EQ(view.SelectionLength(), 0);
  EXPECT_EQ(spy.count(), 0);  // posted
  QCoreApplication::processEvents();
  ASSERT_EQ(spy.count(), 1);
  EXPECT_EQ(spy[0][0].toInt(), 42);
  EXPECT_EQ(spy[0][1].toInt(), LWaveWindow::kNotifyClick);
}

TEST(LWaveWindow, ScrollingReadsOnlyTheUncoveredColumns) {
  LWaveWindow view;
  view.resize(102, 41);
  auto* tone = new ToneSource(100000, 0x30000);
  LSoundSourceRef source(tone);
  view.Start(source);
  view.SetView(0, 10000);  // 100 samples a column
  ASSERT_TRUE(WaitComputed(view));
  EXPECT_EQ(tone->framesRead.load(), 10000);

  tone->framesRead = 0;
  view.SetView(500, 10000);  // five columns on
  ASSERT_TRUE(WaitComputed(view));
  EXPECT_LE(tone->framesRead.load(), 6 * 100);
  EXPECT_GT(tone->framesRead.load(), 0);
  LWaveColumns columns = view.Columns();
  for (int k = 0; k < 100; ++k) ASSERT_EQ(columns[size_t(k)], 0x30000 >> 10) << k;

  tone->framesRead = 0;
  view.SetView(500, 10000);  // the same view again computes nothing
  QTest::qWait(50);
  EXPECT_EQ(tone->framesRead.load(), 0);
}

// Views of 256 frames a column or more come from a summary read once: each
// zoom and scroll of them shows what reading the source would, reading nothing.
class CoarseViews : public ::testing::TestWithParam<unsigned> {};

TEST_P(CoarseViews, ReadTheSourceOnce) {
  constexpr int kLength = 1000000;
  const unsigned channels = GetParam();
  LWaveWindow view;
  view.resize(102, 41);
  auto* tone = new ToneSource(kLength, 0x30000, 2000 * 256, 2400 * 256, channels);
  LSoundSourceRef source(tone);
  view.Start(source);
  struct View {
    int32_t start, length;
  };
  for (View v : {View{0, kLength}, View{200000, 500000}, View{250000, 500000}, View{-30000, 400000},
                 View{490000, 25600}, View{0, kLength}}) {
    view.SetView(v.start, v.length);
    ASSERT_TRUE(WaitComputed(view));
    ToneSource reference(kLength, 0x30000, 2000 * 256, 2400 * 256, channels);
    LWaveColumns expected{};
    ComputeColumns(reference, view.Mapping(), 0, 100, expected, nullptr);
    LWaveColumns columns = view.Columns();
    for (int k = 0; k < 100; ++k) ASSERT_EQ(columns[size_t(k)], expected[size_t(k)]) << v.start << " " << k;
    EXPECT_LE(tone->framesRead.load(), kLength + 8192) << v.start;
  }
  view.SetView(510000, 10000);  // 100 frames a column: from the source
  ASSERT_TRUE(WaitComputed(view));
  EXPECT_GT(tone->framesRead.load(), kLength + 8192);
}

INSTANTIATE_TEST_SUITE_P(LWaveWindow, CoarseViews, ::testing::Values(1u, 2u, 3u));

TEST(LWaveWindow, ANewViewIsServedBeforeTheOverviewEnds) {
  constexpr int kLength = 2000000;
  LWaveWindow view;
  view.resize(102, 41);
  auto* tone = new ToneSource(kLength, 0x30000);
  tone->slow = true;
  LSoundSourceRef source(tone);
  view.Start(source);
  view.SetView(0, kLength);
  testsupport::WaitFor([&] { return tone->framesRead.load() > 0; });
  view.SetView(8000, 8000);
  ASSERT_TRUE(WaitComputed(view));
  EXPECT_LT(tone->framesRead.load(), kLength / 2);
  for (int k = 0; k < 100; ++k) ASSERT_EQ(view.Columns()[size_t(k)], 0x30000 >> 10) << k;
  view.SetView(0, kLength);  // the overview goes on where the summary stopped
  ASSERT_TRUE(WaitComputed(view));
  EXPECT_LE(tone->framesRead.load(), kLength + 2 * 8192 + 8000);
}
