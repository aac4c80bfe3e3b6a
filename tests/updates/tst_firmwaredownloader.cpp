#include "firmwaredownloader.h"
#include "firmwaredownloaderdialog.h"
#include "modalwatcher.h"
#include "updatestesting.h"

#include <QCheckBox>
#include <QLabel>
#include <QNetworkReply>
#include <QProgressBar>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

const QByteArray base = "/downloads/kl/";

// A crawl against the loopback server, with the brand dialog answered by
// unticking the boxes named in untick and pressing OK (Cancel when reject).
struct Crawl
{
    Crawl()
    {
        watcher.onDialog = [this](QWidget* modal) {
            auto* dialog = qobject_cast<FirmwareDownloaderDialog*>(modal);
            if (!dialog) {
                modal->close(); // the progress dialog refuses
                return;
            }
            for (QCheckBox* box : dialog->findChildren<QCheckBox*>()) {
                brands << box->text() + (box->isChecked() ? " [x]" : " [ ]");
                if (untick.contains(box->text()))
                    box->setChecked(false);
            }
            reject ? dialog->reject() : dialog->accept();
        };
    }

    // Runs one crawl to its end signal.
    bool run()
    {
        downloader->getFirmware();
        return QTest::qWaitFor([this] { return succeeded.count() + failed.count() > 0; }, 8000);
    }

    QStringList boxTitles() const { return watcher.titles().filter(QRegularExpression("^(?!Downloading Files)")); }
    QString fetched(const QString& path) const
    {
        QFile file(workspace.store() + "/" + path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString("missing");
    }

    DownloadWorkspace workspace;
    QWidget parent;
    std::unique_ptr<FirmwareDownloader> downloader = std::make_unique<FirmwareDownloader>(&parent, false);
    QSignalSpy succeeded{downloader.get(), &FirmwareDownloader::updateSuccess};
    QSignalSpy failed{downloader.get(), &FirmwareDownloader::updateFail};
    ModalWatcher watcher;
    QStringList brands;
    QStringList untick;
    bool reject = false;
};

} // namespace

class tst_FirmwareDownloader : public QObject
{
    Q_OBJECT

private slots:
    void crawlChooseAndDownload();
    void deepFoldersAreNotRead();
    void refusesNamesLeavingTheStore_data();
    void refusesNamesLeavingTheStore();
    void badPagesEndTheCrawl_data();
    void badPagesEndTheCrawl();
    void stalledServerTimesOut_data();
    void stalledServerTimesOut();
    void failedFilesAreReportedOnce();
    void choosingNothingDownloadsNothing();
};

// Folders are read one at a time, last found first, each directly below
// the base; a folder listed again is not read twice.
void tst_FirmwareDownloader::crawlChooseAndDownload()
{
    Crawl crawl;
    LoopbackHttpServer& server = crawl.workspace.server;
    server.serve(base, indexPage({"Controller/", "PAS/", "Yoro/"}));
    server.serve(base + "Yoro/", indexPage({"Sub/", "Y1.xml"}));
    server.serve(base + "Sub/", indexPage({"Yoro/", "Controller/"}));
    server.serve(base + "PAS/", indexPage({"Torque_A.xml", "skip.xml", "release_notes"}));
    server.serve(base + "Controller/", indexPage({"C 1.xml"}));
    server.serve(base + "Yoro/Y1.xml", defaultFile(1));
    server.serve(base + "PAS/Torque_A.xml", defaultFile(2));
    server.serve(base + "Controller/C%201.xml", LoopbackHttpServer::redirect("/elsewhere/c.xml"));
    server.serve("/elsewhere/c.xml", defaultFile(3));
    server.serve(base + "release_notes/", indexPage({"notes.xml"}));
    crawl.workspace.put("data/local_firmwares.txt", "x.xml,skip.xml");

    QVERIFY(crawl.run());
    QCOMPARE(crawl.succeeded.count(), 1);
    QCOMPARE(crawl.failed.count(), 0);
    QCOMPARE(server.requests().mid(0, 6),
             QStringList({"/downloads/kl/", "/downloads/kl/Yoro/", "/downloads/kl/Sub/",
                          "/downloads/kl/PAS/", "/downloads/kl/release_notes/", "/downloads/kl/Controller/"}));
    QCOMPARE(crawl.brands, QStringList({"Download Controller parameter files [x]",
                                        "Download PAS parameter files [x]",
                                        "Download Yoro parameter files [x]", "Select All [x]"}));
    QCOMPARE(crawl.boxTitles(), QStringList({"Download Default Parameters",
                                             "Parameter Files Download Complete"}));
    QCOMPARE(crawl.watcher.texts().last(),
             "Default parameters have been downloaded to \"" + crawl.workspace.store()
                 + "\", and you can now select your desired configuration.\n\nThe dropdowns have "
                   "been updated with the latest Tamsett default files.");
    QCOMPARE(crawl.fetched("Yoro/Y1.xml"), QString(defaultFile(1)));
    QCOMPARE(crawl.fetched("PAS/Torque_A.xml"), QString(defaultFile(2)));
    QCOMPARE(crawl.fetched("Controller/C 1.xml"), QString(defaultFile(3)));
    QCOMPARE(crawl.parent.findChild<QProgressBar*>()->value(), 100);
    QCOMPARE(crawl.parent.findChild<QLabel*>("progressLabel")->text(), "Downloading Files... 3 done.");
}

void tst_FirmwareDownloader::deepFoldersAreNotRead()
{
    Crawl crawl;
    crawl.reject = true;
    crawl.workspace.server.serve(base, indexPage({"d1/", "f.xml"}));
    for (int i = 1; i <= 6; ++i)
        crawl.workspace.server.serve(base + "d" + QByteArray::number(i) + "/",
                                     indexPage({QString("d%1/").arg(i + 1)}));
    QVERIFY(crawl.run());
    QCOMPARE(crawl.workspace.server.requests().last(), "/downloads/kl/d4/");
    QCOMPARE(crawl.brands, QStringList({"Download  parameter files [x]", "Select All [x]"}));
}

void tst_FirmwareDownloader::refusesNamesLeavingTheStore_data()
{
    QTest::addColumn<QString>("name");
    for (const char* name : {"../", "..", "..\\up/", "a/b/", "../evil.xml", "sub/evil.xml",
                             "a\\evil.xml", "..evil.xml"})
        QTest::newRow(name) << name;
}

void tst_FirmwareDownloader::refusesNamesLeavingTheStore()
{
    QFETCH(QString, name);
    Crawl crawl;
    crawl.workspace.server.serve(base, indexPage({name, "Good/"}));
    crawl.workspace.server.serve(base + "Good/", indexPage({"good.xml"}));
    crawl.workspace.server.serve(base + "Good/good.xml", defaultFile(4));
    QVERIFY(!QDir(crawl.workspace.store()).exists());

    QVERIFY(crawl.run());
    QCOMPARE(crawl.workspace.server.requests(),
             QStringList({"/downloads/kl/", "/downloads/kl/Good/", "/downloads/kl/Good/good.xml"}));
    QCOMPARE(crawl.brands, QStringList({"Download Good parameter files [x]", "Select All [x]"}));
    QDirIterator files(crawl.workspace.home(), QDir::Files, QDirIterator::Subdirectories);
    QVERIFY(files.hasNext());
    QCOMPARE(files.next(), crawl.workspace.store() + "/Good/good.xml");
    QVERIFY(!files.hasNext());
}

void tst_FirmwareDownloader::badPagesEndTheCrawl_data()
{
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    const QString pageFailed = "Failed to parse page read from server.";
    const QString entryFailed = "Failed to parse firmware list read from server.";
    const QString network = "There was a network error getting the remote firmware list.\nPlease "
                            "ensure you are connected to the internet.\n\nError code: %1 - Network "
                            "Connection Error";
    QTest::newRow("no list") << QByteArray("<html>empty</html>") << "Firmware list read failed" << pageFailed;
    QTest::newRow("NUL first") << QByteArray(1, '\0') + indexPage({"A.xml"})
                               << "Firmware list read failed" << pageFailed;
    QTest::newRow("too large") << QByteArray(9 * 1024 * 1024, ' ') << "Firmware list read failed" << pageFailed;
    QTest::newRow("no blank before name") << QByteArray("<ul><li><a href=\"Y/\">Y/</a></li></ul>")
                                          << "Firmware list read failed" << entryFailed;
    QTest::newRow("text before the first entry") << QByteArray("<ul>junk<li><a href=\"Y/\"> Y/</a></li></ul>")
                                                 << "Firmware list read failed" << entryFailed;
    // Upper-case XML names a folder, which the server does not have.
    QTest::newRow("upper-case XML") << indexPage({"Motor.XML"}) << "Network Error" << network.arg(203);
}

void tst_FirmwareDownloader::badPagesEndTheCrawl()
{
    QFETCH(QByteArray, page);
    QFETCH(QString, title);
    QFETCH(QString, text);
    Crawl crawl;
    crawl.workspace.server.serve(base, page);

    QVERIFY(crawl.run());
    QCOMPARE(crawl.failed.count(), 1);
    QCOMPARE(crawl.succeeded.count(), 0);
    QCOMPARE(crawl.watcher.titles(), QStringList{title});
    QCOMPARE(crawl.watcher.texts(), QStringList{text});
    QVERIFY(!crawl.downloader->isRunning());
}

void tst_FirmwareDownloader::stalledServerTimesOut_data()
{
    QTest::addColumn<QByteArray>("stalled");
    QTest::addColumn<QString>("text");
    QTest::newRow("index page") << base << "Timed out getting firmware list from 127.0.0.1. "
                                           "The server could be down or under high load.";
    QTest::newRow("file") << base + "A/a.xml" << "Timed out getting firmware files from 127.0.0.1. "
                                                 "The server could be down or under high load.";
}

// The time limit gives up on the request: one box, one updateFail(), and no
// second report when the aborted request ends.
void tst_FirmwareDownloader::stalledServerTimesOut()
{
    QFETCH(QByteArray, stalled);
    QFETCH(QString, text);
    Crawl crawl;
    crawl.downloader->setTimeLimits(300, 2000);
    LoopbackHttpServer& server = crawl.workspace.server;
    server.serve(base, indexPage({"A/"}));
    server.serve(base + "A/", indexPage({"a.xml", "b.xml"}));
    server.serve(base + "A/b.xml", defaultFile(5));
    server.serve(stalled, {200, defaultFile(5), {}, 10});

    QVERIFY(crawl.run());
    QCOMPARE(crawl.failed.count(), 1);
    QCOMPARE(crawl.succeeded.count(), 0);
    QCOMPARE(crawl.boxTitles().last(), "Request Timed Out");
    QCOMPARE(crawl.watcher.texts().last(), text);
    QVERIFY(crawl.watcher.texts().filter("error").isEmpty());
    QTRY_VERIFY(crawl.downloader->findChildren<QNetworkReply*>().isEmpty());
    QVERIFY(!crawl.parent.findChild<QProgressBar*>()->isVisible());
}

// A file that fails or is no parameter file is reported, not stored, and the
// batch still ends once with a box that says so.
void tst_FirmwareDownloader::failedFilesAreReportedOnce()
{
    Crawl crawl;
    LoopbackHttpServer& server = crawl.workspace.server;
    server.serve(base, indexPage({"A/"}));
    server.serve(base + "A/", indexPage({"gone.xml", "page.xml", "good.xml"}));
    server.serve(base + "A/page.xml", "<html>sign in</html>");
    server.serve(base + "A/good.xml", defaultFile(6));
    crawl.workspace.put("A/page.xml", defaultFile(7));

    QVERIFY(crawl.run());
    QCOMPARE(crawl.succeeded.count(), 1);
    QCOMPARE(crawl.failed.count(), 0);
    const QString folder = crawl.workspace.store() + "/A/";
    // The two failures in the order they arrive, the end after both.
    QTRY_COMPARE(crawl.boxTitles().size(), 4);
    const QStringList titles = crawl.boxTitles();
    QCOMPARE(QSet<QString>(titles.begin() + 1, titles.end() - 1),
             QSet<QString>({"Network Error", "File Not Saved"}));
    QCOMPARE(titles.last(), "Parameter Files Download Incomplete");
    QCOMPARE(crawl.watcher.texts().filter("gone"),
             QStringList("There was an error getting the remote firmware file: " + folder
                         + "gone.xml.\nError code: 203"));
    QCOMPARE(crawl.watcher.texts().last(),
             "1 of 3 default parameter files were downloaded to \"" + crawl.workspace.store()
                 + "\"; the others could not be fetched or saved.\n\nThe dropdowns have been "
                   "updated with the files that arrived.");
    QCOMPARE(crawl.fetched("A/page.xml"), QString(defaultFile(7)));
    QCOMPARE(crawl.fetched("A/gone.xml"), "missing");
    QCOMPARE(crawl.fetched("A/good.xml"), QString(defaultFile(6)));
}

void tst_FirmwareDownloader::choosingNothingDownloadsNothing()
{
    for (bool reject : {false, true}) {
        Crawl crawl;
        crawl.reject = reject;
        crawl.untick = QStringList{"Select All"};
        crawl.workspace.server.serve(base, indexPage({"A/"}));
        crawl.workspace.server.serve(base + "A/", indexPage({"a.xml"}));

        QVERIFY(crawl.run());
        QCOMPARE(crawl.succeeded.count(), 1);
        QCOMPARE(crawl.workspace.server.requests().size(), 2);
        QVERIFY(!QDir(crawl.workspace.store() + "/A").exists());
    }
}

QTEST_MAIN(tst_FirmwareDownloader)
#include "tst_firmwaredownloader.moc"
