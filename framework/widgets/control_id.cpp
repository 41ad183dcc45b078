#include "framework/widgets/control_id.h"

#include <QVariant>
#include <QWidget>

namespace {
constexpr char kIdProperty[] = "controlId";
}  // namespace

QWidget* LSetControlId(QWidget* widget, int id) {
  LTagObjectId(widget, id);
  if (widget->objectName().isEmpty()) widget->setObjectName(QStringLiteral("control%1").arg(id));
  return widget;
}

void LTagObjectId(QObject* object, int id) { object->setProperty(kIdProperty, id); }

int LGetControlId(const QObject* object) {
  if (!object) return 0;
  QVariant v = object->property(kIdProperty);
  return v.isValid() ? v.toInt() : 0;
}

QWidget* LFindControl(QWidget* window, int id) {
  if (!window) return nullptr;
  const auto children = window->findChildren<QWidget*>();
  for (QWidget* child : children)
    if (LGetControlId(child) == id) return child;
  return nullptr;
}
