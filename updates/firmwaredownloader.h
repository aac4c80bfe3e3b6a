#ifndef FIRMWAREDOWNLOADER_H
#define FIRMWAREDOWNLOADER_H

#include <QHash>
#include <QList>
#include <QMap>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVector>

class ProgressDialog;
class QCheckBox;
class QNetworkAccessManager;
class QNetworkReply;
class QWidget;

// Fetches the maker's default parameter files into the per-user store.
//
// A crawl reads the server's directory index pages below FW_URL() one at a
// time, lets the user choose the folders ("brands") to fetch, then requests
// every XML file of the chosen folders at once while a progress dialog
// counts them. Each crawl ends with exactly one updateSuccess() or
// updateFail(). Files are only stored: nothing is imported here.
//
// Nothing from the server is trusted: a name that would leave its folder is
// refused, the crawl is bounded, replies are size-limited, and each phase
// has an inactivity watchdog and a total time limit, either of which aborts
// what is outstanding.
class FirmwareDownloader : public QObject
{
    Q_OBJECT

public:
    static const QString FW_SEPARATOR;
    static const int LIST_TIMEOUT_MILLIS = 10000;
    static const int FILE_TIMEOUT_MILLIS = 10000;
    static const int LIST_DEADLINE_MILLIS = 60000;
    static const int FILE_DEADLINE_MILLIS = 300000;
    static const int MAX_FOLDER_DEPTH = 4;
    static const int MAX_PAGES = 200;
    static const int MAX_FILES = 1000;
    static const qint64 MAX_REPLY_BYTES = 8 * 1024 * 1024;

    // Base of every index page: the maker's server and "/downloads/kl/".
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
    void getFirmwareListFinished(QNetworkReply* reply);
    void listDownloadProgress(qint64 bytesReceived, qint64 bytesTotal);
    void getFirmwareListTimeout();
    void firmwareFileDownloadFinished(QNetworkReply* reply);
    void fileDownloadProgress(qint64 bytesReceived, qint64 bytesTotal);
    void getFirmwareTimeout();
    void toggleSelectAllBox(int checked);

private:
    enum class Phase { Idle, Crawling, Choosing, Downloading };
    struct Folder
    {
        QString name;
        int depth;
    };
    struct Box
    {
        QMessageBox::Icon icon;
        QString title;
        QString text;
    };

    QNetworkReply* get(const QString& url);
    void requestPage(const QString& url, const QString& folder, int depth);
    void takeFolders(const QStringList& names, int depth);
    void takeFiles(const QStringList& names);
    QStringList exclusionList() const;
    void requestNextPage();
    void chooseBrands();
    void startDownloads();
    QString saveFile(const QString& target, const QByteArray& body) const;
    void allDownloadsFinished();
    QString missingText() const;
    QString leftOutText() const;
    void endCrawl(QMessageBox::Icon icon, const QString& title, const QString& text, bool success);
    void showBox(QMessageBox::Icon icon, const QString& title, const QString& text);
    bool abortWhenTooLarge(QObject* reply, qint64 bytesReceived, qint64 bytesTotal);
    void stopListTimers();
    void stopFileTimers();
    QString serverHost() const;

    QWidget* parentWidget;
    QNetworkAccessManager* network;
    QPointer<ProgressDialog> progressDialog;
    QPointer<QCheckBox> selectAllBox;
    QString dataDir;

    QTimer listTimer;
    QTimer listDeadline;
    QTimer fileTimer;
    QTimer fileDeadline;
    int idleMillis = LIST_TIMEOUT_MILLIS;
    int totalMillis = LIST_DEADLINE_MILLIS;
    int batchMillis = FILE_DEADLINE_MILLIS;
    int maxPages = MAX_PAGES;
    int maxFiles = MAX_FILES;

    Phase phase = Phase::Idle;
    QString crawlBase;
    QString basePage;

    // The index page being read.
    QNetworkReply* listReply = nullptr;
    QString listUrl;
    QString listFolder;
    int listDepth = 0;

    QVector<Folder> pendingDirs; // a stack: the last found is read next
    QSet<QString> seenFolders;
    int pagesRequested = 0;
    // What the limits of the crawl left out.
    QSet<QString> leftOutFolders;
    int leftOutFiles = 0;

    // Page address -> names of the files to offer, and the store folder
    // they go to.
    QMap<QString, QStringList> pageFiles;
    QMap<QString, QString> pageFolders;
    QMap<QString, QCheckBox*> brandBoxes;
    QMap<QString, bool> brandChoices;

    QList<QNetworkReply*> pendingReplies;
    QHash<QNetworkReply*, QString> targetPaths;
    int totalFiles = 0;
    int savedFiles = 0;
    QStringList unsavedFiles; // as "folder/name"

    QList<Box> waitingBoxes;
    bool showingBox = false;
};

#endif // FIRMWAREDOWNLOADER_H
