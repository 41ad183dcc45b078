// The program's entry routine: a Qt application, then start-up decides what
// this run is.
#include <QApplication>
#include <string>
#include <vector>

#include "app/startup.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Orativo");
  QApplication::setQuitOnLastWindowClosed(false);
  std::vector<std::string> arguments(argv, argv + argc);
  return RunStartup(arguments, QApplication::applicationFilePath().toStdString());
}
