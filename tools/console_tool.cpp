#include "tools/console_tool.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>

namespace {

int signalPipe[2] = {-1, -1};

void OnSignal(int) {
  char c = 1;
  ssize_t ignored = write(signalPipe[1], &c, 1);  // the only safe thing to do in a handler
  (void)ignored;
}

}  // namespace

void ConsoleStopOnSignal(std::function<void()> onStop) {
  if (pipe(signalPipe) != 0) return;
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
  QObject::connect(notifier, &QSocketNotifier::activated, [onStop = std::move(onStop)] { onStop(); });
}

void ConsolePrintList(const char* title, const std::vector<std::string>& list) {
  std::printf("%s\n", title);
  for (size_t i = 0; i < list.size(); ++i) std::printf("  %zu  %s\n", i, list[i].c_str());
}

void ConsolePrintLevels(const LLevelRecord& levels) {
  std::printf("level");
  for (int c = 0; c < levels.channels; ++c) std::printf(" %d", levels.level[c]);
  std::printf(" dB\n");
}
