#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QImage>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextFragment>
#include <QUrl>

#include "lessons/expression_page.h"
#include "tests/support/test_support.h"

// The page a window shows: the image loads from a folder with blanks and accents.
TEST(ExpressionPage, RendersInTextBrowserWithItsImage) {
  testsupport::TempFolder root;
  std::string folder = root.File("Leçons de français");
  ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  std::string record = folder + "/Bonjour à tous.raf";
  ASSERT_TRUE(testsupport::WriteFileText(record, "[image]\nfile=.png\n"));
  QImage image(8, 6, QImage::Format_RGB32);
  image.fill(Qt::red);
  ASSERT_TRUE(image.save(QString::fromStdString(folder + "/Bonjour à tous.png"), "PNG"));
  ASSERT_TRUE(testsupport::WriteFileText(folder + "/Bonjour à tous.scp", "<b>Grüß</b>"));
  std::string page = ExpressionPreviewPagePath();
  WriteExpressionPage(record, page, false);

  QTextBrowser browser;
  browser.setSource(QUrl::fromLocalFile(QString::fromStdString(page)));
  QTextDocument* document = browser.document();
  EXPECT_TRUE(document->toPlainText().contains("Grüß"));
  bool sawImage = false, sawBold = false;
  for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      QTextCharFormat format = it.fragment().charFormat();
      sawBold |= format.fontWeight() == QFont::Bold;
      if (!format.isImageFormat()) continue;
      QVariant resource = browser.loadResource(QTextDocument::ImageResource, QUrl(format.toImageFormat().name()));
      QImage loaded = resource.value<QImage>();
      if (loaded.isNull()) loaded.loadFromData(resource.toByteArray());
      EXPECT_EQ(loaded.width(), 8);
      sawImage = true;
    }
  EXPECT_TRUE(sawImage);
  EXPECT_TRUE(sawBold) << "the explanation is markup";
}
