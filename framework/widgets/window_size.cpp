#include "framework/widgets/window_size.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "framework/settings.h"

namespace {

LWindowSizeStorage& Storage() {
  static LWindowSizeStorage storage;
  return storage;
}

int GetInt(const std::string& section, const std::string& key, int fallback) {
  if (Storage().getInt) return Storage().getInt(section, key, fallback);
  if (key == "Maximized") return RegGetSettingBool(section, key, fallback != 0) ? 1 : 0;
  return RegGetSettingInt(section, key, fallback);
}

void SetInt(const std::string& section, const std::string& key, int value) {
  if (Storage().setInt) return Storage().setInt(section, key, value);
  if (key == "Maximized") return RegSetSettingBool(section, key, value != 0);
  RegSetSettingInt(section, key, value);
}

}  // namespace

void LSetWindowSizeStorage(LWindowSizeStorage storage) { Storage() = std::move(storage); }

int LWindowSettingGetInt(const std::string& section, const std::string& key, int fallback) {
  return GetInt(section, key, fallback);
}

void LWindowSettingSetInt(const std::string& section, const std::string& key, int value) {
  SetInt(section, key, value);
}

QRect LDesktopRect() {
  QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->geometry() : QRect(0, 0, 1024, 768);
}

QRect LClampToDesktop(QRect rect, const QRect& desktop) {
  int width = std::min(rect.width(), desktop.width());
  int height = std::min(rect.height(), desktop.height());
  int x = std::max(rect.x(), desktop.left());
  int y = std::max(rect.y(), desktop.top());
  if (x + width > desktop.left() + desktop.width()) x = desktop.left() + desktop.width() - width;
  if (y + height > desktop.top() + desktop.height()) y = desktop.top() + desktop.height() - height;
  return QRect(x, y, width, height);
}

void WindowSizeSettingsStore(QWidget* window, const std::string& section) {
  if (!window) return;
  Qt::WindowStates state = window->windowState();
  if (state & Qt::WindowMaximized) {
    SetInt(section, "Maximized", 1);
    return;
  }
  if (state & Qt::WindowMinimized) return;
  SetInt(section, "Maximized", 0);
  // Position of the frame, size of the client area: what move() and resize()
  // take back, so a window does not grow by its frame on every run.
  QRect frame = window->frameGeometry();
  QRect desktop = LDesktopRect();
  int overhang = std::max(0, frame.left() + frame.width() - (desktop.left() + desktop.width()));
  SetInt(section, "X", frame.left());
  SetInt(section, "Y", frame.top());
  SetInt(section, "Width", std::max(0, window->width() - overhang));
  SetInt(section, "Height", window->height());
}

void WindowSizeSettingsRestore(QWidget* window, const std::string& section, const LWindowSizeDefaults& defaults) {
  if (!window) return;
  QRect stored(GetInt(section, "X", defaults.x), GetInt(section, "Y", defaults.y),
               GetInt(section, "Width", defaults.width), GetInt(section, "Height", defaults.height));
  bool maximized = GetInt(section, "Maximized", defaults.maximized ? 1 : 0) != 0;
  if (maximized) {
    window->move(stored.topLeft());
    window->resize(std::max(1, stored.width()), std::max(1, stored.height()));
    window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
    return;
  }
  QRect rect = LClampToDesktop(stored, LDesktopRect());
  window->move(rect.topLeft());
  window->resize(std::max(1, rect.width()), std::max(1, rect.height()));
  window->update();
}
