#include "firmwaredownloader.h"

#include "boxquote.h"
#include "defaultstore.h"
#include "firmwaredownloaderdialog.h"
#include "listmessagebox.h"
#include "pathmessagebox.h"
#include "progressdialog.h"

#include <QCheckBox>
#include <QDir>

const QString& FirmwareDownloader::FW_SEPARATOR = DefaultFileCrawler::FW_SEPARATOR;

namespace {

// Names one a line, in order, each with why it is missing where that is
// known: the closing box keeps a long list within the screen.
QString nameList(QStringList names, const QMap<QString, QString>& reasons)
{
    names.sort();
    QStringList entries;
    for (const QString& name : qAsConst(names)) {
        const QString reason = reasons.value(name);
        entries << BoxQuote::cut(name)
                + (reason.isEmpty() ? QString() : QStringLiteral(": ") + reason);
    }
    return ListMessageBox::listed(entries);
}

} // namespace

QString FirmwareDownloader::FW_URL()
{
    return DefaultFileCrawler::FW_URL();
}

FirmwareDownloader::FirmwareDownloader(QWidget* parent, bool)
    : QObject(parent)
    , parentWidget(parent)
    , crawler(new DefaultFileCrawler(this))
    , progressDialog(new ProgressDialog(tr("Downloading Files"), true, parent))
    , selectAllBox(new QCheckBox(tr("Select All")))
    , dataDir(DefaultStore::root())
{
    if (parentWidget)
        selectAllBox->setStyleSheet(parentWidget->styleSheet());
    connect(selectAllBox, &QCheckBox::stateChanged, this, &FirmwareDownloader::toggleSelectAllBox);

    connect(crawler, &DefaultFileCrawler::crawlFailed, this, &FirmwareDownloader::showCrawlFailure);
    connect(crawler, &DefaultFileCrawler::crawlFinished, this, &FirmwareDownloader::chooseBrands);
    connect(crawler, &DefaultFileCrawler::fileFinished, this,
            &FirmwareDownloader::noteFileFinished);
    connect(crawler, &DefaultFileCrawler::batchFinished, this,
            &FirmwareDownloader::allDownloadsFinished);
    connect(crawler, &DefaultFileCrawler::batchTimedOut, this,
            &FirmwareDownloader::showTimedOutBatch);
}

FirmwareDownloader::~FirmwareDownloader()
{
    // Outstanding replies go with the crawler, after the connections to
    // this object are gone.
    delete selectAllBox;
    delete progressDialog;
}

void FirmwareDownloader::setTimeLimits(int idleMillis, int totalMillis)
{
    crawler->setTimeLimits(idleMillis, totalMillis);
}

void FirmwareDownloader::setCrawlLimits(int pages, int files)
{
    crawler->setCrawlLimits(pages, files);
}

bool FirmwareDownloader::isRunning() const
{
    return crawler->isRunning();
}

void FirmwareDownloader::getFirmware()
{
    getFirmware(FW_URL());
}

void FirmwareDownloader::getFirmware(const QString& url)
{
    if (!crawler->isRunning())
        fileFailures.clear();
    crawler->crawl(url);
}

void FirmwareDownloader::showCrawlFailure(DefaultFileCrawler::Failure failure,
                                          const QString& reason)
{
    const QString readFailedTitle = tr("Firmware list read failed");
    switch (failure) {
    case DefaultFileCrawler::NetworkFailure:
        endCrawl(QMessageBox::Warning, tr("Network Error"),
                 tr("There was a network error getting the remote firmware list.\n"
                    "Please ensure you are connected to the internet.\n\n"
                    "Error code: %1 - Network Connection Error")
                     .arg(reason),
                 false);
        break;
    case DefaultFileCrawler::PageUnreadable:
        endCrawl(QMessageBox::Information, readFailedTitle,
                 tr("Failed to parse page read from server."), false);
        break;
    case DefaultFileCrawler::PageTooLarge:
        endCrawl(QMessageBox::Information, readFailedTitle,
                 tr("A page read from the server is larger than %1 MB, more than an index page "
                    "can be: it was not read.")
                     .arg(DefaultFileCrawler::MAX_REPLY_BYTES / (1024 * 1024)),
                 false);
        break;
    case DefaultFileCrawler::EntryUnreadable:
        endCrawl(QMessageBox::Information, readFailedTitle,
                 tr("Failed to parse firmware list read from server."), false);
        break;
    case DefaultFileCrawler::PageTimedOut:
        endCrawl(QMessageBox::Information, tr("Request Timed Out"),
                 tr("Timed out getting firmware list from %1. The server could be down or under "
                    "high load.")
                     .arg(crawler->serverHost()),
                 false);
        break;
    }
}

void FirmwareDownloader::chooseBrands()
{
    if (crawler->brands().isEmpty()) {
        const QString leftOut = leftOutText();
        endCrawl(QMessageBox::Information, tr("No new firmware versions"),
                 tr("You have all of the latest firmware! There are no further firmware versions "
                    "available.")
                     + (leftOut.isEmpty() ? QString() : QStringLiteral("\n\n") + leftOut),
                 true);
        return;
    }
    const QStringList chosen = askForBrands();
    crawler->fetch(chosen);
    if (chosen.isEmpty()) {
        // Cancelled, or nothing chosen: the crawl ends with nothing fetched.
        emit updateSuccess();
        return;
    }
    progressDialog->setProgress(0);
    progressDialog->show();
    progressDialog->setProgressText(tr("Downloading Files..."));
}

// The pages whose brand boxes are ticked when the user presses OK.
QStringList FirmwareDownloader::askForBrands()
{
    auto* dialog = new FirmwareDownloaderDialog(parentWidget);
    dialog->settext(tr("Please choose the default parameter files based on the brands below.\n\n"
                       "Select from these options to download:"));
    const QString styleSheet = parentWidget ? parentWidget->styleSheet() : QString();
    const QMap<QString, QString> brands = crawler->brands();
    for (auto it = brands.constBegin(); it != brands.constEnd(); ++it) {
        if (it.value().contains(QLatin1String("release")))
            continue;
        auto* box = new QCheckBox(tr("Download %1 parameter files").arg(BoxQuote::cut(it.value())));
        box->setStyleSheet(styleSheet);
        brandBoxes.insert(it.key(), box);
        dialog->addWidget(box);
    }
    dialog->addWidget(selectAllBox);
    selectAllBox->setChecked(true);
    // Also when "Select All" stayed ticked from an earlier choice.
    toggleSelectAllBox(Qt::Checked);

    const bool accepted = dialog->exec() == QDialog::Accepted;
    QStringList chosen;
    for (auto it = brandBoxes.constBegin(); it != brandBoxes.constEnd(); ++it) {
        if (accepted && it.value()->isChecked())
            chosen << it.key();
    }
    selectAllBox->setParent(nullptr);
    delete dialog;
    brandBoxes.clear();
    return chosen;
}

void FirmwareDownloader::toggleSelectAllBox(int checked)
{
    QWidget* column = selectAllBox->parentWidget();
    const QList<QCheckBox*> boxes =
        column ? column->findChildren<QCheckBox*>() : QList<QCheckBox*>{selectAllBox.data()};
    for (QCheckBox* box : boxes)
        box->setChecked(checked != 0);
}

// A file that is not stored is told in the report at the batch's end, with
// the others: a box for each would stop the user once a file.
void FirmwareDownloader::noteFileFinished(const QString& target, const QString& problem)
{
    const DefaultFileCrawler::Tally& tally = crawler->tally();
    const int remaining = tally.filesRequested - tally.filesFinished;
    progressDialog->setProgress(100 - (remaining * 100) / tally.filesRequested);
    progressDialog->setProgressText(tr("Downloading Files... %1 done.").arg(tally.filesFinished));
    if (!problem.isEmpty())
        fileFailures.insert(QDir(dataDir).relativeFilePath(target), problem);
}

void FirmwareDownloader::allDownloadsFinished()
{
    progressDialog->done(100);
    progressDialog->close();
    const QString missing = missingText();
    if (missing.isEmpty()) {
        showBox(QMessageBox::Information, tr("Parameter Files Download Complete"),
                tr("Default parameters have been downloaded to the folder below, and you can "
                   "now select your desired configuration.\n\nThe dropdowns have been updated "
                   "with the latest Tamsett default files."),
                storeLine());
    } else {
        const DefaultFileCrawler::Tally& tally = crawler->tally();
        showBox(QMessageBox::Warning, tr("Parameter Files Download Incomplete"),
                tr("%1 of %2 default parameter files were downloaded to the folder below.\n\n%3"
                   "\n\nThe dropdowns have been updated with the files that arrived.")
                    .arg(QString::number(tally.filesSaved), QString::number(tally.filesRequested),
                         missing),
                storeLine());
    }
    emit updateSuccess();
}

void FirmwareDownloader::showTimedOutBatch()
{
    progressDialog->done(100);
    showBox(QMessageBox::Information, tr("Request Timed Out"),
            tr("Timed out getting firmware files from %1. The server could be down or under high "
               "load.")
                    .arg(crawler->serverHost())
                + QStringLiteral("\n\n") + missingText());
    emit updateFail();
}

// The store as the closing boxes name it, on a line of its own.
QString FirmwareDownloader::storeLine() const
{
    return QLatin1Char('"') + QDir::toNativeSeparators(dataDir) + QLatin1Char('"');
}

// What a closing box adds when the store did not get every file the server
// lists: the files not saved, and what the crawl's limits left out.
QString FirmwareDownloader::missingText() const
{
    QStringList parts;
    const QStringList missing = crawler->tally().filesMissing;
    if (!missing.isEmpty())
        parts << tr("These files could not be fetched or saved:\n%1")
                     .arg(nameList(missing, fileFailures));
    const QString leftOut = leftOutText();
    if (!leftOut.isEmpty())
        parts << leftOut;
    return parts.join(QStringLiteral("\n\n"));
}

QString FirmwareDownloader::leftOutText() const
{
    const DefaultFileCrawler::Tally& tally = crawler->tally();
    if (tally.foldersLeftOut == 0 && tally.filesLeftOut == 0)
        return QString();
    const int folders = tally.foldersLeftOut;
    const int files = tally.filesLeftOut;
    return tr("The server's listing is larger than the download's limits (%1 pages, folders %2 "
              "deep, %3 files): %4 not read and %5 listed but not fetched.")
        .arg(QString::number(tally.pageLimit),
             QString::number(DefaultFileCrawler::MAX_FOLDER_DEPTH),
             QString::number(tally.fileLimit),
             (folders == 1 ? tr("%1 folder") : tr("%1 folders")).arg(folders),
             (files == 1 ? tr("%1 file") : tr("%1 files")).arg(files));
}

void FirmwareDownloader::endCrawl(QMessageBox::Icon icon, const QString& title, const QString& text,
                                  bool success)
{
    showBox(icon, title, text);
    if (success)
        emit updateSuccess();
    else
        emit updateFail();
}

// Replies keep arriving while a box waits for the user; a box they raise
// then follows the one on screen instead of covering it.
void FirmwareDownloader::showBox(QMessageBox::Icon icon, const QString& title, const QString& text,
                                 const QString& pathLine)
{
    waitingBoxes.append({icon, title, text, pathLine});
    if (showingBox)
        return;
    showingBox = true;
    while (!waitingBoxes.isEmpty()) {
        const Box next = waitingBoxes.takeFirst();
        PathMessageBox box(next.icon, next.title, next.text, next.pathLine, parentWidget);
        box.exec();
    }
    showingBox = false;
}
