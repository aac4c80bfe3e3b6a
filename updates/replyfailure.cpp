#include "replyfailure.h"

#include "boxquote.h"

#include <QNetworkReply>
#include <QNetworkRequest>

namespace ReplyFailure {

QString text(const QNetworkReply* reply)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool outside2xx = status > 0 && (status < 200 || status > 299);
    // Below 400 the status names the failure only where the network layer
    // saw none of its own: a redirect it refused to follow (to a local
    // file, say) is told in its words.
    if (status >= 400 || (outside2xx && reply->error() == QNetworkReply::NoError))
        return QStringLiteral("HTTP %1").arg(status);
    return BoxQuote::cut(reply->errorString());
}

} // namespace ReplyFailure
