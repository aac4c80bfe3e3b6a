#include "defaultstore.h"

#include <QDir>
#include <QStandardPaths>

namespace DefaultStore {

QString root()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QString path(const QString& root, const QStringList& steps)
{
    QString result = QDir(root).absolutePath();
    for (const QString& step : steps)
        result += QDir::separator() + step;
    return result;
}

QStringList entries(const QString& folder)
{
    QStringList names = QDir(folder).entryList();
    names.removeAll(QStringLiteral("."));
    names.removeAll(QStringLiteral(".."));
    return names;
}

bool isSafeName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && !name.contains(QLatin1String(".."))
        && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'));
}

} // namespace DefaultStore
