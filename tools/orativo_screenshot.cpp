// Renders the tutor or the study window, the About box, the sound controls,
// the player or record panel in the middle of a take, the compare view over
// two takes espeak-ng speaks, or one of the lesson and settings dialogs
// offscreen into a PNG:
//   orativo-screenshot tutor|study|about|controls|player|record|compare out.png [width height [lesson.ini]]
//   orativo-screenshot open-lesson|login|lesson-properties|record-new|
//                      settings|general|audio out.png [lesson file]
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "controls/db_edit.h"
#include "controls/level_meter.h"
#include "controls/record_panel.h"
#include "controls/wave_window.h"
#include "framework/widgets/dialog.h"
#include "framework/widgets/help.h"
#include "framework/widgets/run_mode.h"
#include "framework/widgets/splash.h"
#include "platform/audio/virtual_audio.h"
#include "sound/files/wave_file.h"
#include "study/compare_view.h"
#include "study/lesson_secure_dlg.h"
#include "study/open_lesson_dlg.h"
#include "study/preview_dlg.h"
#include "study/settings_pages.h"
#include "tutor/audio_new_dlg.h"
#include "tutor/lesson_prop_dlg.h"
#include "tutor/main_dialog.h"
#include "tutor/set_dlg.h"

namespace {

// A spoken-like test signal: a tone under a slow syllable envelope.
class SyllableSource : public LSoundSourceBase {
 public:
  SyllableSource() : LSoundSourceBase(22050, 1, kSampleFullScale) {}
  void Read(int32_t* buffer, int frames) override {
    for (int i = 0; i < frames; ++i, ++position_) {
      double t = position_ / 22050.0;
      double envelope = std::max(0.0, std::sin(M_PI * t * 2.5)) * (position_ < 22050 * 3 ? 1.0 : 0.0);
      buffer[i] = position_ >= 0 ? int32_t(0x38000 * envelope * std::sin(2 * M_PI * 180 * t)) : 0;
    }
  }
  int GetPosition() override { return position_; }
  int GetLength() override { return 22050 * 3; }
  void Seek(int position) override { position_ = position; }

 private:
  int position_ = 0;
};

bool SaveControls(const QString& out, int width) {
  QWidget panel;
  panel.setWindowTitle("Sound controls");
  auto* layout = new QVBoxLayout(&panel);
  auto* wave = new LWaveWindow(&panel);
  wave->setMinimumHeight(120);
  auto* meter = new LDBDisplay(&panel);
  meter->setFixedHeight(24);
  auto* slider = new LDBEdit(&panel);
  slider->setFixedHeight(22);
  layout->addWidget(wave);
  layout->addWidget(meter);
  layout->addWidget(slider);
  panel.resize(width, 220);
  panel.show();
  LLevelRecord levels;
  levels.channels = 2;
  levels.level[0] = -6;
  levels.level[1] = 4;
  meter->SetLevels(levels);
  slider->SetValue(-9);
  LSoundSourceRef source(new SyllableSource);
  wave->Start(source);
  wave->SetView(0, source->GetLength());
  wave->SetSelection(22050 / 2, 22050 / 2);
  wave->SetDataEnd(22050 * 5 / 2);
  QElapsedTimer clock;
  clock.start();
  while (!wave->IsViewComputed() && clock.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  QCoreApplication::processEvents();
  bool saved = panel.grab().save(out, "PNG");
  wave->Stop();
  std::fprintf(stderr, "%s %s\n", saved ? "wrote" : "could not write", qPrintable(out));
  return saved;
}

// The player panel playing a spoken-like file, or the record panel recording
// one, on the virtual device; grabbed 1.6 s into the take.
bool SavePanel(const QString& out, bool record, int width, int height) {
  QTemporaryDir folder;
  LVirtualAudioConfig config;
  config.captureOutput = false;
  // A voice that never falls silent, so the meter shows it whenever the picture is taken.
  config.inputGenerator = [](int16_t* samples, int frames, int channels, int64_t position) {
    for (int f = 0; f < frames; ++f) {
      double t = double(position + f) / 22050;
      double envelope = 0.55 + 0.45 * std::sin(2 * M_PI * 1.3 * t);
      auto v = int16_t(14000 * envelope * std::sin(2 * M_PI * 180 * t));
      for (int c = 0; c < channels; ++c) samples[f * channels + c] = v;
    }
  };
  LVirtualAudio::SetConfig(config);
  std::string path = folder.filePath("hello.wav").toStdString();
  if (!record) {
    LSoundSinkRef sink = LWaveFile::OpenSinkPCM(path, 22050, 1, 16, 0);
    SyllableSource source;
    std::vector<int32_t> block(22050 * 3);
    source.Read(block.data(), int(block.size()));
    sink->Write(block.data(), int(block.size()));
  }
  LPanelFile file("hello", path, 22050, 1, LPanelFile::kNameReadOnly);
  bool saved = false;
  QTimer::singleShot(0, [&] {
    auto* panel = static_cast<LPlayerBaseDlg*>(LKeyDialog::Running());
    if (!panel) return;
    panel->Window()->resize(width, height);
    if (!record) {
      panel->StartWaveScan();
      panel->SetPosition(1200);
      panel->EvKeyDown(0x78);  // F9: play from there
    }
    QTimer::singleShot(1600, [&, panel] {
      saved = panel->Window()->grab().save(out, "PNG");
      panel->Close();
    });
  });
  if (record) {
    LRecordDlg::Run(nullptr, file);
  } else {
    LPlayerBaseDlg panel(file);
    panel.Open(nullptr, LPlayerBaseDlg::Template());
  }
  std::fprintf(stderr, "%s %s\n", saved ? "wrote" : "could not write", qPrintable(out));
  return saved;
}

// The compare view over one phrase spoken twice by espeak-ng, made here: the
// tutor lower and brisker, the student higher and slower; a word chosen.
bool SaveCompare(const QString& out, int width, int height) {
  QTemporaryDir folder;
  const QString phrase = QStringLiteral("Could you tell me the way to the station, please.");
  auto speak = [&](const QString& file, const QString& text, const QStringList& voice) {
    return QProcess::execute(QStringLiteral("espeak-ng"), voice + QStringList{"-w", folder.filePath(file), text}) == 0;
  };
  // The student lifts "the station" well above the tutor's melody: a marked difference.
  const QString mine = QStringLiteral(
      "<speak>Could you tell me the way to <prosody pitch=\"+70%\">the station,</prosody> please.</speak>");
  if (!speak("phrase.wav", phrase, {"-v", "en", "-p", "40", "-s", "155"}) ||
      !speak("mine.wav", mine, {"-m", "-v", "en+f3", "-p", "60", "-s", "125"})) {
    std::fprintf(stderr, "orativo-screenshot: the compare view needs espeak-ng\n");
    return false;
  }
  QFile raf(folder.filePath("phrase.raf"));
  if (!raf.open(QIODevice::WriteOnly) || raf.write("[raf]\r\naudiotype=0\r\n") < 0) return false;
  raf.close();
  CompareDlg compare(nullptr, phrase.toStdString(), raf.fileName().toStdString(),
                     folder.filePath("mine.wav").toStdString());
  compare.resize(width, height);
  compare.show();
  QElapsedTimer clock;
  clock.start();
  while (!compare.Analysed() && clock.elapsed() < 30000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  const LCompareResult& result = compare.View()->Result();
  if (!result.ok) return false;
  auto [from, to] = SoundAround(result.tutor, result.tutor.seconds * 0.15);
  compare.View()->SetRegion(from, to);
  QCoreApplication::processEvents();
  bool saved = compare.grab().save(out, "PNG");
  std::fprintf(stderr, "%s %s\n", saved ? "wrote" : "could not write", qPrintable(out));
  return saved;
}

// Grabs the next modal window once it has laid out, then cancels it.
void GrabModal(const QString& out, bool* saved, int page = 0) {
  QTimer::singleShot(300, [=] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) {
      GrabModal(out, saved, page);
      return;
    }
    if (auto* tabs = modal->findChild<QTabWidget*>()) tabs->setCurrentIndex(page);
    QTimer::singleShot(200, [=] {
      *saved = modal->grab().save(out, "PNG");
      if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
    });
  });
}

// The lesson and settings dialogs; false when which names none of them.
bool SaveDialog(const std::string& which, const QString& out, std::string lesson, bool* saved) {
  if (which == "open-lesson") {
    GrabModal(out, saved);
    OpenLessonDlg(lesson).Run(nullptr);
  } else if (which == "login") {
    GrabModal(out, saved);
    LessonSecureDlg(lesson).Run(nullptr);
  } else if (which == "lesson-properties") {
    GrabModal(out, saved);
    LessonPropDlg(lesson).Run(nullptr);
  } else if (which == "record-new") {
    GrabModal(out, saved);
    AudioNewDlg().Run(nullptr);
  } else if (which == "settings") {
    bool changed = false;
    GrabModal(out, saved);
    SetDlg(&changed).Run(nullptr);
  } else if (which == "general" || which == "audio") {
    GrabModal(out, saved, which == "audio" ? 1 : 0);
    RunStudySettings(nullptr, nullptr);
  } else {
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(
        stderr,
        "usage: orativo-screenshot "
        "tutor|study|about|controls|player|record|compare|open-lesson|login|lesson-properties|record-new|settings|"
        "general|audio out.png [width height | lesson file]\n");
    return 2;
  }
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  std::string which = argv[1];
  QTemporaryDir home;
  if (which == "player" || which == "record") {
    // The panels store their devices and volumes: keep them out of the user's settings.
    setenv("ORATIVO_AUDIO", "virtual", 1);
    setenv("ORATIVO_HOME", qPrintable(home.path()), 1);
  }
  QApplication app(argc, argv);
  QString out = QString::fromLocal8Bit(argv[2]);
  int width = argc > 4 ? std::atoi(argv[3]) : 760;
  int height = argc > 4 ? std::atoi(argv[4]) : 520;
  bool saved = false;
  if (which == "controls") return SaveControls(out, width) ? 0 : 1;
  if (which == "player" || which == "record")
    return SavePanel(out, which == "record", argc > 4 ? width : 560, argc > 4 ? height : 420) ? 0 : 1;
  if (which == "compare") return SaveCompare(out, argc > 4 ? width : 760, argc > 4 ? height : 440) ? 0 : 1;
  if (SaveDialog(which, out, argc > 3 ? argv[3] : "", &saved)) {
    std::fprintf(stderr, "%s %s\n", saved ? "wrote" : "could not write", argv[2]);
    return saved ? 0 : 1;
  }
  // Once the window runs: fix its size, let it lay out, grab it, close it.
  QTimer::singleShot(0, [&] {
    LKeyDialog* dialog = LKeyDialog::Running();
    if (!dialog || !dialog->Window()) return;
    dialog->Window()->setWindowState(Qt::WindowNoState);
    dialog->Window()->resize(width, height);
    QTimer::singleShot(200, [&, dialog] {
      saved = dialog->Window()->grab().save(out, "PNG");
      dialog->Close();
    });
  });
  if (which == "about") {
    LAboutBox about;
    QTimer::singleShot(200, [&] {
      saved = about.Window()->grab().save(out, "PNG");
      about.SendCommand(1);
    });
    about.Run(nullptr);
  } else if (which == "tutor") {
    SetModeWord("Tutor");
    MainDialog window;
    if (argc > 5) window.SetStartLesson(argv[5]);
    window.Run();
  } else {
    std::string lesson;
    PreviewDlg window(lesson);
    window.Run(nullptr);
  }
  std::fprintf(stderr, "%s %s\n", saved ? "wrote" : "could not write", argv[2]);
  return saved ? 0 : 1;
}
