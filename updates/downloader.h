#ifndef DOWNLOADER_H
#define DOWNLOADER_H

#include <QDir>
#include <QString>
#include <QUrl>
#include <QWidget>

class QNetworkAccessManager;
class QNetworkReply;
class Ui_Downloader;

// A small window that downloads one update file into the user's Downloads
// folder, showing progress, size and time remaining, and then offers to
// open it. The file is written as NAME.part and renamed to NAME once the
// whole of it has arrived; a failed or cancelled download leaves neither.
class Downloader : public QWidget
{
    Q_OBJECT

public:
    explicit Downloader(QWidget* parent = nullptr);
    ~Downloader() override;

    QString downloadDir() const;
    void setDownloadDir(const QString& dir);
    bool useCustomInstallProcedures() const;

    // The input rounded to two decimals in single precision.
    static double round(const double& input);
    // "512 KB", as the size label shows a byte count.
    static QString sizeText(qint64 bytes);
    // "3 minutes", as the time label shows a remaining time.
    static QString timeText(qint64 seconds);

signals:
    void downloadFinished(const QString& url, const QString& filepath);

public slots:
    void setUrlId(const QString& url);
    void startDownload(const QUrl& url);
    void setFileName(const QString& file);
    void setUserAgentString(const QString& agent);
    void setUseCustomInstallProcedures(bool custom);
    void setMandatoryUpdate(bool mandatory_update);
    void finished();
    void openDownload();
    void installUpdate();
    void cancelDownload();
    void saveFile(qlonglong received, qlonglong total);
    void calculateSizes(qlonglong received, qlonglong total);
    void updateProgress(qlonglong received, qlonglong total);
    void calculateTimeRemaining(qlonglong received, qlonglong total);

private:
    void fetch(const QUrl& url, int redirects);
    void dropReply();
    void appendReceived();
    void fail(const QString& reason);
    void removeFiles() const;
    QString filePath() const;
    QString partPath() const;
    void quitWhenMandatory() const;

    QString m_urlId;
    quint32 m_startTime = 0;
    QDir m_downloadDir;
    QString m_fileName;
    Ui_Downloader* ui = nullptr;
    QNetworkReply* m_reply = nullptr;
    QString m_userAgent;
    bool m_customProcedures = false;
    bool m_mandatoryUpdate = false;
    QNetworkAccessManager* m_manager = nullptr;
    // Redirects followed so far by the current download.
    int m_redirects = 0;
    // Some received data could not be written to the partial file.
    bool m_writeFailed = false;
};

#endif // DOWNLOADER_H
