#pragma once
// Where the program keeps things on this machine. ORATIVO_HOME moves every
// location under one folder (tests always set it); otherwise the XDG folders.
//
//   folder            ORATIVO_HOME set     otherwise
//   config            $H/config            $XDG_CONFIG_HOME/orativo   (~/.config/orativo)
//   user data         $H/data              $XDG_DATA_HOME             (~/.local/share)
//   shared data       $H/shared            /var/lib when writable, else the user data folder
//   log               $H/log               $XDG_STATE_HOME/orativo    (~/.local/state/orativo)
//   private temp      $H/tmp               $XDG_RUNTIME_DIR/orativo, else /tmp/orativo-<uid>
//
// The data folders stand in for the user's and the all-users application-data
// folders; the program adds "Kestrelon/Orativo" below them itself.
// Every function creates the folder when missing and returns "" when it cannot.
#include <string>

std::string PlatformHomeOverride();  // ORATIVO_HOME, or ""
std::string PlatformConfigFolder();
std::string PlatformUserDataFolder();
std::string PlatformSharedDataFolder();
std::string PlatformLogFolder();
// A folder only the current user can enter (mode 0700, owned by the user):
// files with fixed names are safe from other users here.
std::string PlatformPrivateTempFolder();
// Folder holding the running executable ("" when unknown).
std::string PlatformProgramFolder();
// Creates folder and its parents; true when it exists afterwards.
bool PlatformMakeFolders(const std::string& folder, unsigned mode = 0755);
