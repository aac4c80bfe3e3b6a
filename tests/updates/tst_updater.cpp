// The update check and the download of an update, against a loopback server.

#include "downloader.h"
#include "loopbackhttpserver.h"
#include "modalwatcher.h"
#include "openedurls.h"
#include "qsimpleupdater.h"
#include "updater.h"

#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray release(const QByteArray& version, const QByteArray& page = "https://maker.test/new")
{
    return R"({"updates": {"osx": {"latest-version": ")" + version
        + R"(", "download-url": "https://maker.test/K.dmg", "open-url": ")" + page + "\"}}}";
}

const QString released = "<h3>Version 1.8.1 of <nobr>tst_updater</nobr> has been released!</h3>";
const QString failed = "<h3>The check for updates failed</h3>";
const QString downloadFailed = "<h3>The update could not be downloaded</h3>";
const QString install =
    "<h3>In order to install the update, you may need to quit the application.</h3>";

// Serves body at from, or redirects from there to to, which serves it.
void serveRedirected(LoopbackHttpServer& server, const QByteArray& from, const QByteArray& redirect,
                     const QByteArray& to, const QByteArray& body)
{
    server.serve(from, body);
    if (!redirect.isEmpty()) {
        server.serve(from, {302, {}, {{"Location", redirect}}, -1});
        server.serve(to, body);
    }
}

// A download window saving into a scratch folder.
struct DownloadWindow
{
    DownloadWindow(bool custom, const QString& name)
    {
        window.setDownloadDir(home.path());
        window.setFileName(name);
        window.setUrlId("the version file");
        window.setUseCustomInstallProcedures(custom);
    }
    QStringList files() const { return QDir(home.path()).entryList(QDir::Files); }

    QTemporaryDir home;
    Downloader window;
    QSignalSpy done{&window, &Downloader::downloadFinished};
};

} // namespace

// Stands in for the network's clock: a reply the updater sends is taken as
// its manager makes it, so a test can end it as the transfer timeout would.
struct ReplyCatcher : QObject
{
    ReplyCatcher() { qApp->installEventFilter(this); }
    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        if (event->type() == QEvent::ChildAdded && qobject_cast<QNetworkAccessManager*>(receiver))
            replies << static_cast<QChildEvent*>(event)->child();
        return false;
    }
    QList<QPointer<QObject>> replies;
};

class tst_Updater : public QObject
{
    Q_OBJECT

private slots:
    void compare_data()
    {
        QTest::addColumn<QString>("x");
        QTest::addColumn<QString>("y");
        QTest::addColumn<bool>("newer");
        QTest::newRow("numbers, not text") << "1.10.0"
                                           << "1.9.9" << true;
        QTest::newRow("same") << "1.8.0"
                              << "1.8.0" << false;
        QTest::newRow("extra zero part") << "1.8.0"
                                         << "1.8" << true;
    }

    void compare()
    {
        QFETCH(QString, x);
        QFETCH(QString, y);
        QTEST(Updater::compare(x, y), "newer");
    }

    // Running 1.8.0, every outcome told in a box titled as the update's
    // windows are, Yes opens the browser.
    void check_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("redirect");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QStringList>("opened");
        QTest::addColumn<int>("requests");
        const QStringList none, page{"https://maker.test/new"}, fail{failed};
        QTest::newRow("newer") << release("1.8.1") << QByteArray() << QStringList{released} << page
                               << 1;
        QTest::newRow("older")
            << release("1.7.9") << QByteArray()
            << QStringList{"<h3>Congratulations! You are running the latest version of "
                           "<nobr>tst_updater</nobr></h3>"}
            << none << 1;
        QTest::newRow("not JSON") << QByteArray("<html>Sign in</html>") << QByteArray() << fail
                                  << none << 1;
        QTest::newRow("relative redirect")
            << release("1.8.1") << QByteArray("/moved.json") << QStringList{released} << page << 2;
        QTest::newRow("redirect loop")
            << release("1.8.1") << QByteArray("v.json") << fail << none << 11;
        // A version of a megabyte is quoted cut, its start and end kept.
        QTest::newRow("long version")
            << release("1.9." + QByteArray(1000000, 'x')) << QByteArray()
            << QStringList{"<h3>Version 1.9." + QString(62, 'x') + QChar(0x2026) + QString(33, 'x')
                           + " of <nobr>tst_updater</nobr> has been released!</h3>"}
            << page << 1;
        QTest::newRow("page is a file")
            << release("1.8.1", "file:///etc/hostname") << QByteArray()
            << QStringList{released, "<h3>The new version could not be opened</h3>"} << none << 1;
    }

    void check()
    {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, redirect);
        QFETCH(QStringList, boxes);
        QFETCH(int, requests);
        LoopbackHttpServer server;
        serveRedirected(server, "/v.json", redirect, "/moved.json", body);
        const QString url = server.url() + "/v.json";
        QSimpleUpdater* front = QSimpleUpdater::getInstance();
        front->setModuleVersion(url, "1.8.0");
        front->setNotifyOnFinish(url, true);
        front->setDownloaderEnabled(url, false);
        OpenedUrls browser;
        ModalWatcher watcher;
        QSignalSpy finished(front, &QSimpleUpdater::checkingFinished);

        front->checkForUpdates(url);
        QVERIFY(finished.wait());
        QCOMPARE(watcher.texts(), boxes);
        QCOMPARE(watcher.titles().count("Updater"), boxes.size());
        QTEST(QUrl::toStringList(browser.urls), "opened");
        QCOMPARE(server.requests().size(), requests);
        QCOMPARE(front->getUpdateAvailable(url), boxes.first().endsWith("released!</h3>"));
        // Later checks of the same address go straight to the redirect's target.
        if (requests == 2)
            QCOMPARE(front->getUpdater(url)->url(), server.url() + redirect);
    }

    // A server that stops sending ends the check after 30 s as failed.
    void silentServerTimesOut()
    {
        LoopbackHttpServer server;
        server.serve("/v.json", {200, release("1.8.1"), {}, 0});
        const QString url = server.url() + "/v.json";
        QSimpleUpdater::getInstance()->setNotifyOnFinish(url, true);
        ModalWatcher watcher;
        ReplyCatcher catcher;
        QSimpleUpdater::getInstance()->checkForUpdates(url);
        QTRY_COMPARE(server.requests().size(), 1);
        auto* reply = qobject_cast<QNetworkReply*>(catcher.replies.value(0).data());
        QVERIFY(reply);
        QCOMPARE(reply->request().transferTimeout(), 30000);
        QTimer::singleShot(0, reply, &QNetworkReply::abort); // as the timeout's timer does
        QTRY_COMPARE(watcher.texts(), QStringList{failed});
        QVERIFY(watcher.details().value(0).contains("the server did not answer"));
    }

    void limitsEndTheCheck_data()
    {
        QTest::addColumn<int>("dripMs");
        QTest::addColumn<QString>("detail");
        QTest::newRow("endless") << 0 << "The version file is larger than 1 MB.";
        QTest::newRow("dripping")
            << 20 << "The server took longer than 0.5 seconds to send the version file.";
    }

    // A version file that never ends, fast or slow, ends the check as failed;
    // the network layer takes little more than the size limit meanwhile (the
    // rest of what the server got rid of waits in the system's socket
    // buffers), not whatever the server could send before the check ended.
    void limitsEndTheCheck()
    {
        QFETCH(int, dripMs);
        LoopbackHttpServer server;
        server.serve("/v.json", {200, QByteArray(65536, ' '), {}, -1, dripMs, dripMs, false, true});
        const QString url = server.url() + "/v.json";
        QSimpleUpdater::getInstance()->setNotifyOnFinish(url, true);
        QSimpleUpdater::getInstance()->getUpdater(url)->setTimeLimit(dripMs ? 500 : 60000);
        ModalWatcher watcher;
        QSimpleUpdater::getInstance()->checkForUpdates(url);
        QTRY_COMPARE_WITH_TIMEOUT(watcher.texts(), QStringList{failed}, 30000);
        QTEST(watcher.details().value(0).section(" | ", 0, 0), "detail");
        const qint64 socketBuffers = 16 * 1024 * 1024;
        QVERIFY2(server.bytesSent() < Updater::MAX_VERSION_FILE_BYTES + socketBuffers,
                 qPrintable(QString::number(server.bytesSent())));
    }

    // The suite's check (downloads left to the browser) builds no download
    // window; one is built only for a download the user accepts, with the
    // settings made before it.
    void downloadWindowBuiltForADownloadOnly()
    {
        LoopbackHttpServer server;
        const QByteArray file(2048, 'u');
        server.serve("/K.dmg", file);
        server.serve("/v.json",
                     "{\"updates\": {\"osx\": {\"latest-version\": \"1.8.1\", "
                     "\"download-url\": \""
                         + server.url().toUtf8() + "/K.dmg\"}}}");
        const QString url = server.url() + "/v.json";
        QSimpleUpdater* front = QSimpleUpdater::getInstance();
        front->setModuleVersion(url, "1.8.0");
        front->setDownloaderEnabled(url, false);
        front->setUseCustomInstallProcedures(url, true);
        const auto downloadWindows = [] {
            int count = 0;
            for (QWidget* window : QApplication::topLevelWidgets())
                count += qobject_cast<Downloader*>(window) ? 1 : 0;
            return count;
        };
        const int before = downloadWindows();
        OpenedUrls browser;
        ModalWatcher watcher; // Yes, the default
        QSignalSpy finished(front, &QSimpleUpdater::checkingFinished);
        front->checkForUpdates(url);
        QVERIFY(finished.wait());
        QTRY_COMPARE(QUrl::toStringList(browser.urls), QStringList{server.url() + "/K.dmg"});
        QCOMPARE(downloadWindows(), before);
        QVERIFY(front->usesCustomInstallProcedures(url));

        QTemporaryDir home;
        const QByteArray homeBefore = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(home.path()));
        front->setDownloaderEnabled(url, true);
        QSignalSpy downloaded(front, &QSimpleUpdater::downloadFinished);
        front->checkForUpdates(url);
        QVERIFY(downloaded.wait());
        qputenv("HOME", homeBefore);
        QCOMPARE(downloadWindows(), before + 1);
        const QString path = home.filePath("Downloads/K.dmg");
        QCOMPARE(downloaded.first(), (QVariantList{url, path}));
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), file);
        // Custom install procedures: the download is neither announced nor opened.
        QCOMPARE(watcher.texts(), (QStringList{released, released}));
        QCOMPARE(browser.urls.size(), 1);
    }

    void download_data()
    {
        QTest::addColumn<QByteArray>("redirect");
        QTest::addColumn<bool>("custom");
        QTest::addColumn<QStringList>("boxes");
        QTest::newRow("custom install") << QByteArray() << true << QStringList();
        QTest::newRow("redirect") << QByteArray("/file.bin") << false << QStringList{install};
        QTest::newRow("not found") << QByteArray("/gone") << false << QStringList{downloadFailed};
    }

    // A failed download leaves no file, is not announced and not opened.
    void download()
    {
        QFETCH(QByteArray, redirect);
        QFETCH(bool, custom);
        QFETCH(QStringList, boxes);
        const QByteArray body(1536 * 1024 + 7, 'u');
        LoopbackHttpServer server;
        serveRedirected(server, "/get", redirect, "/file.bin", body);
        DownloadWindow d(custom, "Kelvara.dmg");
        OpenedUrls opener;
        ModalWatcher watcher;

        d.window.startDownload(server.url() + "/get");
        QTRY_VERIFY(d.window.isHidden());
        QTRY_COMPARE(watcher.texts(), boxes);
        const bool ok = boxes != QStringList{downloadFailed};
        if (!ok) // named by the server's status
            QCOMPARE(watcher.details().first().section(" | ", 0, 0), "HTTP 404");
        const QString path = d.home.filePath("Kelvara.dmg");
        QCOMPARE(d.files(), ok ? QStringList{"Kelvara.dmg"} : QStringList());
        const QList<QVariantList> announced{{"the version file", path}};
        QCOMPARE(QList<QVariantList>(d.done), ok ? announced : QList<QVariantList>());
        QCOMPARE(opener.urls,
                 custom || !ok ? QList<QUrl>() : QList<QUrl>{QUrl::fromLocalFile(path)});
        QFile file(path);
        QVERIFY(!ok || (file.open(QIODevice::ReadOnly) && file.readAll() == body));
    }

    void cancel_data()
    {
        QTest::addColumn<bool>("finishes");
        QTest::newRow("stalled") << false;
        QTest::newRow("finished while asked") << true;
    }

    // Stop and Yes end a stalled download and leave no file behind; a download
    // that finished while the box was open has been announced and stays.
    void cancel()
    {
        QFETCH(bool, finishes);
        LoopbackHttpServer server;
        server.serve(
            "/get",
            {200, QByteArray(finishes ? 3000 : 100000, 'u'), {}, finishes ? -1 : 1000, 1000, 300});
        DownloadWindow d(true, QString());
        d.window.calculateTimeRemaining(0, 1000); // no rate yet: no division by zero

        d.window.startDownload(server.url() + "/get");
        QTRY_COMPARE(QFileInfo(d.home.filePath("QSU_Update.bin.part")).size(), 1000);
        QStringList asked;
        QTimer answer;
        connect(&answer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box && (!finishes || d.done.count())) {
                asked << box->text();
                box->button(QMessageBox::Yes)->click();
            }
        });
        answer.start(10);
        d.window.findChild<QPushButton*>("stopButton")->click();
        QCOMPARE(asked, QStringList{"Are you sure you want to cancel the download?"});
        QVERIFY(d.window.isHidden());
        QCOMPARE(d.files(), finishes ? QStringList{"QSU_Update.bin"} : QStringList());
        QCOMPARE(d.done.count(), finishes ? 1 : 0);
    }
};

QTEST_MAIN(tst_Updater)
#include "tst_updater.moc"
