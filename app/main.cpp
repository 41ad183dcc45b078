// The program's entry routine: a Qt application, then start-up decides what
// this run is.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/startup.h"

namespace {

// The toolkit's own failure without a display is a plugin error few people can read.
bool HaveDisplay() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform && *platform) return true;  // the caller chose one (offscreen, vnc...)
  const char* x = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x && *x) || (wayland && *wayland);
}

}  // namespace

int main(int argc, char** argv) {
  if (!HaveDisplay()) {
    std::fprintf(stderr,
                 "Orativo is a desktop program and needs a graphical session "
                 "(for a look without one, run it under xvfb-run).\n");
    return 1;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName("Orativo");
  QApplication::setQuitOnLastWindowClosed(false);
  std::vector<std::string> arguments(argv, argv + argc);
  return RunStartup(arguments, QApplication::applicationFilePath().toStdString());
}
