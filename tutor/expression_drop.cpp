#include "tutor/expression_drop.h"

#include <algorithm>

#include "framework/lfile.h"
#include "framework/settings.h"
#include "lessons/lesson_files.h"

std::string ExpressionRecordPath(const std::string& lessonPath, const std::string& name) {
  std::string folder;
  LFile::GetFolderFromPath(folder, lessonPath);
  LFile::FilePathCat(folder, name, ".raf");
  return folder;
}

int ReadExpressionOrder(const std::string& recordPath) {
  return ProfileReadInt(lessonfiles::ResolveExpressionFile(recordPath), "expression", "order", 0);
}

void WriteExpressionOrder(const std::string& recordPath, int order) {
  std::string record = lessonfiles::ResolveExpressionFile(recordPath);
  ProfileWriteInt(record, "expression", "order", order);
  ProfileFlush(record);
}

int DropTarget(DropHit hit, int hitRow, int rowCount) {
  switch (hit) {
    case DropHit::kOnItem:
      return std::clamp(hitRow, 0, rowCount);
    case DropHit::kBelow:
    case DropHit::kNowhere:
      return rowCount;
    default:
      return 0;
  }
}

std::vector<int> DropOrders(const std::vector<bool>& selected, int target) {
  int count = int(selected.size());
  target = std::clamp(target, 0, count);
  int s = int(std::count(selected.begin(), selected.end(), true));
  std::vector<int> orders(selected.size());
  int k = target;
  for (int i = 0; i < count; ++i) {
    if (selected[size_t(i)])
      orders[size_t(i)] = k++;
    else
      orders[size_t(i)] = i < target ? i : s + i + 1;
  }
  return orders;
}
