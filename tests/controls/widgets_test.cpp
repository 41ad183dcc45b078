// The controls' widgets. The waveform view and its window-free mapping,
// over sources that count their reads: columns computed by its worker,
// clicks, and what each view change reads. The dB slider and the level meter.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <cmath>

#include "controls/db_edit.h"
#include "controls/level_meter.h"
#include "controls/wave_window.h"
#include "tests/support/memory_audio.h"
#include "tests/support/test_support.h"

namespace {

// 8 kHz, length frames: a 100 Hz tone of the amplitude within [from, to)
// (to < 0: the end), silence elsewhere, in the last channel; the others carry
// it at a quarter.
std::vector<int32_t> Tone(int length, int32_t amplitude, int from = 0, int to = -1, unsigned channels = 1) {
  std::vector<int32_t> samples(size_t(length) * channels);
  for (int i = from; i < (to < 0 ? length : to); ++i)
    for (unsigned c = 0; c < channels; ++c) {
      int32_t value = int32_t(std::lround(amplitude * std::sin(2 * M_PI * 100 * i / 8000.0)));
      samples[size_t(i) * channels + c] = c + 1 == channels ? value : value / 4;
    }
  return samples;
}

// Counts the frames read.
struct CountingSource : testsupport::MemorySource {
  explicit CountingSource(std::vector<int32_t> samples, unsigned channels = 1)
      : MemorySource(std::move(samples), 8000, channels, kSampleFullScale) {}
  void Read(int32_t* buffer, int frames) override {
    if (slow) QThread::usleep(500);
    framesRead += frames;
    largestRead = std::max(largestRead.load(), frames);
    MemorySource::Read(buffer, frames);
  }
  std::atomic<int64_t> framesRead{0};
  std::atomic<int> largestRead{0};
  std::atomic<bool> slow{false};
};

bool WaitComputed(LWaveWindow& view) {
  bool computed = testsupport::WaitFor([&] { return view.IsViewComputed(); });
  QCoreApplication::processEvents();
  return computed;
}

}  // namespace

TEST(LWaveMapping, PixelsColumnsToComputeAndColumnPeaks) {
  LWaveMapping m;
  m.width = 500;
  auto change = m.Apply(0, 100);  // 5 pixels a sample
  EXPECT_EQ(std::tie(change.first, change.last), std::make_tuple(0, 500));
  EXPECT_EQ(m.SampleToPixel(10), 50);
  EXPECT_EQ(m.PixelToSample(52), 10);
  EXPECT_EQ(m.SampleToPixel(1000), 500);  // at most the width
  EXPECT_EQ(m.SampleToPixel(-1), -1);

  m.width = 100;
  m.Apply(1000, 1000);  // 0.1 pixel per sample
  const struct {
    int32_t start, length;
    int first, last, shift;
  } requests[] = {{1000, 1000, 0, 0, 0},      // the same: nothing
                  {1050, 1000, 94, 100, -5},  // 5 pixels later: content moves left
                  {1020, 1000, 0, 4, 3},      // 3 pixels back
                  {90000, 1000, 0, 100, 0},   // nothing to reuse
                  {0, 0, 0, 0, 0}};           // an empty request maps nothing
  for (const auto& r : requests) {
    auto c = m.Apply(r.start, r.length);
    EXPECT_EQ(std::tie(c.first, c.last), std::tie(r.first, r.last)) << r.start;
    if (c.last - c.first < m.width) {
      EXPECT_EQ(c.shift, r.shift) << r.start;  // columns reused
    }
  }
  EXPECT_EQ(m.SampleToPixel(5), -1);

  LWaveColumns columns{};
  for (int i = 0; i < 10; ++i) columns[size_t(i)] = uint8_t(i + 1);
  ShiftColumns(columns, 10, 3);
  EXPECT_EQ(std::vector<int>(columns.begin(), columns.begin() + 10), (std::vector<int>{0, 0, 0, 1, 2, 3, 4, 5, 6, 7}));
  ShiftColumns(columns, 10, -4);
  EXPECT_EQ(std::vector<int>(columns.begin(), columns.begin() + 10), (std::vector<int>{2, 3, 4, 5, 6, 7, 0, 0, 0, 0}));

  // Peaks above half scale saturate; the source is read in pieces, and the
  // computation stops when asked.
  CountingSource loud(Tone(100000, 0x60000));
  m.width = 8;
  m.Apply(0, 100000);  // 12,500 frames a column
  columns = {};
  ASSERT_TRUE(ComputeColumns(loud, m, 0, 8, columns, {}));
  EXPECT_LE(loud.largestRead, 8192);
  EXPECT_EQ(columns[7], 255);

  int calls = 0;
  LWaveColumns partial{};
  EXPECT_FALSE(ComputeColumns(loud, m, 0, 8, partial, [&](int) { return ++calls < 2; }));
  EXPECT_EQ(partial[1], 255);
  EXPECT_EQ(partial[2], 0);
}

// Enabled only while a usable source is shown; a click selects the sample
// under the pointer; a scroll reads only the uncovered columns.
TEST(LWaveWindow, ClickAndScrollOverAToneSource) {
  LWaveWindow view(nullptr, 42);
  view.resize(102, 41);
  view.Start(LSoundSourceRef::Null(kSoundCannotOpen));
  EXPECT_FALSE(view.isEnabled());
  auto* tone = new CountingSource(Tone(100000, 0x30000));
  view.Start(LSoundSourceRef(tone));
  EXPECT_TRUE(view.isEnabled());
  view.SetView(0, 10000);  // 100 samples a column
  ASSERT_TRUE(WaitComputed(view));
  EXPECT_EQ(tone->framesRead.load(), 10000);

  QSignalSpy spy(&view, &LWaveWindow::Command);
  QTest::mouseClick(&view, Qt::LeftButton, Qt::NoModifier, QPoint(31, 20));
  EXPECT_EQ(view.SelectionStart(), 3000);
  EXPECT_EQ(view.SelectionLength(), 0);
  EXPECT_EQ(spy.count(), 0);  // posted
  QCoreApplication::processEvents();
  ASSERT_EQ(spy.count(), 1);
  EXPECT_EQ(spy[0], (QList<QVariant>{42, LWaveWindow::kNotifyClick}));

  tone->framesRead = 0;
  view.SetView(500, 10000);  // five columns on
  ASSERT_TRUE(WaitComputed(view));
  EXPECT_LE(tone->framesRead.load(), 6 * 100);
  EXPECT_GT(tone->framesRead.load(), 0);
  for (int k = 0; k < 100; ++k) ASSERT_EQ(view.Columns()[size_t(k)], 0x30000 >> 10) << k;

  tone->framesRead = 0;
  view.SetView(500, 10000);  // the same view again computes nothing
  QTest::qWait(50);
  EXPECT_EQ(tone->framesRead.load(), 0);
  view.Stop();
  EXPECT_FALSE(view.isEnabled());
}

// Views of 256 frames a column or more come from a summary read once: each
// zoom and scroll of them shows what reading the source would, reading nothing.
TEST(LWaveWindow, CoarseViewsReadTheSourceOnce) {
  constexpr int kLength = 1000000;
  for (unsigned channels : {1u, 2u, 3u}) {
    SCOPED_TRACE(channels);
    LWaveWindow view;
    view.resize(102, 41);
    const std::vector<int32_t> samples = Tone(kLength, 0x30000, 2000 * 256, 2400 * 256, channels);
    auto* tone = new CountingSource(samples, channels);
    view.Start(LSoundSourceRef(tone));
    const int32_t views[][2] = {{0, kLength},     {200000, 500000}, {250000, 500000},
                                {-30000, 400000}, {490000, 25600},  {0, kLength}};  // start, length
    for (const auto& v : views) {
      view.SetView(v[0], v[1]);
      ASSERT_TRUE(WaitComputed(view));
      testsupport::MemorySource reference(samples, 8000, channels, kSampleFullScale);
      LWaveColumns expected{};
      ComputeColumns(reference, view.Mapping(), 0, 100, expected, nullptr);
      EXPECT_EQ(view.Columns(), expected) << v[0];
      EXPECT_LE(tone->framesRead.load(), kLength + 8192) << v[0];
    }
    view.SetView(510000, 10000);  // 100 frames a column: from the source
    ASSERT_TRUE(WaitComputed(view));
    EXPECT_GT(tone->framesRead.load(), kLength + 8192);
  }
}

TEST(LWaveWindow, ANewViewIsServedBeforeTheOverviewEnds) {
  constexpr int kLength = 2000000;
  LWaveWindow view;
  view.resize(102, 41);
  auto* tone = new CountingSource(Tone(kLength, 0x30000));
  tone->slow = true;
  view.Start(LSoundSourceRef(tone));
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

// Digits are appended, a minus anywhere makes the number negative, a second
// one is the floor. The value is clamped to the range and shown as text;
// typing notifies the parent once, at once, and the typed text is not
// rewritten.
TEST(LDBEdit, ParsedClampedShownAndTyped) {
  const std::pair<const char*, int> cases[] = {{"5", 5},      {"-12dB", -12}, {"1-2", -12}, {"--dB", -127},
                                               {"-1-", -127}, {"9999", 127},  {"dB", 0}};
  for (auto [text, value] : cases) EXPECT_EQ(LDBEdit::ParseValueText(text), value) << text;
  QWidget window;  // in larger type the field still shows the minus sign
  QFont font = window.font();
  font.setPointSize(14);
  window.setFont(font);
  LDBEdit edit(&window, false, 7);
  edit.resize(200, 20);
  edit.SetValue(-40);
  window.show();
  EXPECT_EQ(edit.GetValue(), -36);
  EXPECT_EQ(edit.EditField()->text(), "-36dB");
  EXPECT_LE(edit.EditField()->fontMetrics().horizontalAdvance("-36dB") + 4, edit.EditField()->width());  // 2-px margins
  QSignalSpy spy(&edit, &LDBEdit::Command);
  edit.EditField()->setText("");
  QTest::keyClicks(edit.EditField(), "5");
  EXPECT_EQ(edit.GetValue(), 5);
  ASSERT_EQ(spy.count(), 1);  // sent, not posted
  EXPECT_EQ(spy[0], (QList<QVariant>{7, LDBEdit::kNotifyChange}));
  EXPECT_EQ(edit.EditField()->text(), "5");
  edit.SetRange(-127, 127);
  edit.SetValue(-127);
  EXPECT_EQ(edit.EditField()->text(), "--dB");
}

// Compact, the slider spans the whole width: a drag follows the pointer and
// posts its notices; the keypad's + and - step.
TEST(LDBEdit, CompactDragAndKeypad) {
  LDBEdit edit(nullptr, true, 3);
  edit.resize(97, 20);
  edit.SetValue(0);
  QSignalSpy spy(&edit, &LDBEdit::Command);
  QTest::mousePress(&edit, Qt::LeftButton, Qt::NoModifier, edit.ThumbRect().center());
  QTest::mouseMove(&edit, QPoint(24, 10));
  EXPECT_EQ(edit.GetValue(), -36 + 24 * 48 / 97);
  EXPECT_EQ(spy.count(), 0);  // posted
  QCoreApplication::processEvents();
  EXPECT_EQ(spy.count(), 1);
  QTest::mouseRelease(&edit, Qt::LeftButton, Qt::NoModifier, QPoint(24, 10));
  edit.SetValue(11);
  QTest::keyClick(&edit, Qt::Key_Plus, Qt::KeypadModifier);
  QTest::keyClick(&edit, Qt::Key_Plus, Qt::KeypadModifier);
  EXPECT_EQ(edit.GetValue(), 12);
  QTest::keyClick(&edit, Qt::Key_Minus, Qt::KeypadModifier);
  EXPECT_EQ(edit.GetValue(), 11);
}

// The level meter keeps to the channels it has room for.
TEST(LDBDisplay, NineChannelsShowEight) {
  LDBDisplay meter;
  meter.resize(97, 33);
  LLevelRecord record;
  record.channels = 9;
  for (int i = 0; i < 9; ++i) record.level[i] = 12;
  meter.SetLevels(record);
  EXPECT_EQ(meter.ChannelCount(), 8);
  EXPECT_FALSE(meter.grab().isNull());
}
