#pragma once
// Private-profile files ("[Section]" / "Key=Value" text files, as lesson files
// and audio records are), read and written with the semantics files written on
// Windows rely on:
//   - sections and keys are found without regard to case; the first match wins;
//   - blanks around names and values are dropped; a value in matching single or
//     double quotes reads without them; a value is split off at the first "=";
//   - comment lines (";"), blank and unknown lines are kept; LF and CRLF both read;
//   - a write changes only the line it must: every other byte stays as it was;
//     lines it adds end in CRLF so that the file still reads on Windows;
//   - the file is created on the first write, but never its folder.
// Writes replace the file in one step (keeping its mode) under the file's lock.
// Only the first kProfileParseCapBytes of a file are parsed, so that a file
// that is not text costs bounded memory; a larger file is never rewritten.
#include <cstddef>
#include <string>
#include <vector>

constexpr size_t kProfileParseCapBytes = 1 << 20;

// The value, or defaultValue (less trailing blanks) when the file, section or
// key is missing. An existing empty value reads as "". At most size - 1
// characters are returned, as from a buffer of size bytes; size 0 gives "".
std::string PrivateProfileGetString(const std::string& file, const std::string& section, const std::string& key,
                                    const std::string& defaultValue, size_t size);
// True and *value set when the key exists (no size limit).
bool PrivateProfileFind(const std::string& file, const std::string& section, const std::string& key,
                        std::string* value);

// Writes key=value in the section, adding section and key as needed. Line
// breaks and NULs in the value become blanks (they would split the line);
// a section name holding "]" or a key holding "=" cannot be written (false).
bool PrivateProfileWriteString(const std::string& file, const std::string& section, const std::string& key,
                               const std::string& value);
// Removes the key from the section; true when it is gone afterwards.
bool PrivateProfileDeleteKey(const std::string& file, const std::string& section, const std::string& key);
// Removes the section with all its lines; true when it is gone afterwards.
bool PrivateProfileDeleteSection(const std::string& file, const std::string& section);

// Section names in file order, each name once (first spelling).
std::vector<std::string> PrivateProfileSectionNames(const std::string& file);
// Key names of the (first matching) section in file order, each once.
std::vector<std::string> PrivateProfileKeys(const std::string& file, const std::string& section);
