#include "lessons/expression_page.h"

#include <fcntl.h>
#include <unistd.h>

#include "framework/lfile.h"
#include "framework/settings.h"
#include "lessons/lesson_files.h"
#include "lessons/rich_audio_file.h"
#include "platform/app_paths.h"

std::string ExpressionPreviewPagePath() {
  std::string path = PlatformPrivateTempFolder();
  LFile::FilePathCat(path, "llpreview.htm");
  return path;
}

// The image path goes into a quoted attribute: a quote or ampersand in a
// folder name must not end it or start an entity.
static std::string AttributeText(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '"')
      out += "&quot;";
    else if (c == '&')
      out += "&amp;";
    else
      out += c;
  }
  return out;
}

void WriteExpressionPage(const std::string& recordPath, const std::string& pagePath, bool imageOnly) {
  LTextBuffer page;
  page.Append(
      "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\"></head>"
      "<body bgcolor=#ffffff leftmargin=0 topmargin=0 >");
  if (!recordPath.empty()) {
    std::string image = LRichAudioFile::GetImageFileName(recordPath);
    if (!image.empty()) image = lessonfiles::ResolveExpressionFile(image);
    if (!image.empty() && lessonfiles::FileExists(image)) {
      page.Append("<center><img src=\"");
      page.Append(AttributeText(image));
      page.Append("\" border=0></a></center>");
    }
    if (!imageOnly) {
      std::optional<std::string> text = LRichAudioFile::ReadExplanation(recordPath);
      if (text && !text->empty()) page.Append(*text);
    }
  }
  page.Append("</body></html>");
  LFile::WriteTextFile(pagePath, page.Str());
}
