// orativo-pack: the build's side of setup.
//   orativo-pack install PROGRAM PAYLOAD-FOLDER OUT   the install file: the program, then the
//                                                     payload files found below PAYLOAD-FOLDER
//   orativo-pack entries FOLDER PROGRAM HELP-PAGE     menu entries of both modes, for the package
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "setup/desktop_entries.h"
#include "setup/install_file.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: orativo-pack install PROGRAM PAYLOAD-FOLDER OUT\n"
               "       orativo-pack entries FOLDER PROGRAM HELP-PAGE\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) return Usage();
  const std::string command = argv[1];
  if (command == "install") {
    std::vector<std::string> files{argv[2]};
    const std::vector<LPayloadEntry>& table = PayloadTable();
    for (size_t i = 1; i < table.size(); ++i) files.push_back(std::string(argv[3]) + "/" + table[i].Path());
    std::string error;
    if (!WriteInstallFile(argv[4], files, &error)) {
      std::fprintf(stderr, "orativo-pack: %s\n", error.c_str());
      return 1;
    }
    return 0;
  }
  if (command == "entries") {
    for (const char* mode : {"Tutor", "Student"}) {
      std::ofstream out(std::string(argv[2]) + "/" + ModeDesktopFileName(mode));
      out << ModeDesktopEntry(argv[3], mode, argv[4]);
      if (!out.flush()) return 1;
    }
    return 0;
  }
  return Usage();
}
