// The open-file dialog's filters as a desktop dialog that matches letter case
// exactly would apply them.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QString>

#include "framework/widgets/file_dialogs.h"

namespace {

bool Offered(const std::string& line, const QString& name) {
  QString patterns = QString::fromStdString(line).section('(', -1).chopped(1);
  for (const QString& pattern : patterns.split(' ', Qt::SkipEmptyParts))
    if (QRegularExpression(QRegularExpression::wildcardToRegularExpression(pattern)).match(name).hasMatch())
      return true;
  return false;
}

TEST(FileFilters, NamesInEitherCaseAreOfferedAndOthersNot) {
  std::vector<std::string> lines = LFileDialogNameFilters(
      {{"Bitmap Files(*.bmp)", "*.bmp;"}, {"JPEG (*.jpg, *.jpeg, *.jpe, *.jfif)", "*.jpg; *.jpeg; *.jpe; *.jfif"}});
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(Offered(lines[0], "SCAN.BMP"));
  EXPECT_TRUE(Offered(lines[1], "PHOTO.JPG"));
  EXPECT_TRUE(Offered(lines[1], "photo.jpeg"));
  EXPECT_TRUE(Offered(lines[1], "Photo.Jpg"));
  EXPECT_FALSE(Offered(lines[1], "photo.png"));
  EXPECT_FALSE(Offered(lines[0], "photo.jpg"));
  EXPECT_EQ(QString::fromStdString(lines[0]).section(" (", 0, 0), "Bitmap Files");
}

}  // namespace
