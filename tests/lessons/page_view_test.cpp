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
  std::string folder = root.File(
      "Le\xC3\xA7ons de fran\xC3\xA7"
      "ais");
  ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  std::string record = folder + "/Bonjour \xC3\xA0 tous.raf";
  ASSERT_TRUE(testsupport::WriteFileText(record, "[image]\nfile=.png\n"));
  QImage image(8, 6, QImage::Format_RGB32);
  image.fill(Qt::red);
  ASSERT_TRUE(image.save(QString::fromStdString(folder + "/Bonjour \xC3\xA0 tous.png"), "PNG"));
  ASSERT_TRUE(testsupport::WriteFileText(folder + "/Bonjour \xC3\xA0 tous.scp", "<b>Gr\xC3\xBC\xC3\x9F</b>"));
  std::string page = ExpressionPreviewPagePath();
  WriteExpressionPage(record, page, false);

  QTextBrowser browser;
  browser.setSource(QUrl::fromLocalFile(QString::fromStdString(page)));
  QTextDocument* document = browser.document();
  EXPECT_TRUE(document->toPlainText().contains(QString::fromUtf8("Gr\xC3\xBC\xC3\x9F")));
  bool sawImage = false, sawBold = false;
  for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      QTextCharFormat format = it.fragment().charFormat();
      if (format.isImageFormat()) {
        QString name = format.toImageFormat().name();
        QVariant resource = browser.loadResource(QTextDocument::ImageResource, QUrl(name));
        QImage loaded = resource.value<QImage>();
        if (loaded.isNull()) loaded.loadFromData(resource.toByteArray());
        EXPECT_EQ(loaded.width(), 8) << name.toStdString();
        sawImage = true;
      } else if (format.fontWeight() == QFont::Bold) {
        sawBold = true;
      }
    }
  }
  EXPECT_TRUE(sawImage);
  EXPECT_TRUE(sawBold) << "the explanation is markup";
}
