// orativo-play and orativo-record as a user runs them, on the virtual device.
#include <gtest/gtest.h>

#include "platform/little_endian.h"
#include "tests/support/test_support.h"

using namespace testsupport;

TEST(AudioTools, PlayPrintsProgressAndRecordStopsAtMaxOrCtrlCWithAValidWav) {
  ScopedEnv audio("ORATIVO_AUDIO", "virtual");
  const std::string play = "timeout 20 " + ToolPath("orativo-play") + " ";
  TempFolder folder;
  ASSERT_TRUE(WriteWav16(folder.File("tone.wav"), 8000, 1, Tone(8000, 1, 2000, 440, 0.5)));
  std::string out = CommandOutput(play + folder.File("tone.wav") + " 2>&1");
  EXPECT_EQ(out.rfind("play\n", 0), 0u) << out;
  EXPECT_NE(out.find("time 250 ms\nstop\n"), std::string::npos) << out;
  EXPECT_NE(RunCommand(play + folder.File("missing.wav") + " >/dev/null 2>&1"), 0);
  std::string list = CommandOutput(play + "--list");
  EXPECT_NE(list.find("  0  [Default Sound Out]\n  1  Virtual Output 1\n"), std::string::npos) << list;

  // Recording stops at the maximum time or on Ctrl+C and leaves a valid file.
  const std::string record = ToolPath("orativo-record") + " ";
  out = CommandOutput("timeout 20 " + record + folder.File("max.wav") + " --voice -127 --max 500 --rate 8000");
  EXPECT_NE(out.find("record\n"), std::string::npos) << out;
  EXPECT_NE(out.find("stop\n"), std::string::npos) << out;
  int rate = 0, channels = 0;
  std::vector<int16_t> samples;
  ASSERT_TRUE(ReadWav16(folder.File("max.wav"), &rate, &channels, &samples));
  EXPECT_EQ(rate, 8000);
  EXPECT_GT(samples.size(), 4000u);

  // Ctrl+C while recording stereo: a clean stop and a complete file.
  std::string file = folder.File("int.wav");
  EXPECT_EQ(RunCommand(record + file + " --voice -127 --channels 2 --rate 16000 >" + folder.File("log") +
                       " 2>&1 & pid=$!; sleep 1; kill -INT $pid; wait $pid"),
            0);
  ASSERT_TRUE(ReadWav16(file, &rate, &channels, &samples));
  EXPECT_EQ(channels, 2);
  EXPECT_EQ(rate, 16000);
  EXPECT_GT(samples.size(), 0u);
  std::vector<uint8_t> bytes = ReadFileBytes(file);
  EXPECT_EQ(LeGet32(&bytes[4]) + 8, bytes.size()) << "sizes written at the end";
}
