// The program's entry routine. Start-up proper (run modes, trailer, running
// copy) arrives with the window framework; for now it starts Qt and ends.
#include <QApplication>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Orativo");
  return 0;
}
