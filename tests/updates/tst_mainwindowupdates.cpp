#include "loopbackhttpserver.h"
#include "mainwindow.h"
#include "openedurls.h"
#include "qsimpleupdater.h"
#include "windowfixture.h"

#include <QAction>
#include <QSignalSpy>
#include <QtTest>

class tst_MainWindowUpdates : public QObject
{
    Q_OBJECT

private slots:
    void checkForUpdates_data();
    void checkForUpdates();

private:
    LoopbackHttpServer server;
};

void tst_MainWindowUpdates::checkForUpdates_data()
{
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QStringList>("opened");
    // The download window stays off: the browser fetches the file.
    QTest::newRow("newer") << QByteArray(R"("latest-version": "1.9", "download-url": "https://maker.test/K.dmg")")
                                      << "<h3>Version 1.9 of tst_mainwindowupdates has been released!</h3>"
                                      << QStringList{"https://maker.test/K.dmg"};
    QTest::newRow("same") << QByteArray(R"("latest-version": "1.8.0", "open-url": "https://maker.test/")")
                          << "<h3>Congratulations! You are running the latest version of tst_mainwindowupdates</h3>"
                          << QStringList();
    QTest::newRow("broken") << QByteArray(R"("latest-version": "1.8.1",)")
                            << "<h3>The check for updates failed</h3>" << QStringList();
}

// "Check For Updates" asks the maker's server (here a loopback one) for
// the version file and tells every outcome in a box.
void tst_MainWindowUpdates::checkForUpdates()
{
    QFETCH(QByteArray, entry);
    QFETCH(QString, box);
    QFETCH(QStringList, opened);
    qputenv("KELVARA_SERVER_URL", server.url().toLatin1());
    const QByteArray path = "/downloads/KELVARA/Kelvara_Versions.json";
    server.serve(path, R"({"updates": {"osx": {)" + entry + "}}}");
    WindowFixture::Workspace workspace;
    MainWindow window;
    ModalWatcher watcher;
    OpenedUrls browser;
    QSignalSpy finished(QSimpleUpdater::getInstance(), &QSimpleUpdater::checkingFinished);

    window.findChild<QAction*>("checkForUpdates")->trigger();
    QVERIFY(finished.wait());
    QCOMPARE(watcher.texts(), QStringList{box});
    QCOMPARE(QUrl::toStringList(browser.urls), opened);
    QCOMPARE(server.requests().last(), QString::fromLatin1(path));
}

QTEST_MAIN(tst_MainWindowUpdates)
#include "tst_mainwindowupdates.moc"
