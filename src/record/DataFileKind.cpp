#include "DataFileKind.h"

#include <QFileInfo>

DataFileKind dataFileKindFor(const QString& path) {
    // The open dialog offers "*.DB" and tables of other software are often named in capitals,
    // so the extension is compared without regard to case.
    const bool isTable =
        QFileInfo(path).suffix().compare(QLatin1String("db"), Qt::CaseInsensitive) == 0;
    return isTable ? DataFileKind::Table : DataFileKind::Text;
}
