#include "updater.h"

#include "boxquote.h"
#include "downloader.h"
#include "replyfailure.h"
#include "replysizelimit.h"
#include "versionfile.h"
#include "webaddress.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDesktopServices>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringList>
#include <QTimer>
#include <QUrl>

namespace {

// Redirects that led to a reply, carried from request to request.
const char* const redirectsProperty = "redirects";
// When the whole check must have ended, carried the same way.
const char* const deadlineProperty = "deadline";
// The limit a reply was ended for.
const char* const limitProperty = "brokenLimit";
const char* const sizeLimit = "size";
const char* const timeLimit = "time";

// The reply then arrives as cancelled, and onReply tells why.
void endForLimit(QNetworkReply* reply, const char* limit)
{
    if (reply->isFinished())
        return;
    reply->setProperty(limitProperty, QByteArray(limit));
    reply->abort();
}

QString heading(const QString& text)
{
    return QStringLiteral("<h3>") + text + QStringLiteral("</h3>");
}

} // namespace

Updater::Updater()
    : m_userAgentString(
        QStringLiteral("%1/%2 (Qt; QSimpleUpdater)")
            .arg(QCoreApplication::applicationName(), QCoreApplication::applicationVersion()))
    , m_platformKey(QStringLiteral("osx"))
    , m_moduleName(QCoreApplication::applicationName())
    , m_moduleVersion(QCoreApplication::applicationVersion())
{
    m_manager = new QNetworkAccessManager;
    // Redirects are followed here, bounded and checked, not by the manager.
    m_manager->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    // Queued, so that no box opens inside the network layer's own calls
    // (a reply ended for a limit finishes there).
    connect(m_manager, &QNetworkAccessManager::finished, this, &Updater::onReply,
            Qt::QueuedConnection);
}

Updater::~Updater()
{
    delete m_downloader;
    delete m_manager;
}

QString Updater::url() const
{
    return m_url;
}
QString Updater::userAgentString() const
{
    return m_userAgentString;
}
bool Updater::customAppcast() const
{
    return m_customAppcast;
}
bool Updater::notifyOnUpdate() const
{
    return m_notifyOnUpdate;
}
bool Updater::notifyOnFinish() const
{
    return m_notifyOnFinish;
}
bool Updater::updateAvailable() const
{
    return m_updateAvailable;
}
bool Updater::downloaderEnabled() const
{
    return m_downloaderEnabled;
}
bool Updater::mandatoryUpdate() const
{
    return m_mandatoryUpdate;
}
QString Updater::openUrl() const
{
    return m_openUrl;
}
QString Updater::platformKey() const
{
    return m_platformKey;
}
QString Updater::changelog() const
{
    return m_changelog;
}
QString Updater::moduleName() const
{
    return m_moduleName;
}
QString Updater::downloadUrl() const
{
    return m_downloadUrl;
}
QString Updater::moduleVersion() const
{
    return m_moduleVersion;
}
QString Updater::latestVersion() const
{
    return m_latestVersion;
}
bool Updater::useCustomInstallProcedures() const
{
    return m_customInstallProcedures;
}

void Updater::setUrl(const QString& url)
{
    m_url = url;
}
void Updater::setModuleName(const QString& name)
{
    m_moduleName = name;
}
void Updater::setNotifyOnUpdate(bool notify)
{
    m_notifyOnUpdate = notify;
}
void Updater::setNotifyOnFinish(bool notify)
{
    m_notifyOnFinish = notify;
}
void Updater::setModuleVersion(const QString& version)
{
    m_moduleVersion = version;
}
void Updater::setDownloaderEnabled(bool enabled)
{
    m_downloaderEnabled = enabled;
}
void Updater::setPlatformKey(const QString& platformKey)
{
    m_platformKey = platformKey;
}
void Updater::setUseCustomAppcast(bool customAppcast)
{
    m_customAppcast = customAppcast;
}
void Updater::setUseCustomInstallProcedures(bool custom)
{
    m_customInstallProcedures = custom;
    if (m_downloader)
        m_downloader->setUseCustomInstallProcedures(custom);
}
void Updater::setMandatoryUpdate(bool mandatory_update)
{
    m_mandatoryUpdate = mandatory_update;
}

void Updater::setUserAgentString(const QString& agent)
{
    m_userAgentString = agent;
    if (m_downloader)
        m_downloader->setUserAgentString(agent);
}

// Built when a download starts: the suite leaves its downloads to the
// browser, and a check then builds no window it never shows.
Downloader* Updater::downloader()
{
    if (!m_downloader) {
        m_downloader = new Downloader;
        m_downloader->setUserAgentString(m_userAgentString);
        m_downloader->setUseCustomInstallProcedures(m_customInstallProcedures);
        connect(m_downloader, &Downloader::downloadFinished, this, &Updater::downloadFinished);
    }
    return m_downloader;
}

bool Updater::compare(const QString& x, const QString& y)
{
    const QStringList xParts = x.split(QLatin1Char('.'));
    const QStringList yParts = y.split(QLatin1Char('.'));
    for (int i = 0; i < qMin(xParts.size(), yParts.size()); ++i) {
        // A part that is no whole number counts as 0.
        const qlonglong xNumber = xParts.at(i).toLongLong();
        const qlonglong yNumber = yParts.at(i).toLongLong();
        if (xNumber != yNumber)
            return xNumber > yNumber;
    }
    return xParts.size() > yParts.size();
}

void Updater::setTimeLimit(int millis)
{
    m_timeLimit = millis;
}

void Updater::setParentWidget(QWidget* parent)
{
    m_parentWidget = parent;
}

// Titled as the update's other windows are; made over the window that
// asked for the check.
void Updater::prepareBox(QMessageBox* box, const QString& text) const
{
    box->setWindowTitle(tr("Updater"));
    box->setTextFormat(Qt::RichText);
    box->setText(heading(text));
}

// Tells what went wrong; the detail is shown as text, never as markup.
void Updater::showProblem(const QString& text, const QString& detail) const
{
    QMessageBox box(m_parentWidget);
    prepareBox(&box, text);
    box.setIcon(QMessageBox::Warning);
    box.setStandardButtons(QMessageBox::Close);
    box.setInformativeText(detail.toHtmlEscaped());
    box.exec();
}

void Updater::checkForUpdates()
{
    request(0, QDeadlineTimer(m_timeLimit));
}

// Each call sends a request of its own; one in progress goes on.
void Updater::request(int redirects, const QDeadlineTimer& deadline)
{
    QNetworkRequest request(QUrl(m_url, QUrl::TolerantMode));
    if (!m_userAgentString.isEmpty())
        request.setRawHeader("User-Agent", m_userAgentString.toUtf8());
    // A server that stops sending ends the check as failed, not never.
    request.setTransferTimeout();
    QNetworkReply* reply = m_manager->get(request);
    reply->setProperty(redirectsProperty, redirects);
    reply->setProperty(deadlineProperty, QVariant::fromValue(deadline));
    auto* limit = new ReplySizeLimit(reply, MAX_VERSION_FILE_BYTES);
    connect(limit, &ReplySizeLimit::limitPassed, reply, [reply] { endForLimit(reply, sizeLimit); });
    QTimer::singleShot(static_cast<int>(deadline.remainingTime()), reply,
                       [reply] { endForLimit(reply, timeLimit); });
}

// Why a reply was ended before it finished, or an empty text.
QString Updater::brokenLimit(const QNetworkReply* reply) const
{
    const QByteArray limit = reply->property(limitProperty).toByteArray();
    if (limit == sizeLimit)
        return tr("The version file is larger than %1 MB.")
            .arg(MAX_VERSION_FILE_BYTES / (1024 * 1024));
    if (limit == timeLimit)
        return tr("The server took longer than %1 seconds to send the version file.")
            .arg(m_timeLimit / 1000.0);
    return QString();
}

void Updater::onReply(QNetworkReply* reply)
{
    reply->deleteLater();

    const QString limit = brokenLimit(reply);
    if (!limit.isEmpty()) {
        checkFailed(limit);
        return;
    }
    const QUrl target = WebAddress::redirectTarget(reply);
    if (!target.isEmpty()) {
        const int redirects = reply->property(redirectsProperty).toInt();
        if (redirects >= WebAddress::maxRedirects) {
            checkFailed(tr("The server redirected the request too many times."));
        } else if (!WebAddress::isWeb(target)) {
            checkFailed(tr("The server redirected the request to %1, which is not a web address.")
                            .arg(BoxQuote::cut(target.toString())));
        } else {
            // Later checks go straight to the new address.
            m_url = target.toString();
            request(redirects + 1, reply->property(deadlineProperty).value<QDeadlineTimer>());
        }
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        // Past the limits above, only the transfer timeout cancels a reply.
        const bool timedOut = reply->error() == QNetworkReply::OperationCanceledError;
        checkFailed(
            tr("The version file could not be fetched: %1")
                .arg(timedOut ? tr("the server did not answer") : ReplyFailure::text(reply)));
        return;
    }

    const QByteArray body = ReplySizeLimit::of(reply)->body();
    if (m_customAppcast) {
        emit appcastDownloaded(m_url, body);
        emit checkingFinished(m_url);
        return;
    }
    const QString problem = readVersionFile(body);
    if (!problem.isEmpty()) {
        checkFailed(problem);
        return;
    }
    setUpdateAvailable(compare(m_latestVersion, m_moduleVersion));
    emit checkingFinished(m_url);
}

// Takes this platform's entry into the fields; the text of what makes the
// file unusable, or an empty text.
QString Updater::readVersionFile(const QByteArray& body)
{
    VersionFile::Entry entry;
    QString jsonError;
    const VersionFile::Result result = VersionFile::read(body, m_platformKey, &entry, &jsonError);
    if (result == VersionFile::NotJson)
        return tr("The version file is not valid JSON: %1.").arg(jsonError);

    m_openUrl = entry.openUrl;
    m_changelog = entry.changelog;
    m_downloadUrl = entry.downloadUrl;
    m_latestVersion = entry.latestVersion;
    if (entry.hasMandatoryUpdate)
        m_mandatoryUpdate = entry.mandatoryUpdate;

    switch (result) {
    case VersionFile::NoUpdates:
        return tr("The version file has no \"updates\" object.");
    case VersionFile::NoPlatformEntry:
        return tr("The version file has no entry for the platform \"%1\".").arg(m_platformKey);
    case VersionFile::NoLatestVersion:
        return tr("The version file gives no latest version for the platform \"%1\".")
            .arg(m_platformKey);
    case VersionFile::NotJson:
    case VersionFile::Read:
        break;
    }
    return QString();
}

// A check that could not be made is said to have failed: it must never
// read as "no update available".
void Updater::checkFailed(const QString& reason)
{
    m_updateAvailable = false;
    if (m_notifyOnFinish)
        showProblem(tr("The check for updates failed"), reason);
    emit checkingFinished(m_url);
}

void Updater::setUpdateAvailable(bool available)
{
    m_updateAvailable = available;

    QMessageBox box(m_parentWidget);
    box.setIcon(QMessageBox::Information);
    // Texts from the version file are shown as text, never as markup. The
    // name is never broken at its hyphen ("kelvara-/suite").
    const QString module =
        QStringLiteral("<nobr>") + m_moduleName.toHtmlEscaped() + QStringLiteral("</nobr>");

    if (!available) {
        if (!m_notifyOnFinish)
            return;
        box.setStandardButtons(QMessageBox::Close);
        prepareBox(&box,
                   tr("Congratulations! You are running the latest version of %1").arg(module));
        box.setInformativeText(tr("No updates are available for the moment"));
        box.exec();
        return;
    }

    if (!m_notifyOnUpdate && !m_notifyOnFinish)
        return;
    prepareBox(&box,
               tr("Version %1 of %2 has been released!")
                   .arg(BoxQuote::cut(m_latestVersion).toHtmlEscaped(), module));
    box.setInformativeText(m_mandatoryUpdate
                               ? tr("Would you like to download the update now? This is a "
                                    "mandatory update, exiting now will close the application")
                               : tr("Would you like to download the update now?"));
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    if (box.exec() == QMessageBox::Yes)
        acceptUpdate();
    else if (m_mandatoryUpdate)
        QCoreApplication::quit();
}

void Updater::acceptUpdate()
{
    if (!m_openUrl.isEmpty()) {
        openWebAddress(m_openUrl);
    } else if (m_downloaderEnabled) {
        Downloader* window = downloader();
        window->setUrlId(m_url);
        window->setFileName(m_downloadUrl.mid(m_downloadUrl.lastIndexOf(QLatin1Char('/')) + 1));
        window->setMandatoryUpdate(m_mandatoryUpdate);
        window->startDownload(QUrl(m_downloadUrl, QUrl::TolerantMode));
    } else {
        openWebAddress(m_downloadUrl);
    }
}

// Only web pages go to the browser: a version file must not have the
// system open local files or other programs.
void Updater::openWebAddress(const QString& address)
{
    const QUrl url(address, QUrl::TolerantMode);
    const bool web = WebAddress::isWeb(url);
    if (web && QDesktopServices::openUrl(url))
        return;
    showProblem(tr("The new version could not be opened"),
                web ? tr("No browser opened %1.").arg(BoxQuote::cut(url.toString()))
                    : tr("The version file gives no web address for it."));
}
