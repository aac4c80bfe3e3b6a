#ifndef WEBADDRESS_H
#define WEBADDRESS_H

#include <QUrl>

class QNetworkReply;

// The addresses the update check follows or opens: files named by a version
// file or a server's redirect must not reach the local file system or
// another kind of handler.
namespace WebAddress {

// Redirects followed in a row before a request counts as failed.
const int maxRedirects = 10;

// An absolute http or https address with a host.
bool isWeb(const QUrl& url);

// Where a redirecting reply points, resolved against the reply's own
// address; empty when the reply is no redirect.
QUrl redirectTarget(const QNetworkReply* reply);

} // namespace WebAddress

#endif // WEBADDRESS_H
