#include "setup/desktop_entries.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace {

std::string Home() {
  const char* home = std::getenv("HOME");
  return home ? home : "";
}

// The value escapes of the key file format: only the backslash and line ends matter here.
std::string EscapeValue(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\')
      out += "\\\\";
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out;
}

}  // namespace

std::string DesktopExecArgument(const std::string& argument) {
  static const std::string kReserved = " \t\n\"'\\><~|&;$*?#()`";
  bool quote = argument.empty() || argument.find_first_of(kReserved) != std::string::npos;
  std::string out;
  for (char c : argument) {
    if (c == '%') {
      out += "%%";
    } else if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) {
      out += '\\';
      out += c;
    } else {
      out += c;
    }
  }
  return EscapeValue(quote ? "\"" + out + "\"" : out);
}

std::string ModeDesktopFileName(const std::string& mode) {
  std::string lower;
  for (char c : mode) lower += char(std::tolower(static_cast<unsigned char>(c)));
  return "orativo-" + lower + ".desktop";
}

std::string ModeDesktopEntry(const std::string& program, const std::string& mode, const std::string& helpPage) {
  const bool tutor = mode == "Tutor";
  std::string text = "[Desktop Entry]\nType=Application\nVersion=1.4\n";
  text += "Name=Orativo [" + mode + "]\n";
  text += tutor ? "Comment=Prepare and preview lessons of spoken phrases\n"
                : "Comment=Study lessons: listen, then say it yourself\n";
  text += "Exec=" + DesktopExecArgument(program) + " -x \"" + mode + "\"\n";
  text += "Icon=orativo\nTerminal=false\nCategories=Education;Languages;\nActions=Help;\n";
  text += "\n[Desktop Action Help]\nName=Orativo Help\n";
  text += "Exec=xdg-open " + DesktopExecArgument(helpPage) + "\n";
  return text;
}

std::string UninstallDesktopEntry(const std::string& uninstaller) {
  return "[Desktop Entry]\nType=Application\nVersion=1.4\nName=Orativo Uninstall\n"
         "Comment=Remove Orativo; lessons and recordings stay\n"
         "Exec=" +
         DesktopExecArgument(uninstaller) + "\nIcon=orativo\nTerminal=false\nCategories=Education;\n";
}

std::string UserDesktopFolder() {
  const std::string home = Home();
  if (home.empty()) return "";
  std::string folder = home + "/Desktop";
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::ifstream dirs((config && *config ? std::string(config) : home + "/.config") + "/user-dirs.dirs");
  for (std::string line; std::getline(dirs, line);) {
    const std::string key = "XDG_DESKTOP_DIR=\"";
    if (line.rfind(key, 0) != 0 || line.back() != '"') continue;
    std::string value = line.substr(key.size(), line.size() - key.size() - 1);
    if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
    while (value.size() > 1 && value.back() == '/') value.pop_back();
    if (!value.empty() && value[0] == '/') folder = value;
  }
  std::error_code ec;
  return std::filesystem::is_directory(folder, ec) && folder != home ? folder : "";
}
