// Default parameter files: the crawl of the maker's index pages, the
// download and the import dialog.

#include "defaultfilecrawler.h"
#include "defaultimporter.h"
#include "firmwaredownloader.h"
#include "firmwaredownloaderdialog.h"
#include "modalwatcher.h"
#include "pasdeviceloader.h"
#include "updatestesting.h"

#include <QCheckBox>
#include <QNetworkReply>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

namespace {

// A crawl against the loopback server. The brand dialog is answered by
// unticking the boxes named in untick, then OK.
struct Crawl
{
    Crawl()
    {
        watcher.onDialog = [this](QWidget* modal) {
            auto* dialog = qobject_cast<FirmwareDownloaderDialog*>(modal);
            if (!dialog)
                return void(modal->close()); // the progress dialog refuses
            for (QCheckBox* box : dialog->findChildren<QCheckBox*>()) {
                brands << box->text() + (box->isChecked() ? " [x]" : " [ ]");
                box->setChecked(box->isChecked() && !untick.contains(box->text()));
            }
            dialog->accept();
        };
    }

    // Answers a path below the base of the index pages.
    void serve(const QByteArray& path, const LoopbackHttpServer::Response& response)
    {
        workspace.server.serve("/downloads/kl/" + path, response);
    }
    void serve(const QByteArray& path, const QByteArray& body) { serve(path, {200, body, {}, -1}); }

    // Runs one crawl to its end signal.
    bool run()
    {
        downloader.getFirmware();
        return QTest::qWaitFor([this] { return succeeded.count() + failed.count() > 0; }, 8000);
    }
    QStringList boxTitles() const
    {
        return watcher.titles().filter(QRegularExpression("^(?!Downloading Files)"));
    }
    QString fetched(const QString& path) const
    {
        QFile file(workspace.store() + "/" + path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll())
                                              : QString("missing");
    }

    DownloadWorkspace workspace;
    QWidget parent;
    FirmwareDownloader downloader{&parent, false};
    QSignalSpy succeeded{&downloader, &FirmwareDownloader::updateSuccess};
    QSignalSpy failed{&downloader, &FirmwareDownloader::updateFail};
    ModalWatcher watcher;
    QStringList brands;
    QStringList untick;
};

// The dialog over a device model (the translator's boxes answered by
// FakeDialogs) with a pedal-assist device list beside it.
struct Importer
{
    Importer() { translator.setDialogs(dialogs); }

    DefaultImporter* open()
    {
        dialog = std::make_unique<DefaultImporter>(nullptr, &translator, &loader);
        return dialog.get();
    }
    QStringList items(const char* box) const
    {
        return itemTexts(dialog->findChild<QComboBox*>(box));
    }
    void choose(const char* box, const QString& text)
    {
        dialog->findChild<QComboBox*>(box)->setCurrentText(text);
    }
    bool canApply() const { return dialog->findChild<QPushButton*>("applyButton")->isEnabled(); }

    // As after a read of a controller holding the given values: from now on
    // the model marks what differs from them.
    void readController(const QMap<int, int>& values)
    {
        for (auto it = values.constBegin(); it != values.constEnd(); ++it)
            model.getParameter(it.key())->setRegisterValue(it.value());
        for (int address : model.getAllParameters().keys())
            model.setControllerRamToEdit(address);
        model.setValid(true);
    }

    DownloadWorkspace workspace;
    Kelvara model;
    XMLTranslator translator{&model};
    FakeDialogs* dialogs = new FakeDialogs;
    QComboBox pasDevices;
    PasDeviceLoader loader{nullptr, &pasDevices, &translator};
    std::unique_ptr<DefaultImporter> dialog;
};

} // namespace

class tst_DefaultFiles : public QObject
{
    Q_OBJECT

private slots:
    // Folders are read one at a time, last found first, each directly below
    // the base; a folder listed again is not read twice.
    void crawlChooseAndDownload()
    {
        Crawl crawl;
        crawl.serve("", indexPage({"Controller/", "PAS/", "Yoro/"}));
        crawl.serve("Yoro/", indexPage({"Sub/", "Y1.xml"}));
        crawl.serve("Sub/", indexPage({"Yoro/", "Controller/"}));
        crawl.serve("PAS/", indexPage({"Torque_A.xml", "skip.xml", "release_notes"}));
        crawl.serve("release_notes/", indexPage({"notes.xml"}));
        crawl.serve("Controller/", indexPage({"C 1.xml"}));
        crawl.serve("Yoro/Y1.xml", defaultFile(1));
        crawl.serve("PAS/Torque_A.xml", defaultFile(2));
        crawl.serve("Controller/C%201.xml", {302, {}, {{"Location", "/elsewhere/c.xml"}}, -1});
        crawl.workspace.server.serve("/elsewhere/c.xml", defaultFile(3));
        crawl.workspace.put("data/local_firmwares.txt", "x.xml,skip.xml");

        QVERIFY(crawl.run());
        QCOMPARE(crawl.succeeded.count(), 1);
        QCOMPARE(crawl.workspace.server.requests().mid(0, 6).join(" ").remove("/downloads/kl"),
                 "/ /Yoro/ /Sub/ /PAS/ /release_notes/ /Controller/");
        QCOMPARE(crawl.brands,
                 QStringList({"Download Controller parameter files [x]",
                              "Download PAS parameter files [x]",
                              "Download Yoro parameter files [x]", "Select All [x]"}));
        QCOMPARE(crawl.boxTitles(),
                 QStringList({"Download Default Parameters", "Parameter Files Download Complete"}));
        QCOMPARE(crawl.watcher.texts().last(),
                 "Default parameters have been downloaded to the folder below, and you can now "
                 "select your desired configuration.\n\nThe dropdowns have been updated with the "
                 "latest Tamsett default files.");
        QCOMPARE(crawl.watcher.details().last(), "\"" + crawl.workspace.store() + "\" |  | OK");
        QCOMPARE(crawl.fetched("Yoro/Y1.xml") + crawl.fetched("PAS/Torque_A.xml")
                     + crawl.fetched("Controller/C 1.xml"),
                 QString(defaultFile(1) + defaultFile(2) + defaultFile(3)));
    }

    // Folders deeper than 4 are not read; no choice fetches nothing and makes
    // no brand folder.
    void boundedCrawlChoosingNothing()
    {
        Crawl crawl;
        crawl.untick = QStringList{"Select All"};
        crawl.serve("", indexPage({"d1/"}));
        for (int i = 1; i <= 6; ++i)
            crawl.serve("d" + QByteArray::number(i) + "/",
                        indexPage({QString("d%1/").arg(i + 1), "f.xml"}));
        QVERIFY(crawl.run());
        QCOMPARE(crawl.succeeded.count(), 1);
        QCOMPARE(crawl.workspace.server.requests().last(), "/downloads/kl/d4/");
        QCOMPARE(crawl.brands.size(), 5);
        QVERIFY(!QDir(crawl.workspace.store() + "/d1").exists());
    }

    void refusesNamesLeavingTheStore_data()
    {
        QTest::addColumn<QString>("name");
        for (const char* name : {"../", "a/b/", "../evil.xml", "a\\evil.xml"})
            QTest::newRow(name) << name;
    }

    // Nothing is requested or written for such a name, and the store is made
    // with all its parents.
    void refusesNamesLeavingTheStore()
    {
        QFETCH(QString, name);
        Crawl crawl;
        crawl.serve("", indexPage({name, "Good/"}));
        crawl.serve("Good/", indexPage({"good.xml"}));
        crawl.serve("Good/good.xml", defaultFile(4));
        QVERIFY(!QDir(crawl.workspace.store()).exists());

        QVERIFY(crawl.run());
        QCOMPARE(crawl.workspace.server.requests().join(" ").remove("/downloads/kl"),
                 "/ /Good/ /Good/good.xml");
        QCOMPARE(crawl.brands,
                 QStringList({"Download Good parameter files [x]", "Select All [x]"}));
        QDirIterator files(crawl.workspace.home.path(), QDir::Files, QDirIterator::Subdirectories);
        QCOMPARE(files.next(), crawl.workspace.store() + "/Good/good.xml");
        QVERIFY(!files.hasNext());
    }

    void badPagesEndTheCrawl_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        const QString readFailed = "Firmware list read failed";
        const QString pageFailed = "Failed to parse page read from server.";
        const QString entryFailed = "Failed to parse firmware list read from server.";
        QTest::newRow("no list") << 200 << QByteArray("<html>empty</html>") << readFailed
                                 << pageFailed;
        QTest::newRow("too large")
            << 200 << QByteArray(9 * 1024 * 1024, ' ') << readFailed
            << "A page read from the server is larger than 8 MB, more than an index page can be: "
               "it was not read.";
        QTest::newRow("no blank before name")
            << 200 << QByteArray("<ul><li><a href=\"Y/\">Y/</a></li></ul>") << readFailed
            << entryFailed;
        QTest::newRow("not found")
            << 404 << indexPage({"A/"}) << "Network Error"
            << "There was a network error getting the remote firmware list.\nPlease ensure you "
               "are connected to the internet.\n\nError code: HTTP 404 - Network Connection Error";
        // Redirects go to local files (file:///etc/hostname) in this test.
        QTest::newRow("redirect to a local file")
            << 302 << indexPage({"A/"}) << "Network Error"
            << "There was a network error getting the remote firmware list.\nPlease ensure you "
               "are connected to the internet.\n\nError code: Unknown protocol specified - Network Connection Error";
    }

    // A crawl that fails as a whole says so at once, in one box.
    void badPagesEndTheCrawl()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, page);
        Crawl crawl;
        LoopbackHttpServer::Response response{status, page, {}, -1};
        if (status / 100 == 3)
            response.headers = {{"Location", "file:///etc/hostname"}};
        crawl.serve("", response);
        QVERIFY(crawl.run());
        QCOMPARE(crawl.failed.count(), 1);
        QCOMPARE(crawl.watcher.count(), 1);
        QTEST(crawl.watcher.titles().first(), "title");
        QTEST(crawl.watcher.texts().first(), "text");
        QVERIFY(!crawl.downloader.isRunning());
    }

    // An index page or a file that never ends is given up at the size limit,
    // and the network layer takes little more than the limit meanwhile (the
    // rest of what the server got rid of waits in the system's socket
    // buffers).
    void endlessRepliesEndAtTheLimit_data()
    {
        QTest::addColumn<QByteArray>("endless"); // its path below the base
        QTest::addColumn<QString>("outcome");
        QTest::newRow("index page") << QByteArray("A/") << "failed: PageTooLarge";
        QTest::newRow("file") << QByteArray("A/a.xml") << "A/a.xml: it is larger than 8 MB";
    }

    void endlessRepliesEndAtTheLimit()
    {
        QFETCH(QByteArray, endless);
        DownloadWorkspace workspace;
        workspace.server.serve("/downloads/kl/", indexPage({"A/"}));
        workspace.server.serve("/downloads/kl/A/", indexPage({"a.xml"}));
        LoopbackHttpServer::Response neverEnds;
        neverEnds.body = QByteArray(65536, ' ');
        neverEnds.endless = true;
        workspace.server.serve("/downloads/kl/" + endless, neverEnds);
        DefaultFileCrawler crawler;
        QString outcome;
        connect(&crawler, &DefaultFileCrawler::crawlFinished,
                [&] { crawler.fetch(crawler.brands().keys()); });
        connect(&crawler, &DefaultFileCrawler::crawlFailed, [&](auto failure) {
            const auto failures = QMetaEnum::fromType<DefaultFileCrawler::Failure>();
            outcome = QString("failed: %1").arg(failures.valueToKey(failure));
        });
        connect(&crawler, &DefaultFileCrawler::fileFinished,
                [&](const QString& target, const QString& problem) {
                    outcome = QDir(workspace.store()).relativeFilePath(target) + ": " + problem;
                });
        crawler.crawl(DefaultFileCrawler::FW_URL());
        QTRY_VERIFY_WITH_TIMEOUT(!outcome.isEmpty(), 20000);
        QTEST(outcome, "outcome");
        const qint64 socketBuffers = 16 * 1024 * 1024;
        QVERIFY2(workspace.server.bytesSent() < DefaultFileCrawler::MAX_REPLY_BYTES + socketBuffers,
                 qPrintable(QString::number(workspace.server.bytesSent())));
    }

    void refusedFilesAreNotStored_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("told");
        QByteArray attributes;
        for (int i = 0; i < 100000; ++i)
            attributes += " a" + QByteArray::number(i) + "=\"\"";
        QTest::newRow("an element with 100,000 attributes")
            << defaultFile(5).replace("<SerializableParameter>",
                                      "<SerializableParameter" + attributes + ">")
            << "the file the server sent was refused (line 3: an element carries more than 32 "
               "attributes)";
        QTest::newRow("a document type declaring an entity")
            << "<?xml version=\"1.0\"?>\n<!DOCTYPE A [<!ENTITY v \"5\">]>\n"
                + defaultFile(5).mid(39)
            << "the file the server sent was refused (line 2: the document type holds "
               "declarations of its own)";
        // A parameter file all the same, broken where the byte is.
        QTest::newRow("a byte not of UTF-8 on line 6")
            << defaultFile(5).replace("ignored", "ign\xf0red")
            << "the parameter file the server sent is broken or cut short (line 6: Encountered "
               "incorrectly encoded content.)";
        QTest::newRow("comma-separated values") << QByteArray("Address,Value\n7,5\n").repeated(1000)
                                                << "the server sent no parameter file";
        // Told as opening it tells it: one that cannot be decoded may be a
        // parameter file.
        QTest::newRow("a parameter file declaring an encoding the suite does not know")
            << defaultFile(5).replace("UTF-8", "x-kelvara-7")
            << "the file the server sent could not be read (line 1: Encoding x-kelvara-7 is "
               "unsupported)";
        QTest::newRow("a byte not of UTF-8 before a root past the first 64 KB")
            << defaultFile(5).replace("?>\n",
                                      "?>\n<!-- \xff -->\n<!--" + QByteArray(70000, 'x') + "-->\n")
            << "the file the server sent could not be read (line 2: Encountered incorrectly "
               "encoded content.)";
    }

    // A file that would keep the XML reader busy for seconds is refused at
    // once, saying why, and one that is broken or of another kind is told
    // as such; the stored file of its name stays.
    void refusedFilesAreNotStored()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, told);
        DownloadWorkspace workspace;
        workspace.server.serve("/downloads/kl/", indexPage({"A/"}));
        workspace.server.serve("/downloads/kl/A/", indexPage({"a.xml"}));
        workspace.server.serve("/downloads/kl/A/a.xml", file);
        workspace.put("A/a.xml", defaultFile(7));
        DefaultFileCrawler crawler;
        QString problem;
        connect(&crawler, &DefaultFileCrawler::crawlFinished,
                [&] { crawler.fetch(crawler.brands().keys()); });
        connect(&crawler, &DefaultFileCrawler::fileFinished,
                [&](const QString&, const QString& problemTold) { problem = problemTold; });
        crawler.crawl(DefaultFileCrawler::FW_URL());
        QTRY_VERIFY_WITH_TIMEOUT(!problem.isEmpty(), 8000);
        QCOMPARE(problem, told);
        QFile stored(workspace.store() + "/A/a.xml");
        QVERIFY(stored.open(QIODevice::ReadOnly));
        QCOMPARE(stored.readAll(), defaultFile(7));
    }

    // Files in UTF-16 with Windows line ends, one holding "č" (a 0x0D byte
    // in UTF-16), are stored as sent and applied from the store.
    void downloadedFilesApplyInTheirEncoding()
    {
        Importer importer;
        const QByteArray notes = "Kv \xc4\x8d";
        const QMap<QString, QByteArray> files{
            {"le.xml",
             encodedDocument(entry("7", "31").replace("ignored", notes), "UTF-16", "UTF-16LE", true,
                             "\r\n")},
            {"be.xml",
             encodedDocument(entry("8", "32").replace("ignored", notes), "UTF-16", "UTF-16BE", true,
                             "\r\n")},
            {"lf.xml",
             encodedDocument(entry("7", "33").replace("ignored", notes), "UTF-16", "UTF-16LE", true,
                             "\n")}};
        const auto serve = [&importer](const QByteArray& path, const QByteArray& body) {
            importer.workspace.server.serve("/downloads/kl/" + path, body);
        };
        serve("", indexPage({"Controller/"}));
        serve("Controller/", indexPage(files.keys()));
        for (auto it = files.constBegin(); it != files.constEnd(); ++it)
            serve("Controller/" + it.key().toUtf8(), it.value());
        DefaultFileCrawler crawler;
        QStringList told;
        connect(&crawler, &DefaultFileCrawler::crawlFinished,
                [&] { crawler.fetch(crawler.brands().keys()); });
        connect(&crawler, &DefaultFileCrawler::fileFinished,
                [&](const QString&, const QString& problem) { told << problem; });
        crawler.crawl(DefaultFileCrawler::FW_URL());
        QTRY_COMPARE_WITH_TIMEOUT(told, QStringList({"", "", ""}), 8000);

        for (auto it = files.constBegin(); it != files.constEnd(); ++it) {
            QFile stored(importer.workspace.store() + "/Controller/" + it.key());
            QVERIFY(stored.open(QIODevice::ReadOnly));
            QCOMPARE(stored.readAll(), it.value());
            importer.open();
            importer.choose("controllerBox", it.key());
            importer.dialog->on_applyButton_clicked();
        }
        QCOMPARE(importer.dialogs->errors, QStringList());
        QCOMPARE(importer.model.getParameter(7)->getRegisterValue(), 33);
        QCOMPARE(importer.model.getParameter(8)->getRegisterValue(), 32);
    }

    // The time limit ends a stalled request: one box, one updateFail(), and no
    // second report when the aborted request comes back.
    void stalledServerTimesOut()
    {
        Crawl crawl;
        crawl.downloader.setTimeLimits(300, 2000);
        crawl.serve("", indexPage({"A/"}));
        crawl.serve("A/", indexPage({"a.xml"}));
        crawl.serve("A/a.xml", {200, defaultFile(5), {}, 10});
        QVERIFY(crawl.run());
        QCOMPARE(crawl.failed.count(), 1);
        QCOMPARE(crawl.boxTitles().last(), "Request Timed Out");
        QCOMPARE(crawl.watcher.texts().last(),
                 "Timed out getting firmware files from 127.0.0.1. The server could be down or "
                 "under high load.\n\nThese files could not be fetched or saved:\n  A/a.xml");
        QTRY_VERIFY(crawl.downloader.findChildren<QNetworkReply*>().isEmpty());
        QVERIFY(crawl.parent.findChild<QProgressBar*>()->isEnabled()); // ready for the next batch
    }

    // A file that fails, is cut short or is no parameter file is reported and
    // not stored (a stored one stays), and the batch ends once, with a box
    // that names it and what the crawl's limits left out.
    void failedFilesAreReportedOnce()
    {
        Crawl crawl;
        crawl.downloader.setCrawlLimits(2, 5);
        crawl.serve("", indexPage({"A/", "B/", "C/"}));
        crawl.serve("A/",
                    indexPage({"gone%2.xml", "page.xml", "cut.xml", "drop.xml", "good.xml",
                               "more.xml", "B/"}));
        crawl.serve("A/page.xml", "<html>sign in</html>");
        crawl.serve("A/cut.xml", defaultFile(8).left(200));
        crawl.serve("A/drop.xml", {200, defaultFile(8), {}, 200, 0, 0, true});
        crawl.serve("A/good.xml", defaultFile(6));
        crawl.workspace.put("A/page.xml", defaultFile(7));
        crawl.workspace.put("A/cut.xml", defaultFile(7));

        QVERIFY(crawl.run());
        QCOMPARE(crawl.succeeded.count(), 1);
        QCOMPARE(
            crawl.boxTitles(),
            QStringList({"Download Default Parameters", "Parameter Files Download Incomplete"}));
        QCOMPARE(
            crawl.watcher.texts().last(),
            "1 of 5 default parameter files were downloaded to the folder below.\n\nThese "
            "files could not be fetched or saved:\n  A/cut.xml: the parameter file the server "
            "sent is broken or cut short (line 6: Premature end of document.)\n  A/drop.xml: Connection closed\n  A/gone%2.xml: HTTP 404\n"
            "  A/page.xml: the server sent no parameter file\n\nThe server's listing is larger than the download's limits (2 "
            "pages, folders 4 deep, 5 files): 2 folders not read and 1 file listed but not "
            "fetched.\n\nThe dropdowns have been updated with the files that arrived.");
        QCOMPARE(crawl.watcher.details().last(), "\"" + crawl.workspace.store() + "\" |  | OK");
        QCOMPARE(crawl.fetched("A/page.xml") + crawl.fetched("A/cut.xml")
                     + crawl.fetched("A/drop.xml") + crawl.fetched("A/good.xml"),
                 defaultFile(7) + defaultFile(7) + "missing" + defaultFile(6));
    }

    // Many files that are no parameter files: no box of their own, one
    // report that names each with why, a long name cut.
    void manyFailedFilesOneReport()
    {
        Crawl crawl;
        QStringList names{QString(300, 'n') + ".xml"};
        for (int i = 10; i < 57; ++i)
            names << QString("f%1.xml").arg(i);
        crawl.serve("", indexPage({"A/"}));
        crawl.serve("A/", indexPage(names));
        for (const QString& name : names)
            crawl.serve("A/" + name.toUtf8(), "<html>Sign in</html>");
        QVERIFY(crawl.run());
        QCOMPARE(
            crawl.boxTitles(),
            QStringList({"Download Default Parameters", "Parameter Files Download Incomplete"}));
        QVERIFY(crawl.watcher.texts().last().startsWith(
            "0 of 48 default parameter files were downloaded to the folder below.\n\nThese files "
            "could not be fetched or saved:\n  A/f10.xml: the server sent no parameter file\n"));
        const QString details = crawl.watcher.details().last();
        QCOMPARE(details.count(": the server sent no parameter file"), 48);
        QVERIFY(details.contains("\nA/" + QString(64, 'n') + QChar(0x2026) + QString(29, 'n')
                                 + ".xml: the server sent no parameter file |"));
    }

    void crawlerAlone_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<int>("stallAfter");
        QTest::addColumn<QString>("outcome");
        const QByteArray listing = indexPage({"A/"});
        QTest::newRow("offers") << 200 << listing << -1 << "finished: A";
        QTest::newRow("not found") << 404 << listing << -1 << "failed: NetworkFailure HTTP 404";
        QTest::newRow("server error") << 500 << listing << -1 << "failed: NetworkFailure HTTP 500";
        QTest::newRow("no list") << 200 << QByteArray("<p>") << -1 << "failed: PageUnreadable";
        QTest::newRow("stalled") << 200 << listing << 10 << "failed: PageTimedOut";
    }

    // Without any widget: one report per crawl, no request left behind, and
    // after a complete crawl the crawler waits for the choice.
    void crawlerAlone()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, page);
        QFETCH(int, stallAfter);
        DownloadWorkspace workspace;
        workspace.server.serve("/downloads/kl/", {status, page, {}, stallAfter});
        workspace.server.serve("/downloads/kl/A/", indexPage({"a.xml"}));
        DefaultFileCrawler crawler;
        if (stallAfter >= 0)
            crawler.setTimeLimits(300, 2000);
        QString outcome;
        connect(&crawler, &DefaultFileCrawler::crawlFinished,
                [&] { outcome += "finished: " + crawler.brands().values().join(","); });
        connect(&crawler, &DefaultFileCrawler::crawlFailed,
                [&](auto failure, const QString& reason) {
                    const auto failures = QMetaEnum::fromType<DefaultFileCrawler::Failure>();
                    outcome += QString("failed: %1").arg(failures.valueToKey(failure))
                        + (reason.isEmpty() ? QString() : " " + reason);
                });
        crawler.crawl(DefaultFileCrawler::FW_URL());
        QTRY_VERIFY_WITH_TIMEOUT(!outcome.isEmpty(), 8000);
        QTRY_VERIFY(crawler.findChildren<QNetworkReply*>().isEmpty());
        QTEST(outcome, "outcome");
        QCOMPARE(crawler.isRunning(), outcome.startsWith("finished"));
    }

    // The store's folders listed (the Controller and PAS folders apart), a
    // name's mark of direction shown blank; the files chosen are imported
    // motor, controller, then PAS device.
    void importerListsAndApplies()
    {
        Importer importer;
        importer.workspace.put(QString::fromUtf8("Alpha/\u202Em.xml"),
                               parameterDocument(entry("7", "11") + entry("8", "21")));
        importer.workspace.put("Controller/C1.xml", defaultFile(12));
        importer.workspace.put("PAS/P_1.xml", defaultFile(13));
        importer.workspace.put("controller/x.xml", defaultFile(1));
        importer.open()->show();
        QCOMPARE(importer.items("manufacturerBox"),
                 QStringList({"<Select Manufacturer>", "Alpha", "controller"}));
        QCOMPARE(importer.items("pasBox"), QStringList({"<Select PAS Device>", "P_1.xml"}));
        QVERIFY(!importer.canApply());
        importer.choose("manufacturerBox", "Alpha");
        QCOMPARE(importer.items("modelBox"), QStringList({"<Select Model>", " m.xml"}));
        importer.choose("modelBox", " m.xml");
        importer.choose("controllerBox", "C1.xml");
        importer.choose("pasBox", "P_1.xml");
        importer.dialog->on_applyButton_clicked();
        QVERIFY(!importer.dialog->isVisible());
        QCOMPARE(importer.dialogs->errors, QStringList());
        QCOMPARE(importer.model.getParameter(7)->getRegisterValue(), 13);
        QCOMPARE(importer.model.getParameter(8)->getRegisterValue(), 21);
    }

    void clashingDefaults_data()
    {
        QTest::addColumn<QByteArray>("motor");
        QTest::addColumn<QByteArray>("controller");
        QTest::addColumn<int>("phaseCurrent");
        QTest::addColumn<int>("told");
        // The rating (0) limits the phase current (71) to 0.75 x rating - 1.
        QTest::newRow("later file lowers the limit")
            << entry("71", "60") << entry("0", "50") << 36 << 1;
        QTest::newRow("later file raises it")
            << entry("71", "120") << entry("0", "200") << 120 << 0;
    }

    // What the model holds after Apply is what a save would write: a value
    // that a limit changed is marked unsaved, and the user is told.
    void clashingDefaults()
    {
        QFETCH(QByteArray, motor);
        QFETCH(QByteArray, controller);
        Importer importer;
        importer.readController({{0, 96}, {71, 70}});
        QSignalSpy moved(&importer.model, &Kelvara::valuesMoved);
        importer.workspace.put("Alpha/m.xml", parameterDocument(motor));
        importer.workspace.put("Controller/C1.xml", parameterDocument(controller));
        importer.open();
        importer.choose("manufacturerBox", "Alpha");
        importer.choose("modelBox", "m.xml");
        importer.choose("controllerBox", "C1.xml");
        importer.dialog->on_applyButton_clicked();
        QTEST(importer.model.getParameter(71)->getRegisterValue(), "phaseCurrent");
        QCOMPARE(importer.model.getUnsavedValues().keys(), (QList<int>{0, 71}));
        // Told once the action is over, in one report.
        QCOMPARE(moved.count(), 0);
        QCoreApplication::processEvents();
        QFETCH(int, told);
        QCOMPARE(moved.count(), told);
        if (told) {
            const auto moves = moved.first().first().value<QList<MovedValue>>();
            QCOMPARE(moves.size(), 1);
            QCOMPARE(moves.first().address, 71);
            QVERIFY(moves.first().fromFile);
            QCOMPARE(moves.first().before, 60.0);
            QCOMPARE(moves.first().after, 36.0);
        }
    }
};

QTEST_MAIN(tst_DefaultFiles)
#include "tst_defaultfiles.moc"
