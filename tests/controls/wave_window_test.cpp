#include "controls/wave_window.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <atomic>
#include <cmath>

namespace {

// Mono 8 kHz, length frames long: a tone of the amplitude within [from, to)
// (to < 0: the end), silence elsewhere; counts the frames read.
class ToneSource : public LSoundSourceBase {
 public:
  ToneSource(int length, int32_t amplitude, int from = 0, int to = -1)
      : LSoundSourceBase(8000, 1, kSampleFullScale),
        length_(length),
        amplitude_(amplitude),
        from_(from),
        to_(to < 0 ? length : to) {}
  void Read(int32_t* buffer, int frames) override {
    if (slow) QThread::usleep(500);
    framesRead += frames;
    for (int i = 0; i < frames; ++i, ++position_)
      buffer[i] = position_ >= from_ && position_ < to_
                      ? int32_t(std::lround(amplitude_ * std::sin(2 * M_PI * 100 * position_ / 8000.0)))
                      : 0;
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
  QElapsedTimer clock;
  clock.start();
  while (!view.IsViewComputed()) {
    if (clock.elapsed() > 20000) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  QCoreApplication::processEvents();
  return true;
}

}  // namespace

TEST(LWaveWindow, ToneColumnsAndTheirBars) {
  LWaveWindow view;
  view.resize(102, 61);  // 100 columns, height 60
  auto* tone = new ToneSource(8000, 0x20000);
  LSoundSourceRef source(tone);
  view.Start(source);
  EXPECT_TRUE(view.isEnabled());
  view.SetView(0, 8000);
  ASSERT_TRUE(WaitComputed(view));
  LWaveColumns columns = view.Columns();
  for (int k = 0; k < 100; ++k) ASSERT_EQ(columns[size_t(k)], 128) << k;

  view.SetSelection(8000, 0);  // cursor off to the right
  QImage image = view.grab().toImage();
  const QColor wave = view.palette().color(QPalette::Active, QPalette::WindowText);
  const QColor back = view.palette().color(QPalette::Active, QPalette::Base);
  // Half-height = 128 * 60 / 512 = 15 around mid = 30.
  EXPECT_EQ(image.pixelColor(50, 30), wave);
  EXPECT_EQ(image.pixelColor(50, 16), wave);
  EXPECT_EQ(image.pixelColor(50, 10), back);
  EXPECT_EQ(image.pixelColor(50, 50), back);
  EXPECT_EQ(image.pixelColor(0, 30), QColor(Qt::black));  // sunken frame
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
  // The cursor line is drawn at the selection start.
  QImage image = view.grab().toImage();
  EXPECT_EQ(image.pixelColor(31, 5), QColor(0, 255, 0));
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

TEST(LWaveWindow, UnusableSourceLeavesTheViewDisabled) {
  LWaveWindow view;
  view.resize(50, 20);
  view.Start(LSoundSourceRef::Null(kSoundCannotOpen));
  EXPECT_FALSE(view.isEnabled());
  EXPECT_EQ(view.grab().toImage().pixelColor(10, 10), QColor(128, 128, 128));
}

// Views of 256 frames a column or more come from a summary read once: each
// zoom and scroll of them shows what reading the source would, reading nothing.
TEST(LWaveWindow, CoarseViewsReadTheSourceOnce) {
  constexpr int kLength = 1000000;
  LWaveWindow view;
  view.resize(102, 41);
  auto* tone = new ToneSource(kLength, 0x30000, 2000 * 256, 2400 * 256);
  LSoundSourceRef source(tone);
  view.Start(source);
  struct View {
    int32_t start, length;
  };
  for (View v : {View{0, kLength}, View{200000, 500000}, View{250000, 500000}, View{-30000, 400000},
                 View{490000, 25600}, View{0, kLength}}) {
    view.SetView(v.start, v.length);
    ASSERT_TRUE(WaitComputed(view));
    ToneSource reference(kLength, 0x30000, 2000 * 256, 2400 * 256);
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

TEST(LWaveWindow, ANewViewIsServedBeforeTheOverviewEnds) {
  constexpr int kLength = 2000000;
  LWaveWindow view;
  view.resize(102, 41);
  auto* tone = new ToneSource(kLength, 0x30000);
  tone->slow = true;
  LSoundSourceRef source(tone);
  view.Start(source);
  view.SetView(0, kLength);
  QElapsedTimer clock;
  clock.start();
  while (tone->framesRead.load() == 0 && clock.elapsed() < 20000) QThread::msleep(1);
  view.SetView(8000, 8000);
  ASSERT_TRUE(WaitComputed(view));
  EXPECT_LT(tone->framesRead.load(), kLength / 2);
  for (int k = 0; k < 100; ++k) ASSERT_EQ(view.Columns()[size_t(k)], 0x30000 >> 10) << k;
  view.SetView(0, kLength);  // the overview goes on where the summary stopped
  ASSERT_TRUE(WaitComputed(view));
  EXPECT_LE(tone->framesRead.load(), kLength + 2 * 8192 + 8000);
}
