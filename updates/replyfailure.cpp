#include "replyfailure.h"

#include "boxquote.h"

#include <QNetworkReply>
#include <QNetworkRequest>

namespace ReplyFailure {

bool failed(const QNetworkReply* reply)
{
    if (reply->error() != QNetworkReply::NoError)
        return true;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    return status.isValid() && (status.toInt() < 200 || status.toInt() > 299);
}

QString text(const QNetworkReply* reply)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    // Below 400 the status names the failure only where the network layer
    // saw none of its own: a redirect it refused to follow (to a local
    // file, say) is told in its words.
    if (status >= 400 || (reply->error() == QNetworkReply::NoError && failed(reply)))
        return QStringLiteral("HTTP %1").arg(status);
    return BoxQuote::cut(reply->errorString());
}

} // namespace ReplyFailure
