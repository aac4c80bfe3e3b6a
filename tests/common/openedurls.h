#ifndef OPENEDURLS_H
#define OPENEDURLS_H

#include <QDesktopServices>
#include <QList>
#include <QObject>
#include <QUrl>

// Takes the place of the system's browser and file opener while it lives:
// every address the code under test opens is recorded instead.
class OpenedUrls : public QObject
{
    Q_OBJECT

public:
    OpenedUrls()
    {
        for (const char* scheme : schemes)
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "record");
    }
    ~OpenedUrls() override
    {
        for (const char* scheme : schemes)
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }

    QList<QUrl> urls;

public slots:
    void record(const QUrl& url) { urls << url; }

private:
    static constexpr const char* schemes[] = {"http", "https", "file"};
};

#endif // OPENEDURLS_H
