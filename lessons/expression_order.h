#pragma once
// A lesson's expressions in study order: ascending `order` of their records.
// The folder is read in name order (without regard to case, then byte order)
// so that every machine lists a lesson alike; then each expression is put
// before the first one already listed whose order is not smaller, so among
// equal orders the later name stands first.
#include <string>
#include <vector>

struct LExpressionEntry {
  std::string name;    // the record's file name without extension
  std::string record;  // full path of the ".raf" file as found on disk
  int order = 0;
};

// Empty for an empty lesson path or a folder without records.
std::vector<LExpressionEntry> ListExpressionsInOrder(const std::string& lessonPath);
