#include "tutor/expression_order.h"

#include <algorithm>
#include <cctype>

#include "framework/lfile.h"
#include "framework/settings.h"
#include "lessons/lesson.h"
#include "lessons/lesson_files.h"

namespace {

int CompareNoCase(const std::string& a, const std::string& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    int ca = std::tolower(static_cast<unsigned char>(a[i])), cb = std::tolower(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace

void SortExpressions(std::vector<ExpressionEntry>& entries) {
  std::sort(entries.begin(), entries.end(), [](const ExpressionEntry& a, const ExpressionEntry& b) {
    if (a.order != b.order) return a.order < b.order;
    int c = CompareNoCase(a.name, b.name);
    return c != 0 ? c < 0 : a.name < b.name;
  });
}

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

std::vector<ExpressionEntry> ReadExpressions(const std::string& lessonPath) {
  std::vector<ExpressionEntry> out;
  if (lessonPath.empty()) return out;
  for (const std::string& record : LLesson::ListExpressions(lessonPath)) {
    ExpressionEntry entry;
    entry.name = record.substr(0, record.size() - 4);
    entry.order = ReadExpressionOrder(ExpressionRecordPath(lessonPath, entry.name));
    out.push_back(std::move(entry));
  }
  SortExpressions(out);
  return out;
}

int NextExpressionOrder(const std::vector<ExpressionEntry>& listed) {
  return listed.empty() ? 0 : listed.back().order + 1;
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
