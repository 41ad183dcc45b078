#include "lessons/lesson_files.h"

#include <dirent.h>
#include <sys/stat.h>

namespace lessonfiles {

std::vector<std::string> ListEntries(const std::string& folder, bool folders) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return names;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat st;
    if (stat((folder + "/" + name).c_str(), &st) != 0) continue;
    if (folders ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode)) names.push_back(name);
  }
  closedir(dir);
  return names;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat first, second;
  return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

static void Split(const std::string& path, std::string& folder, std::string& name) {
  size_t cut = path.find_last_of("/\\");
  folder = cut == std::string::npos ? "." : path.substr(0, cut);
  name = cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string ResolveCase(const std::string& path) {
  if (path.empty() || FileExists(path)) return path;
  std::string folder, name;
  Split(path, folder, name);
  for (const std::string& entry : ListEntries(folder, false)) {
    if (EqualNoCase(entry, name)) return folder + "/" + entry;
  }
  return path;
}

std::vector<std::string> ExpressionFiles(const std::string& folder, const std::string& stem) {
  std::vector<std::string> out;
  std::vector<std::string> entries = ListEntries(folder, false);
  for (const std::string& entry : entries) {
    if (entry.size() <= stem.size() || entry[stem.size()] != '.') continue;
    // A lesson file is never an expression's, whatever either is called: a
    // lesson file need not be named after its folder.
    if (entry.size() >= 4 && EqualNoCase(entry.substr(entry.size() - 4), ".ini")) continue;
    std::string entryStem = entry.substr(0, stem.size());
    if (entryStem != stem) {
      if (!EqualNoCase(entryStem, stem)) continue;
      bool ownRecord = false;  // a case variant with its own record is another expression
      for (const std::string& other : entries) {
        if (other.size() == stem.size() + 4 && other.compare(0, stem.size(), entryStem) == 0 &&
            EqualNoCase(other.substr(stem.size()), ".raf"))
          ownRecord = true;
      }
      if (ownRecord) continue;
    }
    out.push_back(folder + "/" + entry);
  }
  return out;
}

std::string ResolveExpressionFile(const std::string& path) {
  if (path.empty() || FileExists(path)) return path;
  std::string folder, name;
  Split(path, folder, name);
  size_t dot = name.rfind('.');
  if (dot == std::string::npos) return path;
  for (const std::string& file : ExpressionFiles(folder, name.substr(0, dot))) {
    if (EqualNoCase(file.substr(file.size() - name.size()), name)) return file;
  }
  return path;
}

std::vector<std::string> RecordNames(const std::string& folder) {
  std::vector<std::string> out;
  for (const std::string& entry : ListEntries(folder, false)) {
    if (entry.size() > 4 && EqualNoCase(entry.substr(entry.size() - 4), ".raf")) out.push_back(entry);
  }
  return out;
}

}  // namespace lessonfiles
