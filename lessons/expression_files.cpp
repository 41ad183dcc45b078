#include "lessons/expression_files.h"

#include <dirent.h>
#include <sys/stat.h>

#include <QString>

#include "framework/lfile.h"

std::string FindExpressionFile(const std::string& folder, const std::string& fileName) {
  std::string exact = folder;
  LFile::FilePathCat(exact, fileName);
  struct stat info;
  if (stat(exact.c_str(), &info) == 0 && S_ISREG(info.st_mode)) return exact;

  const QString wanted = QString::fromUtf8(fileName.data(), static_cast<qsizetype>(fileName.size()));
  std::string best;
  if (DIR* listing = opendir(folder.c_str())) {
    while (dirent* entry = readdir(listing)) {
      std::string name = entry->d_name;
      if (QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())).compare(wanted, Qt::CaseInsensitive) != 0)
        continue;
      std::string path = folder;
      LFile::FilePathCat(path, name);
      if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
      if (best.empty() || path < best) best = path;
    }
    closedir(listing);
  }
  return best;
}
