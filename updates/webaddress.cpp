#include "webaddress.h"

#include <QNetworkReply>
#include <QNetworkRequest>

namespace WebAddress {

bool isWeb(const QUrl& url)
{
    return url.isValid()
        && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"))
        && !url.host().isEmpty();
}

QUrl redirectTarget(const QNetworkReply* reply)
{
    const QUrl target = reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
    return target.isEmpty() ? QUrl() : reply->url().resolved(target);
}

} // namespace WebAddress
