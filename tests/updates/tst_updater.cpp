#include "loopbackhttpserver.h"
#include "modalwatcher.h"
#include "openedurls.h"
#include "qsimpleupdater.h"
#include "updater.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

QByteArray versionFile(const QByteArray& entry)
{
    return R"({"updates": {"osx": {)" + entry + "}}}";
}

QByteArray release(const QByteArray& version, const QByteArray& more = R"("open-url": "https://maker.test/new")")
{
    return versionFile(R"("latest-version": ")" + version + R"(", "download-url": "https://maker.test/dl/K.dmg", )" + more);
}

const QString released = "<h3>Version 1.8.1 of tst_updater has been released!</h3>";
const QString latest = "<h3>Congratulations! You are running the latest version of tst_updater</h3>";
const QString failed = "<h3>The check for updates failed</h3>";
const QString refused = "<h3>The new version could not be opened</h3>";

} // namespace

class tst_Updater : public QObject
{
    Q_OBJECT

private slots:
    void compare_data();
    void compare();
    void check_data();
    void check();
};

void tst_Updater::compare_data()
{
    QTest::addColumn<QString>("x");
    QTest::addColumn<QString>("y");
    QTest::addColumn<bool>("newer");
    QTest::newRow("numbers, not text") << "1.10.0" << "1.9.9" << true;
    QTest::newRow("older") << "1.9.9" << "1.10.0" << false;
    QTest::newRow("same") << "1.8.0" << "1.8.0" << false;
    QTest::newRow("extra zero part") << "1.8.0" << "1.8" << true;
    QTest::newRow("fewer parts") << "1.8" << "1.8.0" << false;
    QTest::newRow("letters count as 0") << "1.8.x" << "1.8.0" << false;
    QTest::newRow("against letters") << "1.8.0" << "1.8.x" << false;
    QTest::newRow("empty") << "" << "0.0.0" << false;
}

void tst_Updater::compare()
{
    QFETCH(QString, x);
    QFETCH(QString, y);
    QFETCH(bool, newer);
    QCOMPARE(Updater::compare(x, y), newer);
}

// The suite's settings: running 1.8.0, every outcome told, Yes opens the
// browser. A redirect of "/v.json" leads to "/moved.json", which serves
// the body; status -1 means no server at all.
void tst_Updater::check_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("redirect");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QStringList>("opened");
    QTest::addColumn<int>("requests");
    const QStringList none;
    const QByteArray direct;
    QTest::newRow("newer") << 200 << release("1.8.1") << direct << QStringList{released}
                           << QStringList{"https://maker.test/new"} << 1;
    QTest::newRow("download address only") << 200 << release("1.8.1", R"("open-url": "")") << direct
                                           << QStringList{released} << QStringList{"https://maker.test/dl/K.dmg"} << 1;
    QTest::newRow("same") << 200 << release("1.8.0") << direct << QStringList{latest} << none << 1;
    QTest::newRow("older") << 200 << release("1.7.9") << direct << QStringList{latest} << none << 1;
    QTest::newRow("extra part") << 200 << release("1.8.0.0") << direct
                                << QStringList{"<h3>Version 1.8.0.0 of tst_updater has been released!</h3>"}
                                << QStringList{"https://maker.test/new"} << 1;
    QTest::newRow("not JSON") << 200 << QByteArray("<html>Sign in</html>") << direct << QStringList{failed} << none << 1;
    QTest::newRow("empty") << 200 << QByteArray() << direct << QStringList{failed} << none << 1;
    QTest::newRow("array") << 200 << QByteArray("[]") << direct << QStringList{failed} << none << 1;
    QTest::newRow("no osx entry") << 200 << QByteArray(R"({"updates": {"windows": {"latest-version": "9.0"}}})")
                                  << direct << QStringList{failed} << none << 1;
    QTest::newRow("no latest version") << 200 << versionFile(R"("open-url": "https://maker.test/new")") << direct
                                       << QStringList{failed} << none << 1;
    QTest::newRow("version not text") << 200 << versionFile(R"("latest-version": 181)") << direct
                                      << QStringList{failed} << none << 1;
    QTest::newRow("not found") << 404 << release("1.8.1") << direct << QStringList{failed} << none << 1;
    QTest::newRow("no server") << -1 << release("1.8.1") << direct << QStringList{failed} << none << 0;
    QTest::newRow("relative redirect") << 200 << release("1.8.1") << QByteArray("/moved.json")
                                       << QStringList{released} << QStringList{"https://maker.test/new"} << 2;
    QTest::newRow("redirect loop") << 200 << release("1.8.1") << QByteArray("v.json") << QStringList{failed}
                                   << none << 11;
    QTest::newRow("redirect to a file") << 200 << release("1.8.1") << QByteArray("file:///etc/hostname")
                                        << QStringList{failed} << none << 1;
    QTest::newRow("page is a file") << 200 << release("1.8.1", R"("open-url": "file:///etc/hostname")") << direct
                                    << QStringList{released, refused} << none << 1;
}

void tst_Updater::check()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, redirect);
    QFETCH(QStringList, boxes);
    QFETCH(QStringList, opened);
    QFETCH(int, requests);
    LoopbackHttpServer server;
    server.serve("/v.json", {status, body, {}, -1});
    if (!redirect.isEmpty()) {
        server.serve("/v.json", {302, {}, {{"Location", redirect}}, -1});
        server.serve("/moved.json", body);
    }
    if (status < 0)
        server.close();
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
    QCOMPARE(front->getUpdateAvailable(url), boxes.first().startsWith("<h3>Version"));
    // Later checks of the same address go straight to the redirect's target.
    if (requests == 2)
        QCOMPARE(front->getUpdater(url)->url(), server.url() + "/moved.json");
}

QTEST_MAIN(tst_Updater)
#include "tst_updater.moc"
