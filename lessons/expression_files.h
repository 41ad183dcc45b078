#pragma once
// Finding an expression's files in a lesson folder. Lessons copied from
// case-blind file systems may hold "hello.WAV" for the expression "Hello",
// while on this one "Hello.wav" and "hello.wav" can be two different files.
#include <string>

// The path of fileName in folder: the exact name when it exists, else the one
// entry whose name differs only in letter case (the first in name order when
// several do); "" when there is none.
std::string FindExpressionFile(const std::string& folder, const std::string& fileName);
