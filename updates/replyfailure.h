#ifndef REPLYFAILURE_H
#define REPLYFAILURE_H

#include <QString>

class QNetworkReply;

// What a failed request tells the user: the server's status where it
// answered with one ("HTTP 404"), else the network layer's words ("Connection
// refused"), never the network layer's error number, which reads like a
// status.
namespace ReplyFailure {

// A network error, or an answer other than 2xx.
bool failed(const QNetworkReply* reply);
QString text(const QNetworkReply* reply);

} // namespace ReplyFailure

#endif // REPLYFAILURE_H
