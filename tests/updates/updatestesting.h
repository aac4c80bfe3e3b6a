#ifndef UPDATESTESTING_H
#define UPDATESTESTING_H

#include "defaultstore.h"
#include "loopbackhttpserver.h"
#include "xmltranslatortesting.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

// A scratch per-user data location without a default-file store, and the
// server address pointed at a loopback server. Build it first.
struct DownloadWorkspace
{
    DownloadWorkspace()
    {
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath("share")));
        qputenv("KELVARA_SERVER_URL", server.url().toLatin1());
    }

    QString store() const { return DefaultStore::root(); }

    // Writes a file below the store, creating its folders.
    void put(const QString& relativePath, const QByteArray& bytes) const
    {
        const QString path = store() + "/" + relativePath;
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
    }

    QTemporaryDir home;
    LoopbackHttpServer server;
};

// A directory index page as web servers list a folder.
inline QByteArray indexPage(const QStringList& names)
{
    QByteArray page =
        "<html><body><h1>Index</h1>\n<ul><li><a href=\"../\"> Parent Directory</a></li>\n";
    for (const QString& name : names)
        page += "<li><a href=\"" + name.toUtf8() + "\"> " + name.toUtf8() + "</a></li>\n";
    return page + "</ul>\n</body></html>\n";
}

inline QStringList itemTexts(const QComboBox* box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

// A default parameter file setting register 7 (a plain number register).
inline QByteArray defaultFile(int value)
{
    return parameterDocument(entry("7", QByteArray::number(value).constData()));
}

#endif // UPDATESTESTING_H
