#include "study/compare_view.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "framework/widgets/help.h"
#include "lessons/rich_audio_file.h"
#include "sound/clip_source.h"
#include "sound/files/wave_file.h"
#include "study/study_runner.h"

namespace {

constexpr int kLabelWidth = 48, kAxisHeight = 18, kRowGap = 6;
constexpr double kSemitoneRange = 12;   // half a row: an octave either way
constexpr float kLoudnessRangeDb = 50;  // under the take's loudest frame
constexpr int kClickSlop = 4;           // pixels a click may move and stay a click

const QColor kBackground(250, 250, 247);
const QColor kTutorWave(182, 200, 218), kStudentWave(222, 200, 180);
const QColor kTutorPitch(46, 91, 138), kStudentPitch(184, 86, 42);
const QColor kLoudness(96, 150, 90, 170);
constexpr double kLoudnessShare = 0.3;  // of a row's height, at its foot
const QColor kDifference(235, 120, 40, 48);
const QColor kRegion(60, 120, 200, 56);

int FrameOf(double seconds) { return int(std::floor(seconds / kCompareFrameSeconds)); }

}  // namespace

// --- the drawing --------------------------------------------------------------

CompareView::CompareView(QWidget* parent) : QWidget(parent) {
  setMinimumSize(320, 200);
  setMouseTracking(false);
  setCursor(Qt::IBeamCursor);
}

void CompareView::SetResult(LCompareResult result) {
  result_ = std::move(result);
  message_.clear();
  region_ = {0, 0};
  update();
}

void CompareView::SetMessage(const QString& text) {
  message_ = text;
  update();
}

void CompareView::SetRegion(double from, double to) {
  region_ = {std::min(from, to), std::max(from, to)};
  update();
}

QRect CompareView::Plot() const { return rect().adjusted(kLabelWidth, 4, -6, -kAxisHeight); }

double CompareView::SecondsAt(int x) const {
  const QRect plot = Plot();
  const double length = double(result_.tutor.Frames()) * kCompareFrameSeconds;
  return std::clamp(double(x - plot.left()) / std::max(1, plot.width()), 0.0, 1.0) * length;
}

int CompareView::XAt(double seconds) const {
  const QRect plot = Plot();
  const double length = double(result_.tutor.Frames()) * kCompareFrameSeconds;
  return plot.left() + (length > 0 ? int(std::lround(seconds / length * plot.width())) : 0);
}

void CompareView::DrawTrack(QPainter& painter, const QRect& row, bool student) const {
  const LCompareTrack& track = student ? result_.student : result_.tutor;
  const int frames = int(track.Frames());
  if (frames == 0) return;
  float peak = 1e-6f, loudest = kCompareQuietDb;
  for (int f = 0; f < frames; ++f) {
    peak = std::max({peak, track.high[size_t(f)], -track.low[size_t(f)]});
    loudest = std::max(loudest, track.loudnessDb[size_t(f)]);
  }
  const double middle = row.top() + row.height() / 2.0, half = row.height() / 2.0 - 2;
  // The frames of this take under pixel column x: the student's through the path.
  auto framesAt = [&](int x) {
    double from = SecondsAt(x), to = SecondsAt(x + 1);
    if (student) {
      double a = StudentSecondsAt(result_.path, from), b = StudentSecondsAt(result_.path, to);
      from = std::min(a, b), to = std::max(a, b);
    }
    int first = std::clamp(FrameOf(from), 0, frames - 1);
    int last = std::clamp(std::max(first + 1, FrameOf(to)), first + 1, frames);
    return std::pair<int, int>{first, last};
  };
  painter.setPen(QPen(QColor(200, 200, 200), 1, Qt::DotLine));
  painter.drawLine(row.left(), int(middle), row.right(), int(middle));
  QPainterPath loudness, pitch;
  bool pitchOn = false;
  for (int x = row.left(); x <= row.right(); ++x) {
    auto [first, last] = framesAt(x);
    float low = 0, high = 0, db = kCompareQuietDb;
    for (int f = first; f < last; ++f) {
      low = std::min(low, track.low[size_t(f)]);
      high = std::max(high, track.high[size_t(f)]);
      db = std::max(db, track.loudnessDb[size_t(f)]);
    }
    painter.setPen(student ? kStudentWave : kTutorWave);
    painter.drawLine(x, int(middle - high / peak * half), x, int(middle - low / peak * half));
    const double level = std::clamp((db - (loudest - kLoudnessRangeDb)) / kLoudnessRangeDb, 0.0f, 1.0f);
    const QPointF point(x, row.bottom() - level * row.height() * kLoudnessShare);
    x == row.left() ? loudness.moveTo(point) : loudness.lineTo(point);
    const float semitones = track.semitones[size_t((first + last - 1) / 2)];
    if (std::isnan(semitones)) {
      pitchOn = false;
      continue;
    }
    const QPointF note(x,
                       middle - std::clamp(double(semitones), -kSemitoneRange, kSemitoneRange) / kSemitoneRange * half);
    pitchOn ? pitch.lineTo(note) : pitch.moveTo(note);
    pitchOn = true;
  }
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setPen(QPen(kLoudness, 1));
  painter.drawPath(loudness);
  painter.setPen(QPen(student ? kStudentPitch : kTutorPitch, 2.2, Qt::SolidLine, Qt::RoundCap));
  painter.drawPath(pitch);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(palette().color(QPalette::WindowText));
  painter.drawText(QRect(0, row.top(), kLabelWidth - 6, row.height()), Qt::AlignRight | Qt::AlignVCenter,
                   student ? QStringLiteral("You") : QStringLiteral("Tutor"));
}

void CompareView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Window));
  const QRect plot = Plot();
  painter.fillRect(plot, kBackground);
  if (!result_.ok) {
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(plot, Qt::AlignCenter | Qt::TextWordWrap, message_);
    return;
  }
  const int rowHeight = (plot.height() - kRowGap) / 2;
  const QRect tutorRow(plot.left(), plot.top(), plot.width(), rowHeight);
  const QRect studentRow(plot.left(), plot.top() + rowHeight + kRowGap, plot.width(), rowHeight);
  for (const LPitchDifference& d : result_.differences) {
    const int a = XAt(d.fromSeconds), b = XAt(d.toSeconds);
    painter.fillRect(QRect(a, plot.top(), std::max(1, b - a), plot.height()), kDifference);
  }
  DrawTrack(painter, tutorRow, false);
  DrawTrack(painter, studentRow, true);
  if (region_.second > region_.first) {
    const int a = XAt(region_.first), b = XAt(region_.second);
    painter.fillRect(QRect(a, plot.top(), std::max(1, b - a), plot.height()), kRegion);
  }
  // Seconds along the tutor's time.
  const double length = double(result_.tutor.Frames()) * kCompareFrameSeconds;
  const double step = length > 8 ? 1.0 : 0.5;
  painter.setPen(palette().color(QPalette::WindowText));
  for (double t = 0; t <= length + 1e-9; t += step) {
    const int x = XAt(t);
    painter.drawLine(x, plot.bottom() + 1, x, plot.bottom() + 4);
    painter.drawText(QRect(x - 30, plot.bottom() + 4, 60, kAxisHeight - 4), Qt::AlignHCenter | Qt::AlignTop,
                     QStringLiteral("%1 s").arg(t, 0, 'g', 3));
  }
}

void CompareView::mousePressEvent(QMouseEvent* event) {
  if (!result_.ok || event->button() != Qt::LeftButton) return;
  pressX_ = int(event->position().x());
}

void CompareView::mouseMoveEvent(QMouseEvent* event) {
  if (pressX_ < 0) return;
  SetRegion(SecondsAt(pressX_), SecondsAt(int(event->position().x())));
}

void CompareView::mouseReleaseEvent(QMouseEvent* event) {
  if (pressX_ < 0 || event->button() != Qt::LeftButton) return;
  const int x = int(event->position().x());
  if (std::abs(x - pressX_) < kClickSlop) {
    auto [from, to] = SoundAround(result_.tutor, SecondsAt(x));
    SetRegion(from, to);
  } else {
    SetRegion(SecondsAt(pressX_), SecondsAt(x));
  }
  pressX_ = -1;
  if (onRegion && region_.second > region_.first) onRegion(region_.first, region_.second);
}

// --- the window -----------------------------------------------------------------

CompareDlg::CompareDlg(QWidget* parent, const std::string& name, std::string tutorRecord, std::string studentPath)
    : QDialog(parent), tutorRecord_(std::move(tutorRecord)), studentPath_(std::move(studentPath)) {
  setWindowTitle(QStringLiteral("Compare: %1").arg(QString::fromStdString(name)));
  setSizeGripEnabled(true);
  auto* layout = new QVBoxLayout(this);
  hint_ = new QLabel(this);
  hint_->setObjectName(QStringLiteral("hint"));
  layout->addWidget(hint_);
  view_ = new CompareView(this);
  view_->SetMessage(QStringLiteral("Analysing the recordings..."));
  view_->onRegion = [this](double from, double to) { PlayRegion(from, to); };
  layout->addWidget(view_, 1);
  auto* row = new QHBoxLayout;
  row->addWidget(
      new QLabel(QStringLiteral("Click a word, or drag across a part, to hear your tutor and then yourself."), this));
  row->addStretch();
  auto* help = new QPushButton(QStringLiteral("&Help"), this);
  auto* close = new QPushButton(QStringLiteral("Close"), this);
  close->setDefault(true);
  row->addWidget(help);
  row->addWidget(close);
  layout->addLayout(row);
  connect(help, &QPushButton::clicked, this, [] { DisplayHelp(kHelpTopic); });
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  resize(760, 440);

  player_.SetNotify(this, 0);
  job_ = std::make_unique<CompareJob>(LRichAudioFile::OpenSource(tutorRecord_), LWaveFile::OpenSource(studentPath_),
                                      [this](const LCompareResult& result) { Analysed(result); });
  job_->Start();
}

CompareDlg::~CompareDlg() {
  job_.reset();
  stage_ = kIdle;
  player_.SetNotify(nullptr, 0);
  player_.Stop();
}

void CompareDlg::Analysed(const LCompareResult& result) {
  analysed_ = true;
  if (!result.ok) {
    view_->SetMessage(QStringLiteral("These recordings cannot be compared."));
    return;
  }
  // A gentle nudge at most: the similarity itself is never shown.
  hint_->setText(WorthAnotherTry(result) ? QStringLiteral("Worth another try") : QString());
  view_->SetResult(result);
}

void CompareDlg::PlayRegion(double from, double to) {
  if (!view_->Result().ok || to <= from) return;
  StopPlaying();
  ++region_;
  view_->SetRegion(from, to);
  studentRegion_ = StudentRegion(view_->Result().path, from, to);
  LSoundSourceRef tutor = LRichAudioFile::OpenSource(tutorRecord_);
  if (!tutor.IsUsable()) return;
  const double rate = tutor->sampleRate;
  LSoundSourceRef clip(new LSRCClip(tutor, int(std::lround(from * rate)), int(std::lround((to - from) * rate))));
  ApplyStudyOutputSettings(player_);
  stage_ = kTutor;
  if (!player_.Start(clip)) stage_ = kIdle;
}

void CompareDlg::PlayStudent() {
  LSoundSourceRef student = LWaveFile::OpenSource(studentPath_);
  stage_ = kIdle;
  if (!student.IsUsable()) return;
  const double rate = student->sampleRate;
  const auto [from, to] = studentRegion_;
  LSoundSourceRef clip(new LSRCClip(student, int(std::lround(from * rate)), int(std::lround((to - from) * rate))));
  stage_ = kStudent;
  if (!player_.Start(clip)) stage_ = kIdle;
}

void CompareDlg::StopPlaying() {
  stage_ = kIdle;  // the stop this reports is not the end of a part
  player_.Stop();
}

void CompareDlg::spntfStop(uint32_t) {
  if (stage_ == kTutor) {
    stage_ = kGap;
    QTimer::singleShot(kGapMs, this, [this, region = region_] {
      if (stage_ == kGap && region == region_) PlayStudent();  // not a gap of an earlier region
    });
  } else if (stage_ == kStudent) {
    stage_ = kIdle;
  }
}
