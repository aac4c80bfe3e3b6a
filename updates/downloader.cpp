#include "downloader.h"

#include "boxquote.h"
#include "replyfailure.h"
#include "screenfit.h"
#include "ui_downloader.h"
#include "webaddress.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <cmath>

namespace {

// Name ending of a file while it is being downloaded.
const char* const partSuffix = ".part";
const char* const fallbackFileName = "QSU_Update.bin";

quint32 secondsSinceEpoch()
{
    return static_cast<quint32>(QDateTime::currentSecsSinceEpoch());
}

} // namespace

Downloader::Downloader(QWidget* parent)
    : QWidget(parent)
    , m_downloadDir(QDir::homePath() + QStringLiteral("/Downloads/"))
{
    ui = new Ui_Downloader;
    ui->setupUi(this);
    m_manager = new QNetworkAccessManager;
    // Redirects are followed here, bounded and checked, not by the manager.
    m_manager->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);

    setWindowIcon(QIcon());
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    ui->openButton->setEnabled(false);
    ui->openButton->hide();
    connect(ui->stopButton, &QPushButton::clicked, this, &Downloader::cancelDownload);
    connect(ui->openButton, &QPushButton::clicked, this, &Downloader::installUpdate);
    setFixedSize(minimumSizeHint());
    ScreenFit::scaleDialog(this);
}

Downloader::~Downloader()
{
    // A download cut short by the window's end leaves no partial file.
    if (m_reply && !m_reply->isFinished())
        removeFiles();
    delete ui;
    delete m_reply;
    delete m_manager;
}

QString Downloader::downloadDir() const
{
    return m_downloadDir.absolutePath();
}

void Downloader::setDownloadDir(const QString& dir)
{
    if (m_downloadDir.absolutePath() != dir)
        m_downloadDir.setPath(dir);
}

bool Downloader::useCustomInstallProcedures() const
{
    return m_customProcedures;
}

double Downloader::round(const double& input)
{
    const float value = static_cast<float>(input);
    return static_cast<double>(std::round(value * 100.0f) / 100.0f);
}

QString Downloader::sizeText(qint64 bytes)
{
    if (bytes < 1024)
        return tr("%1 bytes").arg(bytes);
    if (bytes < 1048576)
        return tr("%1 KB").arg(bytes / 1024);
    return tr("%1 MB").arg(bytes / 1048576);
}

QString Downloader::timeText(qint64 seconds)
{
    if (seconds <= 60)
        return seconds < 2 ? tr("1 second") : tr("%1 seconds").arg(seconds);
    if (seconds <= 7200) {
        const qint64 minutes = static_cast<qint64>(seconds / 60.0 + 0.5);
        return minutes > 1 ? tr("%1 minutes").arg(minutes) : tr("1 minute");
    }
    const qint64 hours = static_cast<qint64>(seconds / 3600.0 + 0.5);
    return hours < 2 ? tr("about one hour") : tr("about %1 hours").arg(hours);
}

void Downloader::setUrlId(const QString& url)
{
    m_urlId = url;
}

void Downloader::startDownload(const QUrl& url)
{
    fetch(url, 0);
}

// Only a bare name: whatever comes before a "/" would lead out of the
// download folder.
void Downloader::setFileName(const QString& file)
{
    m_fileName = QFileInfo(file).fileName();
    if (m_fileName.isEmpty() || m_fileName == QLatin1String(".")
        || m_fileName == QLatin1String(".."))
        m_fileName = QString::fromLatin1(fallbackFileName);
}

void Downloader::setUserAgentString(const QString& agent)
{
    m_userAgent = agent;
}

void Downloader::setUseCustomInstallProcedures(bool custom)
{
    m_customProcedures = custom;
}

void Downloader::setMandatoryUpdate(bool mandatory_update)
{
    m_mandatoryUpdate = mandatory_update;
}

void Downloader::fetch(const QUrl& url, int redirects)
{
    dropReply();
    m_redirects = redirects;
    m_writeFailed = false;
    if (m_fileName.isEmpty())
        setFileName(QString());

    ui->progressBar->setRange(0, 100);
    ui->progressBar->setValue(0);
    ui->stopButton->setText(tr("Stop"));
    ui->downloadLabel->setText(tr("Downloading updates"));
    ui->timeLabel->setText(tr("Time remaining") + QStringLiteral(": ") + tr("unknown"));
    ui->openButton->setEnabled(false);
    ui->openButton->hide();
    if (!WebAddress::isWeb(url)) {
        fail(tr("%1 is not a web address.").arg(BoxQuote::cut(url.toString())));
        return;
    }

    QNetworkRequest request(url);
    if (!m_userAgent.isEmpty())
        request.setRawHeader("User-Agent", m_userAgent.toUtf8());
    m_reply = m_manager->get(request);
    m_startTime = secondsSinceEpoch();

    if (!m_downloadDir.exists())
        m_downloadDir.mkpath(QStringLiteral("."));
    removeFiles();

    connect(m_reply, &QNetworkReply::downloadProgress, this, &Downloader::updateProgress);
    connect(m_reply, &QNetworkReply::finished, this, &Downloader::finished);
    showNormal();
}

// Forgets the current reply; a running transfer is stopped without
// reaching finished().
void Downloader::dropReply()
{
    if (!m_reply)
        return;
    disconnect(m_reply, nullptr, this, nullptr);
    if (!m_reply->isFinished())
        m_reply->abort();
    m_reply->deleteLater();
    m_reply = nullptr;
}

void Downloader::updateProgress(qlonglong received, qlonglong total)
{
    if (total > 0) {
        ui->progressBar->setRange(0, 100);
        ui->progressBar->setValue(static_cast<int>(received * 100 / total));
        calculateSizes(received, total);
        calculateTimeRemaining(received, total);
        saveFile(received, total);
        return;
    }
    ui->progressBar->setRange(0, 0);
    ui->progressBar->setValue(-1);
    ui->downloadLabel->setText(tr("Downloading Updates") + QStringLiteral("..."));
    ui->timeLabel->setText(QStringLiteral("%1: %2").arg(tr("Time Remaining"), tr("Unknown")));
}

void Downloader::calculateSizes(qlonglong received, qlonglong total)
{
    ui->downloadLabel->setText(tr("Downloading updates") + QStringLiteral(" (") + sizeText(received)
                               + QLatin1Char(' ') + tr("of") + QLatin1Char(' ') + sizeText(total)
                               + QLatin1Char(')'));
}

void Downloader::calculateTimeRemaining(qlonglong received, qlonglong total)
{
    const quint32 elapsed = secondsSinceEpoch() - m_startTime;
    if (elapsed == 0)
        return;
    // Fewer bytes than seconds so far give no rate to estimate from.
    const qint64 rate = received / elapsed;
    const QString remaining =
        rate > 0 ? timeText(qMax<qint64>(0, (total - received) / rate)) : tr("unknown");
    ui->timeLabel->setText(tr("Time remaining") + QStringLiteral(": ") + remaining);
}

// A redirect's own body is not the file; finished() follows the redirect.
void Downloader::saveFile(qlonglong, qlonglong)
{
    if (!m_reply || !WebAddress::redirectTarget(m_reply).isEmpty())
        return;
    appendReceived();
}

// Appends what the reply holds to the partial file. Data that cannot be
// written yet stays in the reply; a short write spoils the download.
void Downloader::appendReceived()
{
    QFile file(partPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    const QByteArray data = m_reply->readAll();
    if (file.write(data) != data.size() || !file.flush())
        m_writeFailed = true;
}

void Downloader::finished()
{
    auto* reply = qobject_cast<QNetworkReply*>(sender());
    if (!m_reply || (reply && reply != m_reply))
        return;

    const QUrl target = WebAddress::redirectTarget(m_reply);
    if (!target.isEmpty()) {
        if (m_redirects >= WebAddress::maxRedirects)
            fail(tr("The server redirected the download too many times."));
        else if (!WebAddress::isWeb(target))
            fail(tr("The server redirected the download to %1, which is not a web address.")
                     .arg(BoxQuote::cut(target.toString())));
        else
            fetch(target, m_redirects + 1);
        return;
    }
    if (m_reply->error() == QNetworkReply::OperationCanceledError) {
        dropReply();
        removeFiles();
        return;
    }
    if (m_reply->error() != QNetworkReply::NoError) {
        fail(ReplyFailure::text(m_reply));
        return;
    }

    // Data sent without a total size has not been written so far.
    appendReceived();
    QFile::remove(filePath());
    if (m_writeFailed || m_reply->bytesAvailable() > 0 || !QFile::rename(partPath(), filePath())) {
        fail(tr("The file %1 could not be written.").arg(BoxQuote::cut(filePath())));
        return;
    }

    emit downloadFinished(m_urlId, filePath());
    m_reply->close();
    installUpdate();
    hide();
}

void Downloader::installUpdate()
{
    if (m_customProcedures)
        return;

    ui->stopButton->setText(tr("Close"));
    ui->downloadLabel->setText(tr("Download complete!"));
    ui->timeLabel->setText(tr("The installer will open separately") + QStringLiteral("..."));

    QMessageBox box;
    box.setIcon(QMessageBox::Question);
    box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Ok);
    box.setInformativeText(tr("Click \"OK\" to begin installing the update"));
    const QString text = m_mandatoryUpdate
        ? tr("In order to install the update, you may need to quit the application. This is a "
             "mandatory update, exiting now will close the application")
        : tr("In order to install the update, you may need to quit the application.");
    box.setText(QStringLiteral("<h3>") + text + QStringLiteral("</h3>"));

    if (box.exec() == QMessageBox::Ok) {
        openDownload();
        return;
    }
    quitWhenMandatory();
    ui->openButton->setEnabled(true);
    ui->openButton->show();
    ui->timeLabel->setText(tr("Click the \"Open\" button to apply the update"));
}

void Downloader::openDownload()
{
    if (!m_fileName.isEmpty() && QFileInfo(filePath()).isFile()) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(filePath()));
        return;
    }
    QMessageBox::critical(this, tr("Error"), tr("Cannot find downloaded update!"),
                          QMessageBox::Close);
}

void Downloader::cancelDownload()
{
    if (!m_reply || m_reply->isFinished()) {
        quitWhenMandatory();
        hide();
        return;
    }

    QMessageBox box;
    box.setWindowTitle(tr("Updater"));
    box.setIcon(QMessageBox::Question);
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setText(m_mandatoryUpdate ? tr(
                    "Are you sure you want to cancel the download? This is a mandatory update, "
                    "exiting now will close the application")
                                  : tr("Are you sure you want to cancel the download?"));
    if (box.exec() != QMessageBox::Yes)
        return;

    hide();
    // The download may have ended while the box was open; a finished file
    // has been announced and stays.
    if (m_reply && !m_reply->isFinished()) {
        dropReply();
        removeFiles();
    }
    quitWhenMandatory();
}

// Nothing of a failed download stays behind or is offered for opening.
void Downloader::fail(const QString& reason)
{
    dropReply();
    removeFiles();
    hide();

    QMessageBox box;
    box.setWindowTitle(tr("Updater"));
    box.setIcon(QMessageBox::Critical);
    box.setStandardButtons(QMessageBox::Close);
    box.setTextFormat(Qt::RichText);
    box.setText(QStringLiteral("<h3>") + tr("The update could not be downloaded")
                + QStringLiteral("</h3>"));
    // Addresses from the server show as text, never as markup.
    box.setInformativeText(reason.toHtmlEscaped());
    box.exec();
}

void Downloader::removeFiles() const
{
    QFile::remove(filePath());
    QFile::remove(partPath());
}

QString Downloader::filePath() const
{
    return m_downloadDir.filePath(m_fileName);
}

QString Downloader::partPath() const
{
    return filePath() + QLatin1String(partSuffix);
}

void Downloader::quitWhenMandatory() const
{
    if (m_mandatoryUpdate)
        QCoreApplication::quit();
}
