#pragma once
// Small pieces the lesson and settings templates share.
#include <QString>

class QBoxLayout;
class QDialog;
class QGroupBox;
class QWidget;

// OK, Cancel and Help at the bottom right; okText names the OK button.
void AddDialogButtons(QDialog* window, QBoxLayout* layout, const QString& okText = QStringLiteral("OK"),
                      bool help = true);
QGroupBox* AddGroup(QWidget* parent, QBoxLayout* layout, const QString& title);
