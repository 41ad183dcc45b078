#pragma once
// The lesson order of expressions: every audio record holds its own number
// ("expression"/"order"); the list sorts by it, ties by name, and a drop
// rewrites the numbers so the dragged rows land before the target row.
#include <string>
#include <vector>

struct ExpressionEntry {
  std::string name;  // the record's file name without ".raf"
  int order = 0;
};

// Sorts by order, equal orders by name (letter case ignored first, so every
// file system gives the same list).
void SortExpressions(std::vector<ExpressionEntry>& entries);
// The expressions of the lesson whose lesson file is lessonPath, in list order.
std::vector<ExpressionEntry> ReadExpressions(const std::string& lessonPath);
// Full path of an expression's record in the lesson's folder.
std::string ExpressionRecordPath(const std::string& lessonPath, const std::string& name);
int ReadExpressionOrder(const std::string& recordPath);
void WriteExpressionOrder(const std::string& recordPath, int order);
// The number a new expression gets: the last row's plus one, 0 for an empty lesson.
int NextExpressionOrder(const std::vector<ExpressionEntry>& listed);

// Where a drop lands, from a hit test at the drop height.
enum class DropHit { kAbove, kOnItem, kBelow, kNowhere, kOther };
int DropTarget(DropHit hit, int hitRow, int rowCount);
// The numbers to write, row by row in list order, when the selected rows are
// dropped before row target (target == row count: at the end). The dragged
// rows keep their relative order and so do the others; all numbers differ.
std::vector<int> DropOrders(const std::vector<bool>& selected, int target);
