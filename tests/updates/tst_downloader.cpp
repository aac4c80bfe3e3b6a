#include "downloader.h"
#include "loopbackhttpserver.h"
#include "modalwatcher.h"
#include "openedurls.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString failed = "<h3>The update could not be downloaded</h3>";
const QString install = "<h3>In order to install the update, you may need to quit the application.</h3>";

QString labelText(const Downloader& window, const char* name)
{
    return window.findChild<QLabel*>(name)->text();
}

} // namespace

class tst_Downloader : public QObject
{
    Q_OBJECT

private slots:
    void sizeText_data();
    void sizeText();
    void timeText_data();
    void timeText();
    void download_data();
    void download();
    void cancel();
};

void tst_Downloader::sizeText_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("1023") << qint64(1023) << "1023 bytes";
    QTest::newRow("1024") << qint64(1024) << "1 KB";
    QTest::newRow("1048575") << qint64(1048575) << "1023 KB";
    QTest::newRow("3800000") << qint64(3800000) << "3 MB";
}

void tst_Downloader::sizeText()
{
    QFETCH(qint64, bytes);
    QFETCH(QString, text);
    QCOMPARE(Downloader::sizeText(bytes), text);
}

void tst_Downloader::timeText_data()
{
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << qint64(0) << "1 second";
    QTest::newRow("2") << qint64(2) << "2 seconds";
    QTest::newRow("60") << qint64(60) << "60 seconds";
    QTest::newRow("61") << qint64(61) << "1 minute";
    QTest::newRow("90") << qint64(90) << "2 minutes";
    QTest::newRow("7200") << qint64(7200) << "120 minutes";
    QTest::newRow("7201") << qint64(7201) << "about 2 hours";
}

void tst_Downloader::timeText()
{
    QFETCH(qint64, seconds);
    QFETCH(QString, text);
    QCOMPARE(Downloader::timeText(seconds), text);
}

// "/get" serves the file or redirects to "/file.bin", which serves it.
void tst_Downloader::download_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("redirect");
    QTest::addColumn<bool>("custom");
    QTest::addColumn<QStringList>("boxes");
    QTest::newRow("custom install") << 200 << QByteArray() << true << QStringList();
    QTest::newRow("install prompt opens") << 200 << QByteArray() << false << QStringList{install};
    QTest::newRow("relative redirect") << 200 << QByteArray("file.bin") << true << QStringList();
    QTest::newRow("not found") << 404 << QByteArray() << false << QStringList{failed};
    QTest::newRow("redirect loop") << 200 << QByteArray("/get") << false << QStringList{failed};
    QTest::newRow("redirect to a file") << 200 << QByteArray("file:///etc/hostname") << false << QStringList{failed};
}

void tst_Downloader::download()
{
    QFETCH(int, status);
    QFETCH(QByteArray, redirect);
    QFETCH(bool, custom);
    QFETCH(QStringList, boxes);
    const QByteArray body(1536 * 1024 + 7, 'u');
    LoopbackHttpServer server;
    server.serve("/get", {status, body, {}, -1});
    if (!redirect.isEmpty()) {
        server.serve("/get", {302, {}, {{"Location", redirect}}, -1});
        server.serve("/file.bin", body);
    }
    QTemporaryDir home;
    Downloader window;
    window.setDownloadDir(home.path());
    window.setFileName("Kelvara.dmg");
    window.setUrlId("the version file");
    window.setUseCustomInstallProcedures(custom);
    OpenedUrls opener;
    ModalWatcher watcher;
    QSignalSpy done(&window, &Downloader::downloadFinished);

    window.startDownload(server.url() + "/get");
    QVERIFY(window.isVisible());
    QTRY_VERIFY(window.isHidden());
    QTRY_COMPARE(watcher.texts(), boxes);

    const bool ok = boxes.isEmpty() || boxes.first() == install;
    const QString path = home.filePath("Kelvara.dmg");
    QCOMPARE(QDir(home.path()).entryList(QDir::Files), ok ? QStringList{"Kelvara.dmg"} : QStringList());
    QCOMPARE(done.count(), ok ? 1 : 0);
    QCOMPARE(opener.urls, custom || !ok ? QList<QUrl>() : QList<QUrl>{QUrl::fromLocalFile(path)});
    if (!ok)
        return;
    QCOMPARE(done.first(), QVariantList({"the version file", path}));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll() == body);
    QCOMPARE(labelText(window, "downloadLabel"), custom ? "Downloading updates (1 MB of 1 MB)" : "Download complete!");
}

// A stalled download shows what has arrived; Stop and Yes end it and leave
// no file behind.
void tst_Downloader::cancel()
{
    LoopbackHttpServer server;
    server.serve("/get", {200, QByteArray(100000, 'u'), {}, 1000, 1000, 200});
    QTemporaryDir home;
    Downloader window;
    window.setDownloadDir(home.path());
    window.setFileName(QString());
    // No rate can be formed yet: no division by zero.
    window.calculateTimeRemaining(0, 1000);
    QCOMPARE(labelText(window, "timeLabel"), "Time remaining: unknown");
    QSignalSpy done(&window, &Downloader::downloadFinished);

    window.startDownload(server.url() + "/get");
    QTRY_COMPARE(labelText(window, "downloadLabel"), "Downloading updates (1000 bytes of 97 KB)");
    // Unchanged within the first whole second, else 99 s at 1000 bytes/s.
    QVERIFY(QStringList({"Time remaining: unknown", "Time remaining: 2 minutes"})
                .contains(labelText(window, "timeLabel")));
    QCOMPARE(QFileInfo(home.filePath("QSU_Update.bin.part")).size(), 1000);

    ModalWatcher watcher("&Yes");
    OpenedUrls opener;
    window.findChild<QPushButton*>("stopButton")->click();
    QCOMPARE(watcher.texts(), QStringList{"Are you sure you want to cancel the download?"});
    QVERIFY(window.isHidden());
    QCOMPARE(QDir(home.path()).entryList(QDir::Files), QStringList());
    QTest::qWait(50);
    QCOMPARE(done.count(), 0);
    QVERIFY(opener.urls.isEmpty());
}

QTEST_MAIN(tst_Downloader)
#include "tst_downloader.moc"
