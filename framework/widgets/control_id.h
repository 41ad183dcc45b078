#pragma once
// Controls by id: templates tag every control (and menu action) with its
// numeric id; commands, notifications and tests address controls by it.
class QObject;
class QWidget;

// Tags widget with id; returns widget for chaining in templates.
QWidget* LSetControlId(QWidget* widget, int id);
void LTagObjectId(QObject* object, int id);
int LGetControlId(const QObject* object);  // 0 when untagged
QWidget* LFindControl(QWidget* window, int id);
