#pragma once
// freedesktop.org menu entries for the installed program.
#include <string>
#include <vector>

// One argument of an Exec line: quoted when it needs to be, with the escapes
// of the desktop entry format (the value's own and the quoting's).
std::string DesktopExecArgument(const std::string& argument);

// "Orativo [Tutor]" running program -x "Tutor", with a help action.
std::string ModeDesktopEntry(const std::string& program, const std::string& mode, const std::string& helpPage);
std::string UninstallDesktopEntry(const std::string& uninstaller);
// The entry's file name for a mode: orativo-tutor.desktop, orativo-student.desktop.
std::string ModeDesktopFileName(const std::string& mode);

// The user's desktop folder from user-dirs.dirs (XDG_DESKTOP_DIR), else
// ~/Desktop; "" when that folder does not exist.
std::string UserDesktopFolder();
