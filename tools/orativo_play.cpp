// orativo-play FILE [--device N] [--volume DB] | --list
// Plays an audio file through the sound player and prints every notification
// it receives; ends when the player stops or on Ctrl+C.
#include <unistd.h>

#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/audio/mixer.h"
#include "sound/files/audio_file_open.h"
#include "sound/sound_player.h"
#include "tools/console_tool.h"

namespace {

class Printer : public LSoundPlayerNotify {
 public:
  void spntfPlay(uint32_t) override { std::printf("play\n"); }
  void spntfPause(uint32_t) override { std::printf("pause\n"); }
  void spntfCue(uint32_t) override { std::printf("cue\n"); }
  void spntfTime(int32_t ms, uint32_t) override { std::printf("time %d ms\n", ms); }
  void spntfLevel(const LLevelRecord& levels, uint32_t) override { ConsolePrintLevels(levels); }
  void spntfStop(uint32_t) override {
    std::printf("stop\n");
    std::fflush(stdout);
    QCoreApplication::quit();
  }
};

int Usage() {
  std::fprintf(stderr, "usage: orativo-play FILE [--device N] [--volume DB]\n       orativo-play --list\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  std::string file;
  int device = 0;
  int volumeDb = 0;
  bool volume = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--list")) {
      ConsolePrintList("Output devices:", LSoundOutDeviceList());
      return 0;
    } else if (!std::strcmp(argv[i], "--device") && i + 1 < argc) {
      device = std::atoi(argv[++i]);
    } else if (!std::strcmp(argv[i], "--volume") && i + 1 < argc) {
      const char* text = argv[++i];
      char* end = nullptr;
      volumeDb = int(std::strtol(text, &end, 10));
      if (end == text || *end || volumeDb < -127 || volumeDb > 127) return Usage();
      volume = true;
    } else if (argv[i][0] == '-' || !file.empty()) {
      return Usage();
    } else {
      file = argv[i];
    }
  }
  if (file.empty() || device < 0) return Usage();
  std::setvbuf(stdout, nullptr, _IOLBF, 0);

  LSoundSourceRef source = OpenAudioFileSource(file);
  if (!source.IsUsable()) {
    std::fprintf(stderr, "orativo-play: cannot play %s (error %d)\n", file.c_str(), source->error);
    return 1;
  }
  // The play volume of the settings goes the same way: the program's own stream.
  if (volume) SetOutputVolume(device - 1, volumeDb, 0);
  Printer printer;
  LSoundPlayer player;
  player.SetDevice(uint32_t(device));
  player.SetNotify(&printer, 0);
  ConsoleStopOnSignal([&] { player.Stop(); });
  if (!player.Start(source)) {
    std::fprintf(stderr, "orativo-play: the output device cannot be opened\n");
    return 1;
  }
  return app.exec();
}
