#pragma once
// The generated page that shows an expression's image and explanation.
#include <string>

// The page in the user's private temporary folder that the windows show.
std::string ExpressionPreviewPagePath();
// Writes the page; imageOnly leaves the explanation out. Silent on failure.
void WriteExpressionPage(const std::string& recordPath, const std::string& pagePath, bool imageOnly);
