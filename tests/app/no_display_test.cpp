// Without a display the program says so in one line instead of the toolkit's plugin error.
#include <gtest/gtest.h>

#include "tests/support/test_support.h"

TEST(NoDisplay, OneLineAndAFailureCode) {
  const std::string run = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '" ORATIVO_BINARY "' 2>&1";
  std::string said = testsupport::CommandOutput(run);
  EXPECT_NE(std::string::npos, said.find("needs a graphical session")) << said;
  EXPECT_EQ(1, std::count(said.begin(), said.end(), '\n')) << said;
  EXPECT_NE(0, testsupport::RunCommand(run + " >/dev/null"));
}
