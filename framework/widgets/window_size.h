#pragma once
// Storing and restoring a window's size and placement in a settings section
// with the keys "X", "Y", "Width", "Height" and "Maximized". X and Y place the
// frame, Width and Height are the client area's.
#include <QRect>
#include <functional>
#include <string>

class QWidget;

struct LWindowSizeDefaults {
  int x = 160;
  int y = 80;
  int width = 505;
  int height = 494;
  bool maximized = false;
};

// Where the values live: the machine-wide settings store unless a test
// puts its own store in.
struct LWindowSizeStorage {
  std::function<int(const std::string& section, const std::string& key, int fallback)> getInt;
  std::function<void(const std::string& section, const std::string& key, int value)> setInt;
};
void LSetWindowSizeStorage(LWindowSizeStorage storage);  // empty: the default store
// Other per-window values (a divider position) kept in the same store.
int LWindowSettingGetInt(const std::string& section, const std::string& key, int fallback);
void LWindowSettingSetInt(const std::string& section, const std::string& key, int value);

// Fits rect inside desktop: size cut to the desktop's, then moved right/down
// onto the left/top edge and left/up off the right/bottom edge.
QRect LClampToDesktop(QRect rect, const QRect& desktop);
QRect LDesktopRect();

void WindowSizeSettingsStore(QWidget* window, const std::string& section);
void WindowSizeSettingsRestore(QWidget* window, const std::string& section, const LWindowSizeDefaults& defaults);
