#ifndef NETWORKCOM_H
#define NETWORKCOM_H

#include <QByteArray>
#include <QObject>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;

// A small client of the maker's web server: a probe of whether the server
// answers, and a GET whose body comes back with a status. Every request,
// the probe included, is aborted after a time limit, and once its reply
// passes the size limit of the server's replies (MakerServer). The suite
// builds it but does not use it: the downloads and the update check make
// their own requests.
class NetworkCom : public QObject
{
    Q_OBJECT

public:
    // Incomplete: the reply was cut off at the time or size limit; its
    // body is not handed on.
    enum MessageStatus { Success = 0, NoConnection = 1, Incomplete = 2 };
    Q_ENUM(MessageStatus)

    static const int TIMEOUT_MILLIS = 10000;

    explicit NetworkCom(QObject* parent = nullptr);
    ~NetworkCom() override;

    // True when the server's root answers with any bytes within the time
    // limit. Runs the event loop while it waits.
    bool checkConnection();
    // Probes, then sends a GET of url; false (and nothing sent) when the
    // probe fails. Its one response arrives as responseReceived().
    bool getRequest(QString url);
    void setTimeLimit(int millis);
    // The size limit of a reply's body, in bytes (the server's unless set).
    void setSizeLimit(qint64 bytes);

signals:
    void responseReceived(NetworkCom::MessageStatus status, QByteArray body);

public slots:
    void handleResponse(QNetworkReply* reply);

private:
    QNetworkReply* get(QNetworkAccessManager* network, const QString& url) const;

    QNetworkAccessManager* manager;
    int timeLimit = TIMEOUT_MILLIS;
    qint64 sizeLimit;
};

#endif // NETWORKCOM_H
