// A held arrow key on a real display server (Xvfb, driven by xdotool): the
// server repeats the key as release and press pairs, and the run must last
// until the key is really released.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QTimer>
#include <climits>
#include <cstdlib>

#include "controls/player_panel.h"
#include "tests/controls/panel_test_support.h"
#include "tests/support/test_support.h"

namespace {

constexpr char kChildVariable[] = "ORATIVO_PANEL_ON_DISPLAY";

// The test's half that runs on the display.
void HoldLeftOnThePanel() {
  LVirtualAudioConfig config;
  config.speed = 1;
  config.captureOutput = false;
  LVirtualAudio::SetConfig(config);
  testsupport::TempFolder folder;
  std::string path = folder.File("hello.wav");
  ASSERT_TRUE(testsupport::WriteWav16(path, 8000, 1, testsupport::Tone(8000, 1, 8000 * 60, 300, 6000)));
  LPanelFile file("hello", path, 8000, 1, LPanelFile::kNameReadOnly);
  LPlayerBaseDlg panel(file);
  const int32_t from = 40000;
  bool started = false, heldThrough = false, released = false;
  int32_t reached = -1;
  QTimer::singleShot(0, [&] {
    panel.SetPosition(from);
    // The key goes down and stays down until the test lets it go.
    testsupport::RunCommand(
        "timeout 20 xdotool search --sync --onlyvisible --name '^Player$' windowfocus --sync %1 keydown Left");
    started = paneltest::WaitFor([&] { return panel.SeekRun().AnyActive(); }, 15000);
    paneltest::Pump(1600);  // well past the server's repeat delay
    heldThrough = panel.SeekRun().AnyActive() && panel.Player().IsOpen();
    testsupport::RunCommand("timeout 20 xdotool keyup Left");
    released = paneltest::WaitFor([&] { return !panel.SeekRun().AnyActive(); }, 5000);
    reached = panel.Position();
    panel.Close();
  });
  panel.Open(nullptr, LPlayerBaseDlg::Template());
  EXPECT_TRUE(started);
  EXPECT_TRUE(heldThrough);
  EXPECT_TRUE(released);
  EXPECT_LT(reached, from);  // how far depends on how loaded the machine is
  EXPECT_GT(reached, 0);
}

}  // namespace

TEST(PanelOnDisplay, HeldArrowRewindsUntilReleased) {
  if (std::getenv(kChildVariable)) {
    HoldLeftOnThePanel();
    return;
  }
  REQUIRE_COMMAND("Xvfb");
  REQUIRE_COMMAND("xdotool");
  testsupport::XDisplay display;
  ASSERT_FALSE(display.Name().empty()) << "no display could be started";
  char self[PATH_MAX] = {};
  ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
  EXPECT_EQ(testsupport::RunCommand(std::string(kChildVariable) + "=1 DISPLAY=" + display.Name() +
                                    " QT_QPA_PLATFORM=xcb timeout 60 '" + self +
                                    "' --gtest_filter=PanelOnDisplay.HeldArrowRewindsUntilReleased"),
            0);
}
