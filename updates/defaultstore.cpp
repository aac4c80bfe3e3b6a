#include "defaultstore.h"

#include "parameterfilereader.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace DefaultStore {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("DefaultStore", text);
}

} // namespace

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

QString saveFile(const QString& root, const QString& target, const QByteArray& body)
{
    // Read first: what the XML reader could not take in time is refused
    // before it looks for the root. A file with a parameter file's root is
    // one, broken or not.
    QBuffer buffer;
    buffer.setData(body);
    buffer.open(QIODevice::ReadOnly);
    ParameterFileReader reader;
    const bool complete = reader.read(&buffer);
    if (reader.isRefused())
        return tr("the file the server sent was refused (%1)").arg(reader.errorString());
    // One that could not be decoded may be a parameter file: it is told as
    // opening it would tell it.
    if (!reader.hasParameterRoot() && !reader.failedOnEncoding())
        return tr("the server sent no parameter file");
    if (!reader.hasParameterRoot())
        return tr("the file the server sent could not be read (%1)").arg(reader.errorString());
    if (!complete)
        return tr("the parameter file the server sent is broken or cut short (%1)")
            .arg(reader.errorString());
    if (reader.entries().isEmpty())
        return tr("the parameter file the server sent holds no parameters");
    const QString folder = QFileInfo(target).absolutePath();
    if (!QDir().mkpath(folder))
        return tr("its folder could not be created");
    const QString realRoot = QFileInfo(root).canonicalFilePath();
    const QString realFolder = QFileInfo(folder).canonicalFilePath();
    if (realRoot.isEmpty() || !realFolder.startsWith(realRoot + QLatin1Char('/')))
        return tr("its folder lies outside the store \"%1\"").arg(root);
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    if (file.write(body) != body.size() || !file.commit())
        return file.errorString();
    return QString();
}

} // namespace DefaultStore
