#ifndef DEFAULTFILECRAWLER_H
#define DEFAULTFILECRAWLER_H

#include "makerserver.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVector>

class QNetworkAccessManager;
class QNetworkReply;

// The network side of the default-file download, without widgets: reads
// the server's directory index pages below FW_URL() one at a time, then
// requests every XML file of the pages chosen at once and stores each in
// the per-user store. It reports through its signals; FirmwareDownloader
// shows the user what they mean.
//
// Nothing from the server is trusted: a name that would leave its folder is
// refused, the crawl is bounded, replies are size-limited, and each phase
// has an inactivity watchdog and a total time limit, either of which aborts
// what is outstanding.
class DefaultFileCrawler : public QObject
{
    Q_OBJECT

public:
    enum Failure { NetworkFailure, PageUnreadable, EntryUnreadable, PageTimedOut, PageTooLarge };
    Q_ENUM(Failure)

    // The limits one crawl ran under, what they left out, and what its
    // batch of files brought.
    struct Tally
    {
        int pageLimit = 0;
        int fileLimit = 0;
        int foldersLeftOut = 0;
        int filesLeftOut = 0;
        int filesRequested = 0;
        int filesFinished = 0;
        int filesSaved = 0;
        QStringList filesMissing; // as "folder/name"
    };

    static const QString FW_SEPARATOR;
    static const int LIST_TIMEOUT_MILLIS = 10000;
    static const int FILE_TIMEOUT_MILLIS = 10000;
    static const int LIST_DEADLINE_MILLIS = 60000;
    static const int FILE_DEADLINE_MILLIS = 300000;
    static const int MAX_FOLDER_DEPTH = 4;
    static const int MAX_PAGES = 200;
    static const int MAX_FILES = 1000;
    static const qint64 MAX_REPLY_BYTES = MakerServer::maxReplyBytes;

    // Base of every index page: the maker's server and "/downloads/kl/".
    static QString FW_URL();

    explicit DefaultFileCrawler(QObject* parent = nullptr);

    // Starts a crawl at url unless one runs; every folder it finds is
    // requested directly below FW_URL().
    void crawl(const QString& url);
    // Fetches the files of the chosen pages of brands(); no page ends the
    // crawl with nothing fetched.
    void fetch(const QStringList& pages);
    bool isRunning() const;

    // Of a complete crawl: page address -> brand for each page with files
    // to offer, by address. The base page's own files have an empty brand.
    QMap<QString, QString> brands() const;
    const Tally& tally() const;
    QString serverHost() const;

    // The watchdog (no data for idleMillis) and the limit of one page or
    // one batch of files (totalMillis).
    void setTimeLimits(int idleMillis, int totalMillis);
    // The index pages read and the files offered by one crawl at most.
    void setCrawlLimits(int pages, int files);

signals:
    // brands() lists what to offer. With nothing to offer the crawl has
    // ended; otherwise it waits for fetch().
    void crawlFinished();
    // The crawl ended; reason tells what failed of a NetworkFailure (the
    // server's status, "HTTP 404", or the network's words).
    void crawlFailed(DefaultFileCrawler::Failure failure, const QString& reason);
    // A file of the batch came back: problem tells why it was not stored
    // (empty when it was).
    void fileFinished(const QString& target, const QString& problem);
    void batchFinished();
    // The files still outstanding were given up (tally() names them).
    void batchTimedOut();

public slots:
    void getFirmwareListFinished(QNetworkReply* reply);
    void listDownloadProgress(qint64 bytesReceived, qint64 bytesTotal);
    void getFirmwareListTimeout();
    void firmwareFileDownloadFinished(QNetworkReply* reply);
    void fileDownloadProgress(qint64 bytesReceived, qint64 bytesTotal);
    void getFirmwareTimeout();

private:
    enum class Phase { Idle, Crawling, Choosing, Downloading };
    struct Folder
    {
        QString name;
        int depth;
    };

    QNetworkReply* get(const QString& url);
    static QByteArray body(QNetworkReply* reply);
    void requestPage(const QString& url, const QString& folder, int depth);
    void takeFolders(const QStringList& names, int depth);
    void takeFiles(const QStringList& names);
    QStringList exclusionList() const;
    void requestNextPage();
    void endCrawl(Failure failure, const QString& reason = QString());
    QString fileProblem(QNetworkReply* reply, const QString& target) const;
    void keepWatching(QTimer* watchdog);
    void stopListTimers();
    void stopFileTimers();

    QNetworkAccessManager* network;
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
    QSet<QString> leftOutFolders;

    // Page address -> names of the files to offer, and the store folder
    // they go to.
    QMap<QString, QStringList> pageFiles;
    QMap<QString, QString> pageFolders;

    QList<QNetworkReply*> pendingReplies;
    QHash<QNetworkReply*, QString> targetPaths;
    Tally counts;
};

#endif // DEFAULTFILECRAWLER_H
