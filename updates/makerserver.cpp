#include "makerserver.h"

#include <QDebug>
#include <QUrl>

namespace MakerServer {

const char* const defaultAddress = "https://www.tamsett.com";
const char* const addressVariable = "KELVARA_SERVER_URL";

namespace {

bool isServerAddress(const QUrl& url)
{
    return url.isValid()
        && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"))
        && !url.host().isEmpty() && (url.path().isEmpty() || url.path() == QLatin1String("/"))
        && !url.hasQuery() && !url.hasFragment() && url.userInfo().isEmpty();
}

} // namespace

QString address()
{
    const QString wanted = qEnvironmentVariable(addressVariable).trimmed();
    if (!wanted.isEmpty()) {
        const QUrl url(wanted, QUrl::StrictMode);
        if (isServerAddress(url))
            return url.adjusted(QUrl::StripTrailingSlash).toString(QUrl::RemovePath);
        qWarning().noquote() << QStringLiteral("%1 is not an http(s) server address: %2; using %3")
                                    .arg(QLatin1String(addressVariable), wanted,
                                         QLatin1String(defaultAddress));
    }
    return QString::fromLatin1(defaultAddress);
}

QString host()
{
    return QUrl(address()).host();
}

QString url(const QString& path)
{
    return address() + path;
}

} // namespace MakerServer
