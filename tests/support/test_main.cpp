// main() of every test program: a private ORATIVO_HOME for the whole run, the
// log off unless asked for, and a Qt application object for the event loop.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  char pattern[] = "/tmp/orativo-test-XXXXXX";
  const char* home = mkdtemp(pattern);
  if (!home) return 2;
  setenv("ORATIVO_HOME", home, 1);
  setenv("ORATIVO_LOG", std::getenv("ORATIVO_TEST_LOG") ? std::getenv("ORATIVO_TEST_LOG") : "off", 1);
  setenv("ORATIVO_AUDIO", "virtual", 0);
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  int result;
  {
    QApplication app(argc, argv);
    result = RUN_ALL_TESTS();
  }
  std::error_code error;
  std::filesystem::remove_all(home, error);
  return result;
}
