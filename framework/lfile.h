#pragma once
// Files and paths: path arithmetic, the program's data folders, folder
// removal, raw settings-store strings, whole-file text reading and writing,
// and a growable text buffer.
//
// Paths hold at most LFile::kMaxPathChars bytes. Both '\\' and '/' separate
// when a path is taken apart; a separator a helper adds is '/'. Truncation
// never splits a UTF-8 sequence.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Which settings scope a raw string value lives in.
enum class LRegistryRoot { CurrentUser, LocalMachine };

class LFile {
 public:
  // The longest path any helper writes (a 260-byte buffer with its terminator).
  static constexpr size_t kMaxPathChars = 259;
  // The most a text-file read returns.
  static constexpr size_t kMaxTextFileBytes = 65536;
  static constexpr char kSeparator = '/';

  static bool IsSeparator(char c) { return c == '\\' || c == '/'; }

  // Appends name to path, with a separator first unless path is empty or ends
  // with one. Does nothing when path already holds kMaxPathChars or more.
  static void FilePathCat(std::string& path, std::string_view name);
  // The same, then extension directly behind name; returns the new length.
  static size_t FilePathCat(std::string& path, std::string_view name, std::string_view extension);

  // path cut at its last separator (dropped); "" without one. A path whose
  // only separator is the leading '/' gives "/" (the root, not "").
  static void GetFolderFromPath(std::string& out, std::string_view path);
  // The part after the last separator.
  static void GetFileFromPath(std::string& out, std::string_view path);
  // The file part without its extension; a name whose only dot comes first keeps it.
  static void GetFileTitleFromPath(std::string& out, std::string_view path);
  // From the last dot of the file part, dot included; "" without one.
  static void GetFileExtFromPath(std::string& out, std::string_view path);
  // Replaces the extension of path's file part by ext (which carries its dot);
  // a file part without a dot (or whose dot is the path's first character) is left alone.
  static void ApplyNewFileExtension(std::string& out, std::string_view path, std::string_view ext);
  // text without the characters a file name cannot hold (" * . / : < > ? \ |,
  // control characters, bytes 128-255); true when something is left.
  static bool GetValidFileName(std::string& out, std::string_view text);

  // The per-user and the all-users application data folders.
  static void GetUserDataFolder(std::string& out);
  static void GetSharedDataFolder(std::string& out);
  // The data folder + "Kestrelon/Orativo", created when missing; true only when
  // "Orativo" was created by this call.
  static bool GetUserProgramDataFolder(std::string& out);
  static bool GetSharedProgramDataFolder(std::string& out);

  // Deletes every entry of folder whose name does not begin with '.', then the
  // folder itself; true when the folder is gone. Sub-folders are not descended
  // into, symbolic links are removed as links, and a folder that is itself a
  // symbolic link is refused.
  static bool DeleteFolderAndFiles(const std::string& folder);

  // Raw string values of the settings store. Get copies defaultValue to out
  // first; true when the value was read (at most kMaxPathChars of it). Set and delete ignore failures.
  static bool RegGetString(LRegistryRoot root, const std::string& subKey, const std::string& valueName,
                           const std::string& defaultValue, std::string& out);
  static void RegSetString(LRegistryRoot root, const std::string& subKey, const std::string& valueName,
                           const std::string& value);
  static void RegDeleteString(LRegistryRoot root, const std::string& subKey, const std::string& valueName);

  // At most kMaxTextFileBytes of the file, up to its first zero byte; "" when
  // the file is missing, unreadable or empty.
  static std::string ReadTextFile(const std::string& fileName);
  // Creates or truncates the file and writes text; true when all was written.
  static bool WriteTextFile(const std::string& fileName, std::string_view text);

  static void SwapBytes16(uint16_t& value) { value = static_cast<uint16_t>((value >> 8) | (value << 8)); }
  static void SwapBytes32(uint32_t& value) {
    value = (value >> 24) | ((value >> 8) & 0xFF00u) | ((value << 8) & 0xFF0000u) | (value << 24);
  }

  // Cuts text to at most max bytes without splitting a UTF-8 sequence.
  static void TruncateUtf8(std::string& text, size_t max);
};

// A growing zero-terminated text, used to assemble generated pages.
class LTextBuffer {
 public:
  void Append(std::string_view text) { text_.append(text); }
  // Makes room for n bytes (the terminator included) when n exceeds the capacity.
  void Reserve(size_t n) {
    if (n > Capacity()) text_.reserve(n - 1);
  }
  const char* Text() const { return text_.c_str(); }
  const std::string& Str() const { return text_; }
  size_t Length() const { return text_.size(); }
  size_t Capacity() const { return text_.capacity() + 1; }
  void Clear() { text_.clear(); }

 private:
  std::string text_;
};
