// Renders the tutor or the study window, the About box, or the sound
// controls offscreen into a PNG:
//   orativo-screenshot tutor|study|about|controls out.png [width height [lesson.ini]]
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "controls/db_edit.h"
#include "controls/level_meter.h"
#include "controls/wave_window.h"
#include "framework/widgets/dialog.h"
#include "framework/widgets/help.h"
#include "framework/widgets/run_mode.h"
#include "framework/widgets/splash.h"
#include "study/preview_dlg.h"
#include "tutor/main_dialog.h"

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

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: orativo-screenshot tutor|study|about|controls out.png [width height]\n");
    return 2;
  }
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  std::string which = argv[1];
  QString out = QString::fromLocal8Bit(argv[2]);
  int width = argc > 4 ? std::atoi(argv[3]) : 760;
  int height = argc > 4 ? std::atoi(argv[4]) : 520;
  bool saved = false;
  if (which == "controls") return SaveControls(out, width) ? 0 : 1;
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
