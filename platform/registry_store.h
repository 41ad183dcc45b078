#pragma once
// What stands in for the registry: two INI-style stores in the config folder,
// "machine.ini" for the machine-wide scope and "user.ini" for the per-user
// scope. Every value is text.
//
// A key path below the program's own key ("Software\Kestrelon\Orativo\Settings")
// is kept in the section named by its last part ("[Settings]"); any other key
// path (an uninstall entry, a companion program's key) is kept in a section
// named by the whole path, so that different paths never share a section.
// Section and value names compare without regard to case. A missing value
// differs from an empty one. Values may hold any bytes: line breaks, control
// characters and blanks at either end are escaped in the file.
//
// Writes re-read the file under its lock and replace it in one step, so a
// crash never leaves a half-written store and two processes writing different
// values never lose each other's change.
#include <string>

enum class RegistryScope { Machine, User };

// "Software\Kestrelon\Orativo": the program's own key.
extern const char* const kRegistryProgramKey;

// The store file of a scope ("" when the config folder cannot be made).
std::string RegistryStorePath(RegistryScope scope);
// The section a key path is kept in ("/" and "\" both separate).
std::string RegistrySectionOf(const std::string& subKey);

// True and *value set when the value exists (it may be empty).
bool RegistryGetValue(RegistryScope scope, const std::string& subKey, const std::string& name, std::string* value);
// Creates the key and value as needed; false when the store cannot be written.
bool RegistrySetValue(RegistryScope scope, const std::string& subKey, const std::string& name,
                      const std::string& value);
// True when the value is gone afterwards (also when it never existed).
bool RegistryDeleteValue(RegistryScope scope, const std::string& subKey, const std::string& name);
// Removes the key with all its values; true when it is gone afterwards.
bool RegistryDeleteKey(RegistryScope scope, const std::string& subKey);
