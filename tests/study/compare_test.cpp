// The compare view: a region plays the tutor's part and then the matching part
// of the student's take, a click finds the word under it, and closing
// mid-analysis or mid-play is safe.

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <tuple>

#include "analysis/pitch_track.h"
#include "framework/widgets/help.h"
#include "study/compare_view.h"
#include "tests/study/study_fixture.h"

using namespace studytest;

namespace {

struct Takes {
  explicit Takes(int tutorMs = 1500, int studentMs = 1800)
      : lesson("Compare"), tutor(Noise(tutorMs, 7)), student(Noise(studentMs, 9)) {
    lesson.Add("phrase", 0, kAudioTypeWav, tutor);
    record = ListExpressionsInOrder(lesson.Path()).at(0).record;
    mine = lesson.Folder() + "/mine.wav";
    testsupport::WriteWav16(mine, 22050, 1, student);
  }
  std::vector<int16_t> Part(const std::vector<int16_t>& take, double from, double to) const {
    // Rounded as the player's clips are.
    size_t a = std::min(take.size(), size_t(std::lround(from * 22050))),
           b = std::min(take.size(), size_t(std::lround(to * 22050)));
    return {take.begin() + long(a), take.begin() + long(b)};
  }
  Lesson lesson;
  std::vector<int16_t> tutor, student;
  std::string record, mine;
};

}  // namespace

TEST(Compare, ClosingIsSafeARegionPlaysTheTutorsPartThenMineAndAClickChoosesAWord) {
  Takes longer(40000, 45000);  // long enough to close mid-analysis
  for (int closeAfterMs : {0, 40, 400}) {
    auto compare = std::make_unique<CompareDlg>(nullptr, "phrase", longer.record, longer.mine);
    compare->show();
    Pump(closeAfterMs);
    compare.reset();
    Pump(50);  // a report the worker posted must go nowhere
  }
  // A click chooses the word under it.
  // Two words with a pause between them, then three seconds of speech with
  // no pause at all, only syllables (dips to a fifth of the level).
  std::vector<float> samples(size_t(16000 * 4.5), 0.0f);
  for (size_t i = 0; i < samples.size(); ++i) {
    const double t = double(i) / 16000, buzz = (i % 37) / 37.0 - 0.5;
    if ((t >= 0.2 && t < 0.5) || (t >= 0.7 && t < 1.0)) samples[i] = float(buzz);
    if (t >= 1.4 && t < 4.4) samples[i] = float(buzz * (0.6 + 0.4 * std::cos(2 * M_PI * 4 * t)));
  }
  LCompareTrack track = CompareTrackOf({samples, 16000}, {});
  for (auto [click, from, to] : {std::tuple{0.3, 0.2, 0.5}, {0.9, 0.7, 1.0}}) {
    auto [a, b] = SoundAround(track, click);
    EXPECT_NEAR(a, from, 0.011) << click;
    EXPECT_NEAR(b, to, 0.011) << click;
  }
  auto [a, b] = SoundAround(track, 0.6);
  EXPECT_GT(b - a, 0.25) << "a click in the pause still plays something";
  std::tie(a, b) = SoundAround(track, 2.9);
  EXPECT_LT(a, 2.9);
  EXPECT_GT(b, 2.9);
  EXPECT_LT(b - a, 1.05) << "a few syllables, not all the speech";
  EXPECT_NEAR(std::remainder(a - 0.125, 0.25), 0, 0.03) << "from a dip between syllables";

  // Lanes keep step with the pitch frames: a burst at 9 s of a 10 s take at
  // 22050 Hz, where a whole-sample hop drifted 20 ms.
  samples.assign(size_t(22050 * 10), 0.0f);
  for (size_t i = size_t(22050 * 9.0); i < size_t(22050 * 9.5); ++i)
    samples[i] = float(0.5 * std::sin(2 * M_PI * 200 * double(i) / 22050));
  const std::vector<float> hz = TrackPitch(samples, 22050);
  track = CompareTrackOf({samples, 22050}, hz);
  EXPECT_EQ(track.Frames(), hz.size());
  EXPECT_EQ(track.semitones.size(), hz.size());
  EXPECT_GE(double(track.Frames()) * kCompareFrameSeconds, 10.0) << "the view spans the whole take";
  std::tie(a, b) = SoundAround(track, 9.25);
  EXPECT_NEAR(a, 9.0, 0.01);
  EXPECT_NEAR(b, 9.5, 0.01);

  Takes takes;
  CompareDlg compare(nullptr, "phrase", takes.record, takes.mine);
  ASSERT_TRUE(WaitFor([&] { return compare.Analysed(); }, 30000));
  const LCompareResult& result = compare.View()->Result();
  ASSERT_TRUE(result.ok);
  const double from = 0.5, to = 0.9;
  const auto [studentFrom, studentTo] = StudentRegion(result.path, from, to);
  ASSERT_GT(studentTo, studentFrom);

  LVirtualAudio::ClearCapture();
  compare.PlayRegion(from, to);
  ASSERT_TRUE(WaitFor([&] { return !compare.Playing(); }, 15000));
  const std::vector<int16_t> out = LVirtualAudio::CapturedOutput();
  const std::vector<int16_t> tutorPart = takes.Part(takes.tutor, from, to);
  const std::vector<int16_t> mine = takes.Part(takes.student, studentFrom, studentTo);
  const long tutorAt = Find(out, tutorPart, 0);
  ASSERT_GE(tutorAt, 0) << "the tutor's part";
  EXPECT_GE(Find(out, mine, size_t(tutorAt) + tutorPart.size()), 0) << "then mine";
  EXPECT_EQ(Find(out, takes.Part(takes.tutor, to + 0.02, to + 0.2), 0), -1) << "nothing after the tutor's part";
  EXPECT_EQ(Find(out, takes.Part(takes.tutor, 0, from - 0.02), 0), -1) << "nothing before it";
  EXPECT_LE(out.size(), tutorPart.size() + mine.size() + 22050 / 2) << "two parts, not two takes";

  LSetHelpFolder(ORATIVO_HELP_SOURCE);
  for (QPushButton* button : compare.findChildren<QPushButton*>())
    if (button->text() == "&Help") button->click();
  EXPECT_EQ(LHelpShownFile(), std::string(ORATIVO_HELP_SOURCE) + "/108.html") << "a page of its own";
  if (LHelpWindow()) LHelpWindow()->close();
  LSetHelpFolder("");

  // A drag across the view chooses and plays its stretch.
  CompareView* view = compare.View();
  view->resize(700, 300);
  auto mouse = [&](QEvent::Type type, double seconds) {
    const QPointF at(view->XAt(seconds), 100);
    QMouseEvent event(type, at, view->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &event);
  };
  mouse(QEvent::MouseButtonPress, 0.2);
  mouse(QEvent::MouseMove, 0.4);
  mouse(QEvent::MouseButtonRelease, 0.6);
  EXPECT_NEAR(view->Region().first, 0.2, 0.01);
  EXPECT_NEAR(view->Region().second, 0.6, 0.01);
  EXPECT_TRUE(compare.Playing());

}  // closed while playing
