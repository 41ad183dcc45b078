#pragma once
// Small pieces the lesson and settings templates share.
#include <QString>

#include "framework/widgets/dialog_items.h"  // AddDialogButtons

class QBoxLayout;
class QGroupBox;
class QWidget;

QGroupBox* AddGroup(QWidget* parent, QBoxLayout* layout, const QString& title);
