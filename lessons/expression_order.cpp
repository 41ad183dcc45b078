#include "lessons/expression_order.h"

#include <strings.h>

#include <algorithm>

#include "framework/lfile.h"
#include "framework/settings.h"
#include "lessons/lesson_files.h"

std::vector<LExpressionEntry> ListExpressionsInOrder(const std::string& lessonPath) {
  std::vector<LExpressionEntry> list;
  if (lessonPath.empty()) return list;
  std::string folder;
  LFile::GetFolderFromPath(folder, lessonPath);
  std::vector<std::string> files = lessonfiles::RecordNames(folder);
  std::sort(files.begin(), files.end(), [](const std::string& a, const std::string& b) {
    int c = strcasecmp(a.c_str(), b.c_str());
    return c != 0 ? c < 0 : a < b;
  });
  for (const std::string& file : files) {
    LExpressionEntry e;
    e.record = folder;
    LFile::FilePathCat(e.record, file);
    e.name = file.substr(0, file.size() - 4);
    e.order = ProfileReadInt(e.record, "expression", "order", 0);
    auto at = std::find_if(list.begin(), list.end(), [&](const LExpressionEntry& x) { return x.order >= e.order; });
    list.insert(at, std::move(e));
  }
  return list;
}
