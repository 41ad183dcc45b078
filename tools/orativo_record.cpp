// orativo-record OUT.wav [--device N] [--rate HZ] [--channels N] [--voice DB]
//                [--hold MS] [--max MS] | --list
// Records a 16-bit WAV through the sound recorder, voice activated unless
// --voice -127, printing every notification; ends at --max or on Ctrl+C,
// either way leaving a complete WAV file.
#include <unistd.h>

#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/audio/mixer.h"
#include "sound/files/wave_file.h"
#include "sound/sound_recorder.h"
#include "tools/console_tool.h"

namespace {

class Printer : public LSoundRecorderNotify {
 public:
  void srntfRecord(uint32_t) override { std::printf("record\n"); }
  void srntfWait(uint32_t) override { std::printf("wait\n"); }
  void srntfTime(int32_t ms, uint32_t) override { std::printf("time %d ms\n", ms); }
  void srntfLevel(const LLevelRecord& levels, uint32_t) override { ConsolePrintLevels(levels); }
  void srntfStop(uint32_t) override {
    std::printf("stop\n");
    std::fflush(stdout);
    QCoreApplication::quit();
  }
};

int Usage() {
  std::fprintf(stderr,
               "usage: orativo-record OUT.wav [--device N] [--rate HZ] [--channels N] [--voice DB] [--hold MS] "
               "[--max MS]\n       orativo-record --list\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  std::string file;
  int device = 0, rate = 22050, channels = 1, voice = -30, hold = 4000, maxTime = 0;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    bool value = i + 1 < argc;
    if (a == "--list") {
      ConsolePrintList("Input devices:", LSoundInDeviceList());
      return 0;
    } else if (a == "--device" && value) {
      device = std::atoi(argv[++i]);
    } else if (a == "--rate" && value) {
      rate = std::atoi(argv[++i]);
    } else if (a == "--channels" && value) {
      channels = std::atoi(argv[++i]);
    } else if (a == "--voice" && value) {
      voice = std::atoi(argv[++i]);
    } else if (a == "--hold" && value) {
      hold = std::atoi(argv[++i]);
    } else if (a == "--max" && value) {
      maxTime = std::atoi(argv[++i]);
    } else if (a[0] == '-' || !file.empty()) {
      return Usage();
    } else {
      file = a;
    }
  }
  if (file.empty() || device < 0 || device > 255 || rate < 1 || rate > 196000 || channels < 1 || channels > 255)
    return Usage();
  std::setvbuf(stdout, nullptr, _IOLBF, 0);

  LSoundSinkRef sink = LWaveFile::OpenSinkPCM(file, uint32_t(rate), unsigned(channels), 16, 0);
  if (!sink.IsUsable()) {
    std::fprintf(stderr, "orativo-record: cannot write %s\n", file.c_str());
    return 1;
  }
  Printer printer;
  LSoundRecorder recorder;
  recorder.SetDevice(uint8_t(device));
  recorder.SetNotify(&printer, 0);
  ConsoleStopOnSignal([&] { recorder.Stop(); });
  if (!recorder.Start(sink, maxTime, voice, hold)) {
    std::fprintf(stderr, "orativo-record: the input device cannot be opened\n");
    return 1;
  }
  sink.Release();  // the recorder holds it; the file is completed when it lets go
  return app.exec();
}
