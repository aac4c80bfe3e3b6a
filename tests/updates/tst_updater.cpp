#include "loopbackhttpserver.h"
#include "mainwindow.h"
#include "modalwatcher.h"
#include "openedurls.h"
#include "qsimpleupdater.h"
#include "updater.h"
#include "windowfixture.h"

#include <QAction>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QtTest>

namespace {

QByteArray versionFile(const QByteArray& entry)
{
    return R"({"updates": {"osx": {)" + entry + "}}}";
}

QByteArray release(const QByteArray& version, const QByteArray& page = "https://maker.test/new")
{
    return versionFile(R"("latest-version": ")" + version + R"(", "download-url": "https://maker.test/K.dmg", )"
                       + R"("open-url": ")" + page + "\"");
}

const QString released = "<h3>Version 1.8.1 of tst_updater has been released!</h3>";
const QString latest = "<h3>Congratulations! You are running the latest version of tst_updater</h3>";
const QString failed = "<h3>The check for updates failed</h3>";

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
        QTest::newRow("numbers, not text") << "1.10.0" << "1.9.9" << true;
        QTest::newRow("same") << "1.8.0" << "1.8.0" << false;
        QTest::newRow("extra zero part") << "1.8.0" << "1.8" << true;
        QTest::newRow("fewer parts") << "1.8" << "1.8.0" << false;
        QTest::newRow("letters count as 0") << "1.8.x" << "1.8.0" << false;
        QTest::newRow("empty") << "" << "0.0.0" << false;
    }

    void compare()
    {
        QFETCH(QString, x);
        QFETCH(QString, y);
        QFETCH(bool, newer);
        QCOMPARE(Updater::compare(x, y), newer);
    }

    // The suite's settings: running 1.8.0, every outcome told, Yes opens the
    // browser. With a redirect, "/v.json" sends the client there and
    // "/moved.json" serves the body; other paths are not found.
    void check_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("redirect");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QStringList>("opened");
        QTest::addColumn<int>("requests");
        const QStringList none;
        const QStringList page{"https://maker.test/new"};
        const QByteArray direct;
        const QStringList fail{failed};
        const QStringList newer{released};
        QTest::newRow("newer") << release("1.8.1") << direct << newer << page << 1;
        QTest::newRow("no page") << release("1.8.1", "") << direct << newer << QStringList{"https://maker.test/K.dmg"} << 1;
        QTest::newRow("older") << release("1.7.9") << direct << QStringList{latest} << none << 1;
        QTest::newRow("not JSON") << QByteArray("<html>Sign in</html>") << direct << fail << none << 1;
        QTest::newRow("no osx entry") << QByteArray("{\"updates\": {\"w\": {}}}") << direct << fail << none << 1;
        QTest::newRow("no latest version") << versionFile("\"changelog\": \"\"") << direct << fail << none << 1;
        QTest::newRow("not found") << release("1.8.1") << QByteArray("/gone.json") << fail << none << 2;
        QTest::newRow("relative redirect") << release("1.8.1") << QByteArray("/moved.json") << newer << page << 2;
        QTest::newRow("redirect loop") << release("1.8.1") << QByteArray("v.json") << fail << none << 11;
        QTest::newRow("redirect to a file") << release("1.8.1") << QByteArray("file:///etc/x") << fail << none << 1;
        QTest::newRow("page is a file") << release("1.8.1", "file:///etc/hostname") << direct
                                        << newer + QStringList{"<h3>The new version could not be opened</h3>"} << none << 1;
    }

    void check()
    {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, redirect);
        QFETCH(QStringList, boxes);
        QFETCH(QStringList, opened);
        QFETCH(int, requests);
        LoopbackHttpServer server;
        server.serve("/v.json", body);
        if (!redirect.isEmpty()) {
            server.serve("/v.json", {302, {}, {{"Location", redirect}}, -1});
            server.serve("/moved.json", body);
        }
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
        QCOMPARE(QUrl::toStringList(browser.urls), opened);
        QCOMPARE(server.requests().size(), requests);
        QCOMPARE(front->getUpdateAvailable(url), boxes.first() == released);
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

    // "Check For Updates" asks the maker's server for the version file, tells
    // the outcome and leaves the download to the browser.
    void mainWindowChecks()
    {
        LoopbackHttpServer server;
        qputenv("KELVARA_SERVER_URL", server.url().toLatin1());
        const QByteArray path = "/downloads/KELVARA/Kelvara_Versions.json";
        server.serve(path, versionFile("\"latest-version\": \"1.9\", \"download-url\": \"https://maker.test/K.dmg\""));
        WindowFixture::Workspace workspace;
        MainWindow window;
        ModalWatcher watcher;
        OpenedUrls browser;
        QSignalSpy finished(QSimpleUpdater::getInstance(), &QSimpleUpdater::checkingFinished);

        window.findChild<QAction*>("checkForUpdates")->trigger();
        QVERIFY(finished.wait());
        QCOMPARE(watcher.texts(), QStringList{"<h3>Version 1.9 of tst_updater has been released!</h3>"});
        QCOMPARE(QUrl::toStringList(browser.urls), QStringList{"https://maker.test/K.dmg"});
        QCOMPARE(server.requests(), QStringList{QString::fromLatin1(path)});
    }
};

QTEST_MAIN(tst_Updater)
#include "tst_updater.moc"
