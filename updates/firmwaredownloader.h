#ifndef FIRMWAREDOWNLOADER_H
#define FIRMWAREDOWNLOADER_H

#include "defaultfilecrawler.h"

#include <QList>
#include <QMap>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>

class ProgressDialog;
class QCheckBox;
class QWidget;

// Fetches the maker's default parameter files into the per-user store:
// what the user sees of a DefaultFileCrawler's work.
//
// A crawl reads the server's directory index pages, lets the user choose
// the folders ("brands") to fetch, then fetches every XML file of the
// chosen folders while a progress dialog counts them. Each crawl ends with
// exactly one updateSuccess() or updateFail(). Files are only stored:
// nothing is imported here.
class FirmwareDownloader : public QObject
{
    Q_OBJECT

public:
    // The crawl's constants, also under the names of this class.
    static const QString& FW_SEPARATOR;
    static const int LIST_TIMEOUT_MILLIS = DefaultFileCrawler::LIST_TIMEOUT_MILLIS;
    static const int FILE_TIMEOUT_MILLIS = DefaultFileCrawler::FILE_TIMEOUT_MILLIS;
    static QString FW_URL();

    // Boxes and dialogs are shown over parent. The flag changes nothing.
    FirmwareDownloader(QWidget* parent, bool unused);
    ~FirmwareDownloader() override;

    void getFirmware();
    // Starts a crawl at url unless one runs; every folder it finds is
    // requested directly below FW_URL().
    void getFirmware(const QString& url);
    bool isRunning() const;

    // The watchdog (no data for idleMillis) and the limit of one page or
    // one batch of files (totalMillis).
    void setTimeLimits(int idleMillis, int totalMillis);
    // The index pages read and the files offered by one crawl at most.
    void setCrawlLimits(int pages, int files);

signals:
    void updateSuccess();
    void updateFail();

public slots:
    void toggleSelectAllBox(int checked);

private:
    struct Box
    {
        QMessageBox::Icon icon;
        QString title;
        QString text;
        // A path shown whole below the text; none when empty.
        QString pathLine;
    };

    void showCrawlFailure(DefaultFileCrawler::Failure failure, const QString& reason);
    void chooseBrands();
    QStringList askForBrands();
    void noteFileFinished(const QString& target, const QString& problem);
    void allDownloadsFinished();
    void showTimedOutBatch();
    QString storeLine() const;
    QString missingText() const;
    QString leftOutText() const;
    void endCrawl(QMessageBox::Icon icon, const QString& title, const QString& text, bool success);
    void showBox(QMessageBox::Icon icon, const QString& title, const QString& text,
                 const QString& pathLine = QString());

    QWidget* parentWidget;
    DefaultFileCrawler* crawler;
    QPointer<ProgressDialog> progressDialog;
    QPointer<QCheckBox> selectAllBox;
    QString dataDir;
    QMap<QString, QCheckBox*> brandBoxes;
    // Why a file of the batch was not stored, by its path below the store.
    QMap<QString, QString> fileFailures;

    QList<Box> waitingBoxes;
    bool showingBox = false;
};

#endif // FIRMWAREDOWNLOADER_H
