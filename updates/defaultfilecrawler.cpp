#include "defaultfilecrawler.h"

#include "defaultstore.h"
#include "indexpage.h"
#include "makerserver.h"
#include "replyfailure.h"
#include "replysizelimit.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

const QString DefaultFileCrawler::FW_SEPARATOR = QStringLiteral(",");

namespace {

const char* const tooLargeProperty = "kelvaraTooLarge";
const int maxRedirects = 5;

QString lastPathStep(const QString& url)
{
    const QStringList steps = QUrl(url).path().split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return steps.isEmpty() ? QString() : steps.last();
}

// The address of a name below a folder address, the name taken as it reads
// (so "#" or "?" in it stay part of the path).
QString below(const QString& folderUrl, const QString& name)
{
    QUrl url(folderUrl);
    url.setPath(url.path() + name);
    return url.toString(QUrl::FullyEncoded);
}

} // namespace

QString DefaultFileCrawler::FW_URL()
{
    return MakerServer::url(QStringLiteral("/downloads/kl/"));
}

DefaultFileCrawler::DefaultFileCrawler(QObject* parent)
    : QObject(parent)
    , network(new QNetworkAccessManager(this))
    , dataDir(DefaultStore::root())
{
    for (QTimer* timer : {&listTimer, &listDeadline, &fileTimer, &fileDeadline})
        timer->setSingleShot(true);
    connect(&listTimer, &QTimer::timeout, this, &DefaultFileCrawler::getFirmwareListTimeout);
    connect(&listDeadline, &QTimer::timeout, this, &DefaultFileCrawler::getFirmwareListTimeout);
    connect(&fileTimer, &QTimer::timeout, this, &DefaultFileCrawler::getFirmwareTimeout);
    connect(&fileDeadline, &QTimer::timeout, this, &DefaultFileCrawler::getFirmwareTimeout);
}

void DefaultFileCrawler::setTimeLimits(int idle, int total)
{
    idleMillis = idle;
    totalMillis = total;
    batchMillis = total;
}

void DefaultFileCrawler::setCrawlLimits(int pages, int files)
{
    maxPages = pages;
    maxFiles = files;
}

bool DefaultFileCrawler::isRunning() const
{
    return phase != Phase::Idle;
}

const DefaultFileCrawler::Tally& DefaultFileCrawler::tally() const
{
    return counts;
}

QString DefaultFileCrawler::serverHost() const
{
    return QUrl(crawlBase).host();
}

QMap<QString, QString> DefaultFileCrawler::brands() const
{
    QMap<QString, QString> brands;
    for (auto it = pageFolders.constBegin(); it != pageFolders.constEnd(); ++it)
        brands.insert(it.key(), it.key() == basePage ? QString() : it.value());
    return brands;
}

void DefaultFileCrawler::crawl(const QString& url)
{
    if (isRunning()) {
        qWarning() << "A default-file download is running already";
        return;
    }
    phase = Phase::Crawling;
    crawlBase = FW_URL();
    pendingDirs.clear();
    seenFolders.clear();
    pagesRequested = 0;
    leftOutFolders.clear();
    pageFiles.clear();
    pageFolders.clear();
    counts = Tally();
    counts.pageLimit = maxPages;
    counts.fileLimit = maxFiles;
    QDir().mkpath(dataDir);
    basePage = url;
    // Files listed on the base page itself go to a folder named after it.
    requestPage(url, lastPathStep(url), 0);
}

QNetworkReply* DefaultFileCrawler::get(const QString& url)
{
    QNetworkRequest request{QUrl(url)};
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(maxRedirects);
    QNetworkReply* reply = network->get(request);
    auto* limit = new ReplySizeLimit(reply, MAX_REPLY_BYTES);
    connect(limit, &ReplySizeLimit::limitPassed, reply,
            [reply] { reply->setProperty(tooLargeProperty, true); });
    return reply;
}

// What a reply brought, taken as it arrived.
QByteArray DefaultFileCrawler::body(QNetworkReply* reply)
{
    ReplySizeLimit* limit = ReplySizeLimit::of(reply);
    return limit ? limit->body() : reply->readAll();
}

void DefaultFileCrawler::requestPage(const QString& url, const QString& folder, int depth)
{
    ++pagesRequested;
    listUrl = url;
    listFolder = folder;
    listDepth = depth;
    QNetworkReply* reply = get(url);
    listReply = reply;
    // Queued, so that what the signals start (boxes, dialogs) runs outside
    // the network layer's own calls.
    connect(
        reply, &QNetworkReply::finished, this, [this, reply] { getFirmwareListFinished(reply); },
        Qt::QueuedConnection);
    connect(reply, &QNetworkReply::downloadProgress, this,
            &DefaultFileCrawler::listDownloadProgress);
    listTimer.start(idleMillis);
    listDeadline.start(totalMillis);
}

void DefaultFileCrawler::listDownloadProgress(qint64, qint64)
{
    keepWatching(&listTimer);
}

void DefaultFileCrawler::fileDownloadProgress(qint64, qint64)
{
    keepWatching(&fileTimer);
}

// A reply that makes progress restarts its phase's watchdog while that runs
// (one that grows too large is aborted by its ReplySizeLimit).
void DefaultFileCrawler::keepWatching(QTimer* watchdog)
{
    if (watchdog->isActive())
        watchdog->start(idleMillis);
}

void DefaultFileCrawler::getFirmwareListFinished(QNetworkReply* reply)
{
    reply->deleteLater();
    // A page that a time limit gave up on was answered there.
    if (reply != listReply)
        return;
    listReply = nullptr;
    stopListTimers();

    if (reply->property(tooLargeProperty).toBool())
        return endCrawl(PageTooLarge);
    if (ReplyFailure::failed(reply))
        return endCrawl(NetworkFailure, ReplyFailure::text(reply));
    QStringList files;
    QStringList folders;
    switch (IndexPage::read(body(reply), &files, &folders)) {
    case IndexPage::NoList:
        return endCrawl(PageUnreadable);
    case IndexPage::BadEntry:
        return endCrawl(EntryUnreadable);
    case IndexPage::Read:
        break;
    }
    takeFolders(folders, listDepth + 1);
    takeFiles(files);
    requestNextPage();
}

void DefaultFileCrawler::takeFolders(const QStringList& names, int depth)
{
    for (const QString& name : names) {
        QString folder = name;
        if (folder.endsWith(QLatin1Char('/')))
            folder.chop(1);
        if (!DefaultStore::isSafeName(folder)) {
            qWarning() << "Refused a folder name from the server:" << name;
        } else if (seenFolders.contains(folder)) {
            continue; // every folder is read below the base, so once
        } else if (depth > MAX_FOLDER_DEPTH || pagesRequested + pendingDirs.size() >= maxPages) {
            // Too deep, or more than one crawl reads: the tally says so.
            leftOutFolders.insert(folder);
        } else {
            leftOutFolders.remove(folder); // too deep where it was listed before
            seenFolders.insert(folder);
            pendingDirs.append({folder, depth});
        }
    }
    counts.foldersLeftOut = leftOutFolders.size();
}

void DefaultFileCrawler::takeFiles(const QStringList& names)
{
    if (!DefaultStore::isSafeName(listFolder)) {
        if (!names.isEmpty())
            qWarning() << "Files of" << listUrl << "have no folder in the store; not offered";
        return;
    }
    QDir().mkpath(dataDir);
    const QStringList excluded = exclusionList();
    int listed = 0;
    for (const QStringList& files : qAsConst(pageFiles))
        listed += files.size();
    QStringList offered;
    for (const QString& name : names) {
        if (!DefaultStore::isSafeName(name))
            qWarning() << "Refused a file name from the server:" << name;
        else if (excluded.contains(name))
            continue;
        else if (listed + offered.size() >= maxFiles)
            ++counts.filesLeftOut; // every offered file is requested at once
        else
            offered << name;
    }
    if (offered.isEmpty())
        return;
    pageFiles[listUrl] << offered;
    pageFolders[listUrl] = listFolder;
}

// File names that are never offered, from a list placed in the store by
// hand: names separated by "," and matched exactly.
QStringList DefaultFileCrawler::exclusionList() const
{
    QFile file(DefaultStore::path(dataDir,
                                  {QStringLiteral("data"), QStringLiteral("local_firmwares.txt")}));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return IndexPage::textUpToNul(file.readAll()).split(FW_SEPARATOR);
}

void DefaultFileCrawler::requestNextPage()
{
    if (pendingDirs.isEmpty()) {
        phase = pageFiles.isEmpty() ? Phase::Idle : Phase::Choosing;
        emit crawlFinished();
        return;
    }
    const Folder next = pendingDirs.takeLast();
    requestPage(below(crawlBase, next.name + QLatin1Char('/')), next.name, next.depth);
}

void DefaultFileCrawler::endCrawl(Failure failure, const QString& reason)
{
    phase = Phase::Idle;
    emit crawlFailed(failure, reason);
}

void DefaultFileCrawler::fetch(const QStringList& pages)
{
    if (phase != Phase::Choosing)
        return;
    if (pages.isEmpty()) {
        phase = Phase::Idle;
        return;
    }
    phase = Phase::Downloading;
    for (const QString& page : pages)
        QDir().mkpath(DefaultStore::path(dataDir, {pageFolders.value(page)}));
    for (auto it = pageFiles.constBegin(); it != pageFiles.constEnd(); ++it) {
        if (!pages.contains(it.key()))
            continue;
        const QString folder = pageFolders.value(it.key());
        for (const QString& name : it.value()) {
            QNetworkReply* reply = get(below(it.key(), name));
            connect(
                reply, &QNetworkReply::finished, this,
                [this, reply] { firmwareFileDownloadFinished(reply); }, Qt::QueuedConnection);
            connect(reply, &QNetworkReply::downloadProgress, this,
                    &DefaultFileCrawler::fileDownloadProgress);
            pendingReplies.append(reply);
            targetPaths.insert(reply, DefaultStore::path(dataDir, {folder, name}));
            ++counts.filesRequested;
        }
    }
    fileTimer.start(idleMillis);
    fileDeadline.start(batchMillis);
}

void DefaultFileCrawler::firmwareFileDownloadFinished(QNetworkReply* reply)
{
    reply->deleteLater();
    // Each reply counts once; those a time limit gave up on not at all.
    if (!pendingReplies.removeOne(reply))
        return;
    const QString target = targetPaths.take(reply);
    ++counts.filesFinished;
    // The batch is over now, even while what the signal starts waits for
    // the user.
    const bool last = pendingReplies.isEmpty();
    if (last)
        stopFileTimers();

    const QString problem = fileProblem(reply, target);
    if (problem.isEmpty())
        ++counts.filesSaved;
    else
        counts.filesMissing << QDir(dataDir).relativeFilePath(target);
    emit fileFinished(target, problem);
    if (last) {
        phase = Phase::Idle;
        emit batchFinished();
    }
}

// Why a file that came back is not in the store; empty when it is now.
QString DefaultFileCrawler::fileProblem(QNetworkReply* reply, const QString& target) const
{
    if (reply->property(tooLargeProperty).toBool())
        return tr("it is larger than %1 MB").arg(MAX_REPLY_BYTES / (1024 * 1024));
    if (ReplyFailure::failed(reply))
        return ReplyFailure::text(reply);
    return DefaultStore::saveFile(dataDir, target, body(reply));
}

void DefaultFileCrawler::getFirmwareListTimeout()
{
    if (phase != Phase::Crawling || !listReply)
        return;
    QNetworkReply* reply = listReply;
    listReply = nullptr;
    stopListTimers();
    reply->abort();
    endCrawl(PageTimedOut);
}

void DefaultFileCrawler::getFirmwareTimeout()
{
    if (phase != Phase::Downloading)
        return;
    const QList<QNetworkReply*> outstanding = pendingReplies;
    for (QNetworkReply* reply : outstanding)
        counts.filesMissing << QDir(dataDir).relativeFilePath(targetPaths.value(reply));
    pendingReplies.clear();
    targetPaths.clear();
    stopFileTimers();
    phase = Phase::Idle;
    for (QNetworkReply* reply : outstanding)
        reply->abort();
    emit batchTimedOut();
}

void DefaultFileCrawler::stopListTimers()
{
    listTimer.stop();
    listDeadline.stop();
}

void DefaultFileCrawler::stopFileTimers()
{
    fileTimer.stop();
    fileDeadline.stop();
}
