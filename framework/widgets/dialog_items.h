#pragma once
// Dialog items: what the windows do to their controls by id (enable, move,
// fill, list views, menus, images, tips).
#include <QString>
#include <string>
#include <vector>

#include "framework/widgets/control_id.h"
#include "framework/widgets/dialog.h"

class LDialog;
class QAction;
class QBoxLayout;
class QColor;
class QDialog;
class QIcon;
class QMenuBar;
class QTreeWidget;
class QWidget;

// Menus from tables. A row with id 0 and text null ends a popup; a text
// beginning with "|" opens a popup; text "-" is a separator.
struct LMenuRow {
  int id;
  const char* text;
};
QMenuBar* LBuildMenu(QWidget* window, const std::vector<LMenuRow>& rows);
QAction* LFindMenuItem(QWidget* window, int id);

void LEnableControl(LDialog& dialog, int id, bool enable);
void LEnableControls(LDialog& dialog, int first, int last, bool enable);
void LEnableControlList(LDialog& dialog, const int* zeroEndedIds, bool enable);
void LEnableMenuItem(LDialog& dialog, int id, bool enable);
void LMoveControl(LDialog& dialog, int id, int x, int y, int width, int height);
void LMoveControlDU(LDialog& dialog, int id, int x, int y, int width, int height);
int LDialogUnitsToPixelsY(const QWidget* window, int units);
int LDialogUnitsToPixelsX(const QWidget* window, int units);
// Control text, at most 259 characters.
std::string LGetControlText(LDialog& dialog, int id);
void LSetControlText(LDialog& dialog, int id, const std::string& text);
void LFillComboBox(LDialog& dialog, int id, const char* const* nullEndedTexts);

// List views (report style, QTreeWidget).
struct LListColumn {
  const char* title;
  int width;  // negative: all the width that is left
  Qt::Alignment format;
};
bool LVSetImages(LDialog& dialog, int id, const int* zeroEndedIconIds);
void LVSetColumns(LDialog& dialog, int id, const LListColumn* nullTitleEnded);
void LVLastColumn(LDialog& dialog, int id, int column, int minimum);
void LVSelect(LDialog& dialog, int id, int index);
void LVStripeRows(QTreeWidget* list, const QColor& even, const QColor& odd);

// Images from the program's resources.
QIcon LLoadIcon(int id);
QIcon LLoadBitmap(int id);
bool IsXPControls();
void LSetImageButton(LDialog& dialog, int id, int bitmapId);
void LSetIconButton(LDialog& dialog, int id, int iconId);

// Tooltips.
struct LToolRow {
  int id;
  const char* text;
};
void LAddTool(LDialog& holder, int id, const char* text);
void LAddTools(LDialog& holder, const LToolRow* rows, int count);
void LUpdateTool(LDialog& holder, int id, const char* text);

// Push-and-hold: pressing sends the command with BN_PUSHED_DOWN, releasing
// with BN_PUSHED_UP.
bool SetUpDownButton(LDialog& dialog, int id);

// The button row at the bottom right of a dialog template: OK (the default
// button, okText naming it), then Cancel and Help as the row asks.
enum class LButtonRow { kOk, kOkCancel, kOkCancelHelp };
void AddDialogButtons(QDialog* window, QBoxLayout* layout, const QString& okText = QStringLiteral("OK"),
                      LButtonRow buttons = LButtonRow::kOkCancelHelp);
