#pragma once
// Reordering by drag and drop: every audio record holds its own number
// ("expression"/"order", lessons/expression_order.h lists by it), and a drop
// rewrites the numbers so the dragged rows land before the target row.
#include <string>
#include <vector>

// Full path of an expression's record in the lesson's folder.
std::string ExpressionRecordPath(const std::string& lessonPath, const std::string& name);
int ReadExpressionOrder(const std::string& recordPath);
void WriteExpressionOrder(const std::string& recordPath, int order);

// Where a drop lands, from a hit test at the drop height.
enum class DropHit { kAbove, kOnItem, kBelow, kNowhere, kOther };
int DropTarget(DropHit hit, int hitRow, int rowCount);
// The numbers to write, row by row in list order, when the selected rows are
// dropped before row target (target == row count: at the end). The dragged
// rows keep their relative order and so do the others; all numbers differ.
std::vector<int> DropOrders(const std::vector<bool>& selected, int target);
