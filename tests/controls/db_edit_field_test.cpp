// The edit field beside the slider shows the whole value, minus sign included.
#include <gtest/gtest.h>

#include <QFont>
#include <QLineEdit>

#include "controls/db_edit.h"

TEST(DBEditField, ShowsTheWholeOfANegativeValue) {
  QWidget window;  // a desktop with larger type
  QFont font = window.font();
  font.setPointSize(14);
  window.setFont(font);
  LDBEdit slider(&window);
  slider.resize(160, 22);
  slider.SetValue(-36);
  window.show();
  QLineEdit* field = slider.EditField();
  // QLineEdit keeps a 2-pixel margin on either side of its text.
  EXPECT_LE(field->fontMetrics().horizontalAdvance(field->text()) + 4, field->width());
}
