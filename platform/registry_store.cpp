#include "platform/registry_store.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "platform/app_paths.h"
#include "platform/atomic_file.h"
#include "platform/debug_log.h"
#include "platform/text_case.h"

const char* const kRegistryProgramKey = "Software\\Kestrelon\\Orativo";

namespace {

// The stores are small; anything past this is not ours and is never rewritten.
constexpr size_t kStoreCapBytes = 16 << 20;

struct Value {
  std::string name;
  std::string text;
};
struct Section {
  std::string name;
  std::vector<Value> values;
};
using Store = std::vector<Section>;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Escapes "\", control bytes, blanks at either end and, in names, the INI
// punctuation, so that every string survives a write and a read.
std::string Escape(const std::string& text, bool isName) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    bool edgeBlank = IsBlank(char(c)) && (i == 0 || i + 1 == text.size());
    bool punctuation = isName && (c == '=' || c == '[' || c == ']' || c == ';');
    if (c == '\\') {
      out += "\\\\";
    } else if (c < 0x20 || c == 0x7f || edgeBlank || punctuation) {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    } else {
      out += char(c);
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = AsciiLower(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      if (text[i + 1] == '\\') {
        out += '\\';
        ++i;
        continue;
      }
      if (text[i + 1] == 'x' && i + 3 < text.size() && HexDigit(text[i + 2]) >= 0 && HexDigit(text[i + 3]) >= 0) {
        out += char(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3]));
        i += 3;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

std::string Trim(const std::string& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && (IsBlank(text[begin]) || text[begin] == '\r')) ++begin;
  while (end > begin && (IsBlank(text[end - 1]) || text[end - 1] == '\r')) --end;
  return text.substr(begin, end - begin);
}

Store Parse(const std::string& content) {
  Store store;
  size_t pos = 0;
  while (pos < content.size()) {
    size_t end = content.find('\n', pos);
    if (end == std::string::npos) end = content.size();
    std::string line = Trim(content.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      size_t close = line.find(']');
      store.push_back({Unescape(Trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1))), {}});
      continue;
    }
    size_t equals = line.find('=');
    if (equals == std::string::npos || store.empty()) continue;
    store.back().values.push_back({Unescape(Trim(line.substr(0, equals))), Unescape(Trim(line.substr(equals + 1)))});
  }
  return store;
}

std::string Serialise(const Store& store, RegistryScope scope) {
  std::string out = scope == RegistryScope::Machine ? "; Orativo settings for every user\n" : "; Orativo settings\n";
  for (const Section& section : store) {
    out += "\n[" + Escape(section.name, true) + "]\n";
    for (const Value& value : section.values) out += Escape(value.name, true) + "=" + Escape(value.text, false) + "\n";
  }
  return out;
}

Section* FindSection(Store& store, const std::string& name) {
  for (Section& section : store)
    if (EqualNoCase(section.name, name)) return &section;
  return nullptr;
}

Value* FindValue(Section& section, const std::string& name) {
  for (Value& value : section.values)
    if (EqualNoCase(value.name, name)) return &value;
  return nullptr;
}

// Applies change to the parsed store under the file's lock; change returns
// false when there is nothing to write. True when the store holds the change.
template <typename Change>
bool Update(RegistryScope scope, bool createWhenMissing, Change change) {
  std::string path = RegistryStorePath(scope);
  if (path.empty()) return false;
  bool called = false, changed = false;
  bool rewritten = PlatformUpdateFile(
      path, kStoreCapBytes, createWhenMissing,
      [&](std::string& content, bool) {
        called = true;
        Store store = Parse(content);
        if (!change(store)) return false;
        changed = true;
        content = Serialise(store, scope);
        return true;
      },
      scope == RegistryScope::Machine ? 0644 : 0600);
  if (rewritten) return true;
  if (changed) {
    LDebugLog("RegistryStore cannot write %s", path.c_str());
    return false;
  }
  if (called) return true;  // nothing to change
  // Not even read: fine only when there is no store yet and nothing to create.
  return !createWhenMissing && access(path.c_str(), F_OK) != 0 && errno == ENOENT;
}

}  // namespace

std::string RegistryStorePath(RegistryScope scope) {
  std::string folder = PlatformConfigFolder();
  if (folder.empty()) return "";
  return folder + (scope == RegistryScope::Machine ? "/machine.ini" : "/user.ini");
}

std::string RegistrySectionOf(const std::string& subKey) {
  std::string path;
  for (char c : subKey) path += c == '/' ? '\\' : c;
  size_t begin = path.find_first_not_of('\\');
  size_t end = path.find_last_not_of('\\');
  path = begin == std::string::npos ? "" : path.substr(begin, end - begin + 1);
  std::string program = kRegistryProgramKey;
  if (path.size() > program.size() && path[program.size()] == '\\' &&
      EqualNoCase(path.substr(0, program.size()), program))
    return path.substr(program.size() + 1);
  return path;
}

bool RegistryGetValue(RegistryScope scope, const std::string& subKey, const std::string& name, std::string* value) {
  std::string path = RegistryStorePath(scope);
  std::string content;
  if (path.empty() || !PlatformReadFileCapped(path, kStoreCapBytes, &content)) return false;
  Store store = Parse(content);
  Section* section = FindSection(store, RegistrySectionOf(subKey));
  Value* found = section ? FindValue(*section, name) : nullptr;
  if (!found) return false;
  *value = found->text;
  return true;
}

bool RegistrySetValue(RegistryScope scope, const std::string& subKey, const std::string& name,
                      const std::string& value) {
  std::string sectionName = RegistrySectionOf(subKey);
  return Update(scope, true, [&](Store& store) {
    Section* section = FindSection(store, sectionName);
    if (!section) {
      store.push_back({sectionName, {}});
      section = &store.back();
    }
    if (Value* found = FindValue(*section, name)) {
      if (found->text == value) return false;
      found->text = value;
    } else {
      section->values.push_back({name, value});
    }
    return true;
  });
}

bool RegistryDeleteValue(RegistryScope scope, const std::string& subKey, const std::string& name) {
  std::string sectionName = RegistrySectionOf(subKey);
  return Update(scope, false, [&](Store& store) {
    Section* section = FindSection(store, sectionName);
    if (!section) return false;
    size_t before = section->values.size();
    std::erase_if(section->values, [&](const Value& value) { return EqualNoCase(value.name, name); });
    return section->values.size() != before;
  });
}

bool RegistryDeleteKey(RegistryScope scope, const std::string& subKey) {
  std::string sectionName = RegistrySectionOf(subKey);
  return Update(scope, false, [&](Store& store) {
    return std::erase_if(store, [&](const Section& section) { return EqualNoCase(section.name, sectionName); }) > 0;
  });
}
