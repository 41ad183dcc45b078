#pragma once
// The compare view: the tutor's take above the student's, the student's
// warped onto the tutor's time, each with waveform, loudness and pitch
// contour; stretches where the melodies differ by 3 semitones or more are
// marked. A click (a stretch of sound) or a drag chooses a region, which
// plays from the tutor and then from the student.
//
// CompareView only draws an LCompareResult; CompareDlg runs the analysis on
// a worker (CompareJob) and plays the regions.
#include <QDialog>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "sound/sound_player.h"
#include "study/compare_model.h"

class QLabel;

class CompareView : public QWidget {
 public:
  explicit CompareView(QWidget* parent = nullptr);
  void SetResult(LCompareResult result);
  void SetMessage(const QString& text);  // shown instead of the takes
  const LCompareResult& Result() const { return result_; }
  // The region in tutor seconds (from == to: none).
  void SetRegion(double from, double to);
  std::pair<double, double> Region() const { return region_; }
  // Called with the tutor region a click or a drag chooses.
  std::function<void(double from, double to)> onRegion;

  // Tutor seconds at an x coordinate and back.
  double SecondsAt(int x) const;
  int XAt(double seconds) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  QSize sizeHint() const override { return {640, 360}; }

 private:
  QRect Plot() const;
  void DrawTrack(class QPainter& painter, const QRect& row, bool student) const;

  LCompareResult result_;
  QString message_;
  std::pair<double, double> region_{0, 0};
  int pressX_ = -1;
};

class CompareDlg : public QDialog, public LSoundPlayerNotify {
 public:
  static constexpr int kHelpTopic = 108;
  static constexpr int kGapMs = 300;  // between the tutor's part and the student's

  // name: the expression; tutorRecord: its record (as the study runner has
  // it); studentPath: the student's recording of it.
  CompareDlg(QWidget* parent, const std::string& name, std::string tutorRecord, std::string studentPath);
  ~CompareDlg() override;

  bool Analysed() const { return analysed_; }
  CompareView* View() const { return view_; }
  QLabel* Hint() const { return hint_; }
  // Plays tutor seconds [from, to) and then the matching part of the student's take.
  void PlayRegion(double from, double to);
  void StopPlaying();
  bool Playing() const { return stage_ != kIdle; }

  void spntfStop(uint32_t user) override;

 private:
  enum Stage { kIdle, kTutor, kGap, kStudent };
  void Analysed(const LCompareResult& result);
  void PlayStudent();

  std::string tutorRecord_, studentPath_;
  CompareView* view_;
  QLabel* hint_;
  std::unique_ptr<CompareJob> job_;
  bool analysed_ = false;
  LSoundPlayer player_;
  Stage stage_ = kIdle;
  int region_ = 0;  // counts the regions played
  std::pair<double, double> studentRegion_{0, 0};
};
