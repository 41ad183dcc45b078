#pragma once
// LWaveWindow: a waveform overview of a sound source, one vertical bar per
// pixel column, with a selection, a cursor line and an end-of-data mark.
//
// Threads: a worker at the lowest priority reads the source and fills the
// column array; the window thread paints, scrolls and moves the selection.
// Views of at least kWavePeakBlock frames a column come from a peak summary
// the worker reads once per source; finer views read the source itself.
// Columns, mapping and selection are guarded by the drawing lock, the view
// request by the request lock. The worker touches the window only by queuing
// repaints, and never waits on the window thread.
#include <QWidget>
#include <mutex>

#include "controls/wave_mapping.h"
#include "framework/lthread.h"
#include "sound/sound_stream.h"

class LWaveWindow : public QWidget, public LThread {
  Q_OBJECT
 public:
  static constexpr int kNotifyClick = 2;

  explicit LWaveWindow(QWidget* parent = nullptr, int controlId = 0);
  ~LWaveWindow() override;

  void Start(const LSoundSourceRef& source);
  void Stop();
  void SetView(int32_t firstSample, int32_t length);
  void SetSelection(int32_t start, int32_t length);
  void SetDataEnd(int32_t sample);

  int32_t SelectionStart() const;
  int32_t SelectionLength() const;
  int ControlId() const { return controlId_; }
  // A copy of the columns and mapping, for tests and benchmarks.
  LWaveColumns Columns() const;
  LWaveMapping Mapping() const;
  // True once the worker has computed the last requested view.
  bool IsViewComputed() const;

 signals:
  void Command(int controlId, int notifyCode);

 protected:
  void ThreadFunction() override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void UpdateSize();
  void InvalidateSamples(int32_t from, int32_t to);  // under no lock
  void InvalidateColumns(int first, int last);       // any thread

  const int controlId_;
  mutable std::mutex drawingLock_;
  LWaveColumns columns_{};
  LWaveMapping mapping_;
  int height_ = 1;
  int32_t selectionStart_ = 0;
  int32_t selectionLength_ = 0;
  int32_t dataEnd_ = INT32_MAX;

  LSoundSourceRef source_;
  LWavePeakSummary summary_;  // of source_, touched by the worker only while it runs

  mutable std::mutex requestLock_;
  PlatformEvent requestEvent_;
  int32_t requestedStart_ = 0;
  int32_t requestedLength_ = 0;
  int32_t computedStart_ = 0;
  int32_t computedLength_ = -1;
};
