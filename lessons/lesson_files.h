#pragma once
// Folder scanning for lesson and expression files. Lessons written on Windows
// may name their files in any letter case, so lookups that only read accept a
// case-insensitive match; operations that delete or rename touch a case
// variant only when no record of that variant exists (it is then nobody
// else's file).
#include <string>
#include <vector>

#include "platform/text_case.h"

namespace lessonfiles {

using ::EqualNoCase;
// Names of the regular files (or, with folders set, sub-folders) of folder.
std::vector<std::string> ListEntries(const std::string& folder, bool folders);
bool FileExists(const std::string& path);
// Whether both paths name one existing file (links and letter case included).
bool SameFile(const std::string& a, const std::string& b);
// path itself when it exists, else the file of its folder whose name matches
// without regard to case, else path unchanged.
std::string ResolveCase(const std::string& path);
// Full paths of the files "<stem>.<anything>" that belong to the expression
// of folder/stem: the exact stem, and case variants of it that have no record
// of their own; never a "*.ini" (a lesson file). Matching is by plain comparison, never by pattern.
std::vector<std::string> ExpressionFiles(const std::string& folder, const std::string& stem);
// path itself when it exists, else the file of the same expression (see
// ExpressionFiles) whose name matches without regard to case, else path.
// Never another expression's file, so writes through it are safe.
std::string ResolveExpressionFile(const std::string& path);
// Records ("*.raf", any letter case) of a folder.
std::vector<std::string> RecordNames(const std::string& folder);

}  // namespace lessonfiles
