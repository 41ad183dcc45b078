// The pictures are compiled in by qt_add_resources; this unit gives the
// library a body and one place to ask whether they are present.
#include <QFile>

bool OrativoResourcesPresent() { return QFile::exists(QStringLiteral(":/icons/1.svg")); }
