#ifndef OPENEDURLS_H
#define OPENEDURLS_H

#include <QDesktopServices>
#include <QList>
#include <QObject>
#include <QUrl>

// Takes the place of the system's browser and file opener while it lives:
// the web and file addresses the code under test opens are recorded.
class OpenedUrls : public QObject
{
    Q_OBJECT

public:
    OpenedUrls()
    {
        for (const char* scheme : {"http", "https", "file"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "record");
    }
    ~OpenedUrls() override
    {
        for (const char* scheme : {"http", "https", "file"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }

    QList<QUrl> urls;

public slots:
    void record(const QUrl& url) { urls << url; }
};

#endif // OPENEDURLS_H
