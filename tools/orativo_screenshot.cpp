// Renders the tutor or the study window offscreen into a PNG:
//   orativo-screenshot tutor|study|about out.png [width height]
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "framework/widgets/dialog.h"
#include "framework/widgets/help.h"
#include "framework/widgets/run_mode.h"
#include "framework/widgets/splash.h"
#include "study/preview_dlg.h"
#include "tutor/main_dialog.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: orativo-screenshot tutor|study|about out.png [width height]\n");
    return 2;
  }
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  std::string which = argv[1];
  QString out = QString::fromLocal8Bit(argv[2]);
  int width = argc > 4 ? std::atoi(argv[3]) : 760;
  int height = argc > 4 ? std::atoi(argv[4]) : 520;
  bool saved = false;
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
    window.Run();
  } else {
    std::string lesson;
    PreviewDlg window(lesson);
    window.Run(nullptr);
  }
  std::fprintf(stderr, "%s %s\n", saved ? "wrote" : "could not write", argv[2]);
  return saved ? 0 : 1;
}
