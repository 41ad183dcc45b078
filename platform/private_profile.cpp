#include "platform/private_profile.h"

#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <unordered_set>

#include "platform/atomic_file.h"
#include "platform/debug_log.h"
#include "platform/text_case.h"

namespace {

struct Line {
  enum Kind { kBlank, kComment, kSection, kKey, kOther };
  size_t begin = 0;  // first byte of the line
  size_t end = 0;    // end of its text, before "\r\n" or "\n"
  size_t next = 0;   // first byte of the following line
  Kind kind = kBlank;
  std::string_view name;   // section or key name, trimmed
  std::string_view value;  // key's value, trimmed, quotes still on
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Reads the line starting at pos; false at the end of the content.
bool ReadLine(std::string_view content, size_t pos, Line* line) {
  if (pos >= content.size()) return false;
  size_t newline = content.find('\n', pos);
  line->begin = pos;
  line->next = newline == std::string_view::npos ? content.size() : newline + 1;
  line->end = newline == std::string_view::npos ? content.size() : newline;
  if (line->end > pos && content[line->end - 1] == '\r') --line->end;
  line->name = line->value = {};
  std::string_view text = Trim(content.substr(pos, line->end - pos));
  if (text.empty()) {
    line->kind = Line::kBlank;
  } else if (text[0] == ';') {
    line->kind = Line::kComment;
  } else if (text[0] == '[') {
    line->kind = Line::kSection;
    size_t close = text.find(']');
    line->name = Trim(text.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
  } else if (size_t equals = text.find('='); equals != std::string_view::npos && equals > 0) {
    line->kind = Line::kKey;
    line->name = Trim(text.substr(0, equals));
    line->value = Trim(text.substr(equals + 1));
  } else {
    line->kind = Line::kOther;
  }
  return true;
}

// The lines of the first section named so: [bodyBegin, bodyEnd) after its header.
struct SectionSpan {
  bool found = false;
  size_t headerBegin = 0;
  size_t bodyBegin = 0;
  size_t bodyEnd = 0;
};

SectionSpan FindSection(std::string_view content, std::string_view section) {
  SectionSpan span;
  std::unordered_set<std::string> seen;
  Line line;
  for (size_t pos = 0; ReadLine(content, pos, &line); pos = line.next) {
    if (line.kind != Line::kSection) continue;
    if (span.found) {
      span.bodyEnd = line.begin;
      return span;
    }
    if (EqualNoCase(line.name, section)) {
      span.found = true;
      span.headerBegin = line.begin;
      span.bodyBegin = line.next;
    }
  }
  span.bodyEnd = content.size();
  return span;
}

// First line of the section's body holding the key.
bool FindKey(std::string_view content, const SectionSpan& span, std::string_view key, Line* found) {
  Line line;
  for (size_t pos = span.bodyBegin; pos < span.bodyEnd && ReadLine(content, pos, &line); pos = line.next) {
    if (line.kind == Line::kKey && EqualNoCase(line.name, key)) {
      *found = line;
      return true;
    }
  }
  return false;
}

std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
    return value.substr(1, value.size() - 2);
  return value;
}

// Text as a C string would hold it: up to the first NUL.
std::string_view UpToNul(std::string_view text) { return text.substr(0, text.find('\0')); }

bool ReadProfile(const std::string& file, std::string* content) {
  return PlatformReadFileCapped(file, kProfileParseCapBytes, content);
}

// Runs change on the file's text under its lock. change returns false when
// nothing needs writing. True when the file holds the change afterwards.
template <typename Change>
bool Update(const std::string& file, bool createWhenMissing, Change change) {
  bool called = false, changed = false;
  bool rewritten = PlatformUpdateFile(file, kProfileParseCapBytes, createWhenMissing, [&](std::string& content, bool) {
    called = true;
    changed = change(content);
    return changed;
  });
  if (rewritten) return true;
  if (changed) {
    LDebugLog("PrivateProfile cannot write %s", file.c_str());
    return false;
  }
  if (called) return true;  // nothing to change
  return !createWhenMissing && access(file.c_str(), F_OK) != 0 && errno == ENOENT;
}

}  // namespace

bool PrivateProfileFind(const std::string& file, const std::string& section, const std::string& key,
                        std::string* value) {
  std::string content;
  if (!ReadProfile(file, &content)) return false;
  SectionSpan span = FindSection(content, Trim(section));
  Line line;
  if (!span.found || !FindKey(content, span, Trim(key), &line)) return false;
  *value = std::string(UpToNul(Unquote(line.value)));
  return true;
}

std::string PrivateProfileGetString(const std::string& file, const std::string& section, const std::string& key,
                                    const std::string& defaultValue, size_t size) {
  if (size == 0) return "";
  std::string value;
  if (!PrivateProfileFind(file, section, key, &value)) {
    std::string_view fallback = UpToNul(defaultValue);
    while (!fallback.empty() && (fallback.back() == ' ' || fallback.back() == '\t')) fallback.remove_suffix(1);
    value = fallback;
  }
  if (value.size() > size - 1) value.resize(size - 1);
  return value;
}

bool PrivateProfileWriteString(const std::string& file, const std::string& section, const std::string& key,
                               const std::string& value) {
  std::string_view sectionName = Trim(section), keyName = Trim(key);
  auto bad = [](std::string_view name, std::string_view forbidden) {
    return name.empty() || name.find_first_of(forbidden) != std::string_view::npos;
  };
  // Names that would read back as something else (or split the line) are refused.
  if (bad(sectionName, std::string_view("]\r\n\0", 4)) || bad(keyName, std::string_view("=\r\n\0", 4)) ||
      keyName[0] == ';' || keyName[0] == '[') {
    LDebugLog("PrivateProfileWriteString refused the name [%s] %s", section.c_str(), key.c_str());
    return false;
  }
  std::string text = value;
  for (char& c : text)
    if (c == '\r' || c == '\n' || c == '\0') c = ' ';
  std::string entry = std::string(keyName) + "=" + text;

  return Update(file, true, [&](std::string& content) {
    SectionSpan span = FindSection(content, sectionName);
    if (span.found) {
      Line line;
      if (FindKey(content, span, keyName, &line)) {
        if (std::string_view(content).substr(line.begin, line.end - line.begin) == entry) return false;
        content.replace(line.begin, line.end - line.begin, entry);
        return true;
      }
      // After the section's last key, so comments leading into the next section stay with it.
      size_t insertAt = span.bodyBegin;
      for (size_t pos = span.bodyBegin; pos < span.bodyEnd && ReadLine(content, pos, &line); pos = line.next)
        if (line.kind == Line::kKey) insertAt = line.next;
      std::string add = entry + "\r\n";
      if (insertAt > 0 && content[insertAt - 1] != '\n') add = "\r\n" + add;  // header or key on the last line
      content.insert(insertAt, add);
      return true;
    }
    std::string add;
    if (!content.empty()) add = content.back() == '\n' ? "\r\n" : "\r\n\r\n";
    add += "[" + std::string(sectionName) + "]\r\n" + entry + "\r\n";
    content += add;
    return true;
  });
}

bool PrivateProfileDeleteKey(const std::string& file, const std::string& section, const std::string& key) {
  std::string_view sectionName = Trim(section), keyName = Trim(key);
  return Update(file, false, [&](std::string& content) {
    SectionSpan span = FindSection(content, sectionName);
    if (!span.found) return false;
    std::string kept = content.substr(0, span.bodyBegin);
    bool removed = false;
    Line line;
    for (size_t pos = span.bodyBegin; pos < span.bodyEnd && ReadLine(content, pos, &line); pos = line.next) {
      if (line.kind == Line::kKey && EqualNoCase(line.name, keyName))
        removed = true;
      else
        kept.append(content, line.begin, line.next - line.begin);
    }
    if (!removed) return false;
    kept.append(content, span.bodyEnd, std::string::npos);
    content = std::move(kept);
    return true;
  });
}

bool PrivateProfileDeleteSection(const std::string& file, const std::string& section) {
  std::string_view sectionName = Trim(section);
  return Update(file, false, [&](std::string& content) {
    std::string kept;
    bool removed = false, skipping = false;
    Line line;
    for (size_t pos = 0; ReadLine(content, pos, &line); pos = line.next) {
      if (line.kind == Line::kSection) skipping = EqualNoCase(line.name, sectionName);
      if (skipping)
        removed = true;
      else
        kept.append(content, line.begin, line.next - line.begin);
    }
    if (!removed) return false;
    content = std::move(kept);
    return true;
  });
}

std::vector<std::string> PrivateProfileSectionNames(const std::string& file) {
  std::vector<std::string> names;
  std::string content;
  if (!ReadProfile(file, &content)) return names;
  std::unordered_set<std::string> seen;
  Line line;
  for (size_t pos = 0; ReadLine(content, pos, &line); pos = line.next) {
    if (line.kind != Line::kSection) continue;
    if (seen.insert(LowerCase(line.name)).second) names.emplace_back(line.name);
  }
  return names;
}

std::vector<std::string> PrivateProfileKeys(const std::string& file, const std::string& section) {
  std::vector<std::string> keys;
  std::string content;
  if (!ReadProfile(file, &content)) return keys;
  SectionSpan span = FindSection(content, Trim(section));
  if (!span.found) return keys;
  std::unordered_set<std::string> seen;
  Line line;
  for (size_t pos = span.bodyBegin; pos < span.bodyEnd && ReadLine(content, pos, &line); pos = line.next) {
    if (line.kind != Line::kKey) continue;
    if (seen.insert(LowerCase(line.name)).second) keys.emplace_back(line.name);
  }
  return keys;
}
