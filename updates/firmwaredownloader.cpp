#include "firmwaredownloader.h"

#include "defaultstore.h"
#include "firmwaredownloaderdialog.h"
#include "indexpage.h"
#include "makerserver.h"
#include "parameterfilereader.h"
#include "progressdialog.h"
#include "xmltranslator.h"

#include <QBuffer>
#include <QCheckBox>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QUrl>
#include <QXmlStreamReader>

const QString FirmwareDownloader::FW_SEPARATOR = QStringLiteral(",");

namespace {

const char* const tooLargeProperty = "kelvaraTooLarge";
const int maxRedirects = 5;

// A network error, or an answer other than 2xx; the code the boxes show.
int failureCode(QNetworkReply* reply)
{
    if (reply->error() != QNetworkReply::NoError)
        return reply->error();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && (status.toInt() < 200 || status.toInt() > 299))
        return QNetworkReply::UnknownContentError;
    return QNetworkReply::NoError;
}

bool hasParameterFileRoot(const QByteArray& body)
{
    QXmlStreamReader xml(body);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement)
            return xml.name() == XMLTranslator::rootTag;
    }
    return false;
}

// Lists names one a line, the first ten of them.
QString nameList(QStringList names)
{
    const int shown = 10;
    names.sort();
    QString list = names.mid(0, shown).join(QLatin1Char('\n'));
    if (names.size() > shown)
        list += FirmwareDownloader::tr("\n... and %1 more").arg(names.size() - shown);
    return list;
}

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

QString FirmwareDownloader::FW_URL()
{
    return MakerServer::url(QStringLiteral("/downloads/kl/"));
}

FirmwareDownloader::FirmwareDownloader(QWidget* parent, bool)
    : QObject(parent)
    , parentWidget(parent)
    , network(new QNetworkAccessManager(this))
    , progressDialog(new ProgressDialog(tr("Downloading Files"), true, parent))
    , selectAllBox(new QCheckBox(tr("Select All")))
    , dataDir(DefaultStore::root())
{
    if (parentWidget)
        selectAllBox->setStyleSheet(parentWidget->styleSheet());
    connect(selectAllBox, &QCheckBox::stateChanged, this, &FirmwareDownloader::toggleSelectAllBox);

    for (QTimer* timer : {&listTimer, &listDeadline, &fileTimer, &fileDeadline})
        timer->setSingleShot(true);
    connect(&listTimer, &QTimer::timeout, this, &FirmwareDownloader::getFirmwareListTimeout);
    connect(&listDeadline, &QTimer::timeout, this, &FirmwareDownloader::getFirmwareListTimeout);
    connect(&fileTimer, &QTimer::timeout, this, &FirmwareDownloader::getFirmwareTimeout);
    connect(&fileDeadline, &QTimer::timeout, this, &FirmwareDownloader::getFirmwareTimeout);
}

FirmwareDownloader::~FirmwareDownloader()
{
    // Outstanding replies go with the network manager, after the
    // connections to this object are gone.
    delete selectAllBox;
    delete progressDialog;
}

void FirmwareDownloader::setTimeLimits(int idle, int total)
{
    idleMillis = idle;
    totalMillis = total;
    batchMillis = total;
}

void FirmwareDownloader::setCrawlLimits(int pages, int files)
{
    maxPages = pages;
    maxFiles = files;
}

bool FirmwareDownloader::isRunning() const
{
    return phase != Phase::Idle;
}

void FirmwareDownloader::getFirmware()
{
    getFirmware(FW_URL());
}

void FirmwareDownloader::getFirmware(const QString& url)
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
    leftOutFiles = 0;
    pageFiles.clear();
    pageFolders.clear();
    brandChoices.clear();
    totalFiles = 0;
    savedFiles = 0;
    unsavedFiles.clear();
    QDir().mkpath(dataDir);
    basePage = url;
    // Files listed on the base page itself go to a folder named after it.
    requestPage(url, lastPathStep(url), 0);
}

QNetworkReply* FirmwareDownloader::get(const QString& url)
{
    QNetworkRequest request{QUrl(url)};
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(maxRedirects);
    return network->get(request);
}

void FirmwareDownloader::requestPage(const QString& url, const QString& folder, int depth)
{
    ++pagesRequested;
    listUrl = url;
    listFolder = folder;
    listDepth = depth;
    QNetworkReply* reply = get(url);
    listReply = reply;
    // Queued, so that no box opens inside the network layer's own calls.
    connect(
        reply, &QNetworkReply::finished, this, [this, reply] { getFirmwareListFinished(reply); },
        Qt::QueuedConnection);
    connect(reply, &QNetworkReply::downloadProgress, this,
            &FirmwareDownloader::listDownloadProgress);
    listTimer.start(idleMillis);
    listDeadline.start(totalMillis);
}

void FirmwareDownloader::listDownloadProgress(qint64 bytesReceived, qint64 bytesTotal)
{
    if (abortWhenTooLarge(sender(), bytesReceived, bytesTotal))
        return;
    if (listTimer.isActive())
        listTimer.start(idleMillis);
}

bool FirmwareDownloader::abortWhenTooLarge(QObject* sender, qint64 bytesReceived, qint64 bytesTotal)
{
    auto* reply = qobject_cast<QNetworkReply*>(sender);
    if (!reply || (bytesReceived <= MAX_REPLY_BYTES && bytesTotal <= MAX_REPLY_BYTES))
        return false;
    reply->setProperty(tooLargeProperty, true);
    reply->abort();
    return true;
}

void FirmwareDownloader::getFirmwareListFinished(QNetworkReply* reply)
{
    reply->deleteLater();
    // A page that a time limit gave up on was answered there.
    if (reply != listReply)
        return;
    listReply = nullptr;
    stopListTimers();

    const QString readFailedTitle = tr("Firmware list read failed");
    const QString pageFailedText = tr("Failed to parse page read from server.");
    if (reply->property(tooLargeProperty).toBool()) {
        endCrawl(QMessageBox::Information, readFailedTitle, pageFailedText, false);
        return;
    }
    if (const int code = failureCode(reply)) {
        endCrawl(QMessageBox::Warning, tr("Network Error"),
                 tr("There was a network error getting the remote firmware list.\n"
                    "Please ensure you are connected to the internet.\n\n"
                    "Error code: %1 - Network Connection Error")
                     .arg(code),
                 false);
        return;
    }

    QStringList files;
    QStringList folders;
    switch (IndexPage::read(reply->readAll(), &files, &folders)) {
    case IndexPage::NoList:
        endCrawl(QMessageBox::Information, readFailedTitle, pageFailedText, false);
        return;
    case IndexPage::BadEntry:
        endCrawl(QMessageBox::Information, readFailedTitle,
                 tr("Failed to parse firmware list read from server."), false);
        return;
    case IndexPage::Read:
        break;
    }
    takeFolders(folders, listDepth + 1);
    takeFiles(files);
    requestNextPage();
}

void FirmwareDownloader::takeFolders(const QStringList& names, int depth)
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
            // Too deep, or more than one crawl reads: the box says so.
            leftOutFolders.insert(folder);
        } else {
            leftOutFolders.remove(folder); // too deep where it was listed before
            seenFolders.insert(folder);
            pendingDirs.append({folder, depth});
        }
    }
}

void FirmwareDownloader::takeFiles(const QStringList& names)
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
            ++leftOutFiles; // every offered file is requested at once
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
QStringList FirmwareDownloader::exclusionList() const
{
    QFile file(DefaultStore::path(dataDir,
                                  {QStringLiteral("data"), QStringLiteral("local_firmwares.txt")}));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return IndexPage::textUpToNul(file.readAll()).split(FW_SEPARATOR);
}

void FirmwareDownloader::requestNextPage()
{
    if (pendingDirs.isEmpty()) {
        chooseBrands();
        return;
    }
    const Folder next = pendingDirs.takeLast();
    requestPage(below(crawlBase, next.name + QLatin1Char('/')), next.name, next.depth);
}

void FirmwareDownloader::chooseBrands()
{
    if (pageFiles.isEmpty()) {
        const QString leftOut = leftOutText();
        endCrawl(QMessageBox::Information, tr("No new firmware versions"),
                 tr("You have all of the latest firmware! There are no further firmware versions "
                    "available.")
                     + (leftOut.isEmpty() ? QString() : QStringLiteral("\n\n") + leftOut),
                 true);
        return;
    }
    phase = Phase::Choosing;
    auto* dialog = new FirmwareDownloaderDialog(parentWidget);
    dialog->settext(tr("Please choose the default parameter files based on the brands below.\n\n"
                       "Select from these options to download:"));
    const QString styleSheet = parentWidget ? parentWidget->styleSheet() : QString();
    for (auto it = pageFiles.constBegin(); it != pageFiles.constEnd(); ++it) {
        // Files of the base page itself are offered under an empty brand.
        const QString brand = it.key() == basePage ? QString() : pageFolders.value(it.key());
        if (brand.contains(QLatin1String("release")))
            continue;
        auto* box = new QCheckBox(tr("Download %1 parameter files").arg(brand));
        box->setStyleSheet(styleSheet);
        brandBoxes.insert(it.key(), box);
        dialog->addWidget(box);
    }
    dialog->addWidget(selectAllBox);
    selectAllBox->setChecked(true);
    // Also when "Select All" stayed ticked from an earlier choice.
    toggleSelectAllBox(Qt::Checked);

    const bool accepted = dialog->exec() == QDialog::Accepted;
    bool anyTicked = false;
    for (auto it = brandBoxes.constBegin(); it != brandBoxes.constEnd(); ++it) {
        brandChoices.insert(it.key(), accepted && it.value()->isChecked());
        anyTicked = anyTicked || brandChoices.value(it.key());
    }
    selectAllBox->setParent(nullptr);
    delete dialog;
    brandBoxes.clear();

    if (!anyTicked) {
        // Cancelled, or nothing chosen: the crawl ends with nothing fetched.
        phase = Phase::Idle;
        emit updateSuccess();
        return;
    }
    for (auto it = brandChoices.constBegin(); it != brandChoices.constEnd(); ++it) {
        if (it.value())
            QDir().mkpath(DefaultStore::path(dataDir, {pageFolders.value(it.key())}));
    }
    startDownloads();
}

void FirmwareDownloader::toggleSelectAllBox(int checked)
{
    QWidget* column = selectAllBox->parentWidget();
    const QList<QCheckBox*> boxes =
        column ? column->findChildren<QCheckBox*>() : QList<QCheckBox*>{selectAllBox.data()};
    for (QCheckBox* box : boxes)
        box->setChecked(checked != 0);
}

void FirmwareDownloader::startDownloads()
{
    phase = Phase::Downloading;
    for (auto it = pageFiles.constBegin(); it != pageFiles.constEnd(); ++it) {
        if (!brandChoices.value(it.key()))
            continue;
        const QString folder = pageFolders.value(it.key());
        for (const QString& name : it.value()) {
            QNetworkReply* reply = get(below(it.key(), name));
            connect(
                reply, &QNetworkReply::finished, this,
                [this, reply] { firmwareFileDownloadFinished(reply); }, Qt::QueuedConnection);
            connect(reply, &QNetworkReply::downloadProgress, this,
                    &FirmwareDownloader::fileDownloadProgress);
            pendingReplies.append(reply);
            targetPaths.insert(reply, DefaultStore::path(dataDir, {folder, name}));
            ++totalFiles;
        }
    }
    fileTimer.start(idleMillis);
    fileDeadline.start(batchMillis);
    progressDialog->setProgress(0);
    progressDialog->show();
    progressDialog->setProgressText(tr("Downloading Files..."));
}

void FirmwareDownloader::fileDownloadProgress(qint64 bytesReceived, qint64 bytesTotal)
{
    if (abortWhenTooLarge(sender(), bytesReceived, bytesTotal))
        return;
    if (fileTimer.isActive())
        fileTimer.start(idleMillis);
}

void FirmwareDownloader::firmwareFileDownloadFinished(QNetworkReply* reply)
{
    reply->deleteLater();
    // Each reply counts once; those a time limit gave up on not at all.
    if (!pendingReplies.removeOne(reply))
        return;
    const QString target = targetPaths.take(reply);
    const int remaining = pendingReplies.size();
    progressDialog->setProgress(100 - (remaining * 100) / totalFiles);
    progressDialog->setProgressText(
        tr("Downloading Files... %1 done.").arg(totalFiles - remaining));
    // The batch is over now, even while a box below waits for the user.
    if (remaining == 0)
        stopFileTimers();

    const int code = failureCode(reply);
    QString title = tr("File Not Saved");
    QString text;
    if (reply->property(tooLargeProperty).toBool()) {
        text = tr("Could not save the downloaded file %1: it is larger than %2 MB.")
                   .arg(target, QString::number(MAX_REPLY_BYTES / (1024 * 1024)));
    } else if (code != QNetworkReply::NoError) {
        title = tr("Network Error");
        text = tr("There was an error getting the remote firmware file: %1.\nError code: %2")
                   .arg(target, QString::number(code));
    } else {
        const QString problem = saveFile(target, reply->readAll());
        if (!problem.isEmpty())
            text = tr("Could not save the downloaded file %1: %2.").arg(target, problem);
    }
    if (text.isEmpty()) {
        ++savedFiles;
    } else {
        unsavedFiles << QDir(dataDir).relativeFilePath(target);
        showBox(QMessageBox::Warning, title, text);
    }
    if (remaining == 0)
        allDownloadsFinished();
}

// Empty when saved, else why not. A file of the same name is replaced only
// by a whole parameter file with at least one entry, and only once that is
// written completely.
QString FirmwareDownloader::saveFile(const QString& target, const QByteArray& body) const
{
    if (!hasParameterFileRoot(body))
        return tr("the server sent no parameter file");
    QBuffer buffer;
    buffer.setData(body);
    buffer.open(QIODevice::ReadOnly);
    ParameterFileReader reader;
    if (!reader.read(&buffer))
        return tr("the parameter file the server sent is broken or cut short (%1)")
            .arg(reader.errorString());
    if (reader.entries().isEmpty())
        return tr("the parameter file the server sent holds no parameters");
    const QString folder = QFileInfo(target).absolutePath();
    if (!QDir().mkpath(folder))
        return tr("its folder could not be created");
    const QString root = QFileInfo(dataDir).canonicalFilePath();
    const QString realFolder = QFileInfo(folder).canonicalFilePath();
    if (root.isEmpty() || !realFolder.startsWith(root + QLatin1Char('/')))
        return tr("its folder lies outside the store \"%1\"").arg(dataDir);
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    if (file.write(body) != body.size() || !file.commit())
        return file.errorString();
    return QString();
}

void FirmwareDownloader::allDownloadsFinished()
{
    stopFileTimers();
    phase = Phase::Idle;
    progressDialog->done(100);
    progressDialog->close();
    const QString missing = missingText();
    if (missing.isEmpty()) {
        showBox(QMessageBox::Information, tr("Parameter Files Download Complete"),
                tr("Default parameters have been downloaded to \"%1\", and you can now select "
                   "your desired configuration.\n\nThe dropdowns have been updated with the "
                   "latest Tamsett default files.")
                    .arg(dataDir));
    } else {
        showBox(
            QMessageBox::Warning, tr("Parameter Files Download Incomplete"),
            tr("%1 of %2 default parameter files were downloaded to \"%3\".\n\n%4\n\nThe "
               "dropdowns have been updated with the files that arrived.")
                .arg(QString::number(savedFiles), QString::number(totalFiles), dataDir, missing));
    }
    emit updateSuccess();
}

// What a closing box adds when the store did not get every file the server
// lists: the files not saved, and what the crawl's limits left out.
QString FirmwareDownloader::missingText() const
{
    QStringList parts;
    if (!unsavedFiles.isEmpty())
        parts << tr("These files could not be fetched or saved:\n%1").arg(nameList(unsavedFiles));
    const QString leftOut = leftOutText();
    if (!leftOut.isEmpty())
        parts << leftOut;
    return parts.join(QStringLiteral("\n\n"));
}

QString FirmwareDownloader::leftOutText() const
{
    if (leftOutFolders.isEmpty() && leftOutFiles == 0)
        return QString();
    const int folders = leftOutFolders.size();
    return tr("The server's listing is larger than the download's limits (%1 pages, folders %2 "
              "deep, %3 files): %4 not read and %5 listed but not fetched.")
        .arg(QString::number(maxPages), QString::number(MAX_FOLDER_DEPTH),
             QString::number(maxFiles),
             (folders == 1 ? tr("%1 folder") : tr("%1 folders")).arg(folders),
             (leftOutFiles == 1 ? tr("%1 file") : tr("%1 files")).arg(leftOutFiles));
}

void FirmwareDownloader::getFirmwareListTimeout()
{
    if (phase != Phase::Crawling || !listReply)
        return;
    QNetworkReply* reply = listReply;
    listReply = nullptr;
    stopListTimers();
    reply->abort();
    endCrawl(QMessageBox::Information, tr("Request Timed Out"),
             tr("Timed out getting firmware list from %1. The server could be down or under high "
                "load.")
                 .arg(serverHost()),
             false);
}

void FirmwareDownloader::getFirmwareTimeout()
{
    if (phase != Phase::Downloading)
        return;
    const QList<QNetworkReply*> outstanding = pendingReplies;
    for (QNetworkReply* reply : outstanding)
        unsavedFiles << QDir(dataDir).relativeFilePath(targetPaths.value(reply));
    pendingReplies.clear();
    targetPaths.clear();
    stopFileTimers();
    phase = Phase::Idle;
    for (QNetworkReply* reply : outstanding)
        reply->abort();
    progressDialog->done(100);
    showBox(QMessageBox::Information, tr("Request Timed Out"),
            tr("Timed out getting firmware files from %1. The server could be down or under high "
               "load.")
                    .arg(serverHost())
                + QStringLiteral("\n\n") + missingText());
    emit updateFail();
}

void FirmwareDownloader::endCrawl(QMessageBox::Icon icon, const QString& title, const QString& text,
                                  bool success)
{
    phase = Phase::Idle;
    showBox(icon, title, text);
    if (success)
        emit updateSuccess();
    else
        emit updateFail();
}

// Replies keep arriving while a box waits for the user; a box they raise
// then follows the one on screen instead of covering it.
void FirmwareDownloader::showBox(QMessageBox::Icon icon, const QString& title, const QString& text)
{
    waitingBoxes.append({icon, title, text});
    if (showingBox)
        return;
    showingBox = true;
    while (!waitingBoxes.isEmpty()) {
        const Box next = waitingBoxes.takeFirst();
        QMessageBox box(next.icon, next.title, next.text, QMessageBox::Ok, parentWidget);
        box.exec();
    }
    showingBox = false;
}

void FirmwareDownloader::stopListTimers()
{
    listTimer.stop();
    listDeadline.stop();
}

void FirmwareDownloader::stopFileTimers()
{
    fileTimer.stop();
    fileDeadline.stop();
}

QString FirmwareDownloader::serverHost() const
{
    return QUrl(crawlBase).host();
}
