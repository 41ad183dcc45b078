#include "controls/wave_window.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

namespace {

constexpr int kStopTimeoutMs = kThreadStopTimeoutMs;
constexpr int kColumnsPerRepaint = 32;  // the worker queues a repaint after this many columns

}  // namespace

LWaveWindow::LWaveWindow(QWidget* parent, int controlId) : QWidget(parent), controlId_(controlId) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setEnabled(false);  // nothing to show yet
}

LWaveWindow::~LWaveWindow() { StopThreadTimed(kStopTimeoutMs); }

void LWaveWindow::Start(const LSoundSourceRef& source) {
  Stop();
  {
    std::lock_guard<std::mutex> guard(requestLock_);
    requestedStart_ = 0;
    requestedLength_ = 0;
    computedStart_ = 0;
    computedLength_ = -1;
  }
  if (source->error != kSoundOk) return;
  {
    std::lock_guard<std::mutex> guard(drawingLock_);
    source_ = source;
    mapping_.visibleLength = 0;
  }
  setEnabled(true);
  LThread::Start(kThreadPriorityLowest);
}

void LWaveWindow::Stop() {
  StopThreadTimed(kStopTimeoutMs);  // before the source goes: the worker reads it
  summary_.Clear();
  {
    std::lock_guard<std::mutex> guard(drawingLock_);
    source_.Reset();
  }
  setEnabled(false);
}

void LWaveWindow::SetView(int32_t firstSample, int32_t length) {
  UpdateSize();  // a hidden window gets its resize event only when shown
  std::lock_guard<std::mutex> guard(requestLock_);
  requestedStart_ = firstSample;
  requestedLength_ = length;
  requestEvent_.Set();
}

void LWaveWindow::SetSelection(int32_t start, int32_t length) {
  int32_t oldStart, oldLength;
  {
    std::lock_guard<std::mutex> guard(drawingLock_);
    oldStart = selectionStart_;
    oldLength = selectionLength_;
    selectionStart_ = start;
    selectionLength_ = length;
  }
  InvalidateSamples(oldStart, oldStart + std::max(oldLength, 0));
  InvalidateSamples(start, start + std::max(length, 0));
}

void LWaveWindow::SetDataEnd(int32_t sample) {
  int32_t old;
  {
    std::lock_guard<std::mutex> guard(drawingLock_);
    old = dataEnd_;
    dataEnd_ = sample;
  }
  InvalidateSamples(std::min(old, sample), std::max(old, sample));
}

int32_t LWaveWindow::SelectionStart() const {
  std::lock_guard<std::mutex> guard(drawingLock_);
  return selectionStart_;
}

int32_t LWaveWindow::SelectionLength() const {
  std::lock_guard<std::mutex> guard(drawingLock_);
  return selectionLength_;
}

LWaveColumns LWaveWindow::Columns() const {
  std::lock_guard<std::mutex> guard(drawingLock_);
  return columns_;
}

LWaveMapping LWaveWindow::Mapping() const {
  std::lock_guard<std::mutex> guard(drawingLock_);
  return mapping_;
}

bool LWaveWindow::IsViewComputed() const {
  std::lock_guard<std::mutex> guard(requestLock_);
  return computedStart_ == requestedStart_ && computedLength_ == requestedLength_;
}

void LWaveWindow::InvalidateSamples(int32_t from, int32_t to) {
  int first, last;
  {
    std::lock_guard<std::mutex> guard(drawingLock_);
    if (mapping_.visibleLength == 0) {
      first = 0;
      last = mapping_.width;
    } else {
      first = std::max(0, mapping_.SampleToPixel(from));
      last = mapping_.SampleToPixel(to);
      if (last < 0) return;  // wholly left of the view
      last = std::min(last + 1, mapping_.width);
    }
  }
  InvalidateColumns(first, last);
}

void LWaveWindow::InvalidateColumns(int first, int last) {
  // Column k is drawn at x = k + 1; one column either side covers the cursor's shift.
  QRect area(first, 0, last - first + 2, height());
  QMetaObject::invokeMethod(
      this, [this, area] { update(area); }, Qt::QueuedConnection);
}

void LWaveWindow::ThreadFunction() {
  LWaveColumns computed{};
  while (!IsToStop()) {
    int32_t start, length;
    {
      std::lock_guard<std::mutex> guard(requestLock_);
      requestEvent_.Reset();
      start = requestedStart_;
      length = requestedLength_;
      if (start == computedStart_ && length == computedLength_) {
        // fall through to the wait below, outside the lock
        start = INT32_MIN;
      }
    }
    if (start == INT32_MIN) {
      m_StopSignal.WaitSignalDual(requestEvent_, -1);
      continue;
    }

    LWaveMapping mapping;
    LWaveMapping::Change change;
    {
      std::lock_guard<std::mutex> guard(drawingLock_);
      change = mapping_.Apply(start, length);
      if (change.shift != 0) ShiftColumns(columns_, mapping_.width, change.shift);
      mapping = mapping_;
      computed = columns_;
    }
    if (change.shift != 0) InvalidateColumns(0, mapping.width);
    const int first = std::clamp(change.first, 0, mapping.width);
    const int last = std::clamp(change.last, first, mapping.width);

    int published = first;
    bool superseded = false;
    auto publish = [&](int column) {
      if (IsToStop()) return false;
      {
        // A newer request is served first: a zoom must not wait for a long overview.
        std::lock_guard<std::mutex> guard(requestLock_);
        superseded = requestedStart_ != start || requestedLength_ != length;
        if (superseded) return false;
      }
      std::lock_guard<std::mutex> guard(drawingLock_);
      // A newer view moved the columns under us: this round's results are stale.
      if (mapping_.scale != mapping.scale || mapping_.scrollOffset != mapping.scrollOffset) return false;
      columns_[size_t(column)] = computed[size_t(column)];
      if (column + 1 - published >= kColumnsPerRepaint || column + 1 == last) {
        InvalidateColumns(published, column + 1);
        published = column + 1;
      }
      return true;
    };
    bool complete = UsesPeakSummary(mapping)
                        ? ComputeColumnsFromSummary(summary_, *source_, mapping, first, last, computed, publish,
                                                    [this] { return !IsToStop(); })
                        : ComputeColumns(*source_, mapping, first, last, computed, publish);
    if (superseded) {
      // Columns of this round are partly unset: the next view computes them all.
      std::lock_guard<std::mutex> guard(drawingLock_);
      mapping_.visibleLength = 0;
    }
    if (complete) {
      std::lock_guard<std::mutex> guard(requestLock_);
      computedStart_ = start;
      computedLength_ = length;
    }
  }
}

void LWaveWindow::resizeEvent(QResizeEvent*) { UpdateSize(); }

void LWaveWindow::UpdateSize() {
  {
    std::lock_guard<std::mutex> guard(drawingLock_);
    int newWidth = std::clamp(width() - 2, 1, kWaveMaxColumns);
    height_ = std::max(1, height() - 1);
    if (newWidth == mapping_.width) return;
    mapping_.width = newWidth;
    mapping_.visibleLength = 0;  // the scale changes with the width
  }
  std::lock_guard<std::mutex> guard(requestLock_);
  computedLength_ = -1;
  requestEvent_.Set();
}

void LWaveWindow::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange) update();
  QWidget::changeEvent(event);
}

void LWaveWindow::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  int32_t sample;
  {
    std::lock_guard<std::mutex> guard(drawingLock_);
    sample = mapping_.PixelToSample(int(event->position().x()) - 1);
  }
  SetSelection(sample, 0);
  QMetaObject::invokeMethod(
      this, [this] { emit Command(controlId_, kNotifyClick); }, Qt::QueuedConnection);
}

void LWaveWindow::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect area = event->rect();
  if (!isEnabled()) {
    painter.fillRect(area, QColor(128, 128, 128));
    return;
  }
  const QPalette& colours = palette();
  const QColor normalWave = colours.color(QPalette::Active, QPalette::WindowText);
  const QColor normalBack = colours.color(QPalette::Active, QPalette::Base);
  const QColor selectionWave(0, 128, 0);
  const QColor selectionBack(170, 255, 170);
  const QColor noDataWave = colours.color(QPalette::Disabled, QPalette::Text);
  const QColor noDataBack = colours.color(QPalette::Active, QPalette::Button);
  const QColor cursor(0, 255, 0);

  std::lock_guard<std::mutex> guard(drawingLock_);
  const int w = mapping_.width;
  const int h = height_;
  const int mid = h / 2;
  const int selFirst = mapping_.SampleToPixel(selectionStart_);
  const int selLast = mapping_.SampleToPixel(selectionStart_ + selectionLength_);
  int cursorColumn = selFirst;
  if (cursorColumn >= w - 1 && cursorColumn >= 0) cursorColumn = w - 2;

  const int from = std::max(0, area.left() - 1);
  const int to = std::min(w, area.right());  // columns drawn at x = k + 1
  for (int k = from; k < to; ++k) {
    const int x = k + 1;
    if (k == cursorColumn && selFirst >= 0) {
      painter.setPen(cursor);
      painter.drawLine(x, 1, x, h - 1);
      continue;
    }
    const int32_t sample = mapping_.PixelToSample(k);
    const bool noData = sample < 0 || sample >= dataEnd_;
    const bool selected = selectionLength_ > 0 && k >= selFirst && k < selLast;
    const QColor& wave = noData ? noDataWave : selected ? selectionWave : normalWave;
    const QColor& back = noData ? noDataBack : selected ? selectionBack : normalBack;
    const int half = columns_[size_t(k)] * h / 512;
    painter.setPen(back);
    if (mid - half > 1) painter.drawLine(x, 1, x, mid - half - 1);
    painter.setPen(wave);
    painter.drawLine(x, mid - half, x, mid + half);
    painter.setPen(back);
    if (mid + half + 1 <= h - 1) painter.drawLine(x, mid + half + 1, x, h - 1);
  }
  // Sunken frame.
  painter.setPen(Qt::black);
  painter.drawLine(0, 0, w + 1, 0);
  painter.drawLine(0, 0, 0, h);
  painter.setPen(Qt::white);
  painter.drawLine(0, h, w + 1, h);
  painter.drawLine(w + 1, 0, w + 1, h);
}
