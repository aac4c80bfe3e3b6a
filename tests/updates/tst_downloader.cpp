#include "downloader.h"
#include "loopbackhttpserver.h"
#include "modalwatcher.h"
#include "openedurls.h"

#include <QLabel>
#include <QMessageBox>
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
    void texts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        using Row = QPair<qint64, QString>;
        for (const Row& row : QList<Row>{{1023, "1023 bytes"}, {1024, "1 KB"}, {1048575, "1023 KB"}, {3800000, "3 MB"}})
            QTest::newRow(qPrintable(row.second)) << Downloader::sizeText(row.first) << row.second;
        for (const Row& row : QList<Row>{{0, "1 second"}, {2, "2 seconds"}, {60, "60 seconds"}, {61, "1 minute"},
                                         {90, "2 minutes"}, {7200, "120 minutes"}, {7201, "about 2 hours"}})
            QTest::newRow(qPrintable(row.second)) << Downloader::timeText(row.first) << row.second;
    }

    void texts()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(text, expected);
    }

    // "/get" serves the file, or redirects to "/file.bin", which serves it;
    // other paths are not found.
    void download_data()
    {
        QTest::addColumn<QByteArray>("redirect");
        QTest::addColumn<bool>("custom");
        QTest::addColumn<QStringList>("boxes");
        QTest::newRow("custom install") << QByteArray() << true << QStringList();
        QTest::newRow("install prompt opens") << QByteArray() << false << QStringList{install};
        QTest::newRow("redirect") << QByteArray("/file.bin") << false << QStringList{install};
        QTest::newRow("not found") << QByteArray("/gone") << false << QStringList{failed};
        QTest::newRow("redirect loop") << QByteArray("/get") << false << QStringList{failed};
    }

    void download()
    {
        QFETCH(QByteArray, redirect);
        QFETCH(bool, custom);
        QFETCH(QStringList, boxes);
        const QByteArray body(1536 * 1024 + 7, 'u');
        LoopbackHttpServer server;
        server.serve("/get", body);
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
        QTRY_VERIFY(window.isHidden());
        QTRY_COMPARE(watcher.texts(), boxes);
        // A failed download leaves no file, is not announced and not opened.
        const bool ok = boxes.isEmpty() || boxes.first() == install;
        const QString path = home.filePath("Kelvara.dmg");
        QCOMPARE(QDir(home.path()).entryList(QDir::Files), ok ? QStringList{"Kelvara.dmg"} : QStringList());
        const QList<QVariantList> announced{{"the version file", path}};
        QCOMPARE(QList<QVariantList>(done), ok ? announced : QList<QVariantList>());
        QCOMPARE(opener.urls, custom || !ok ? QList<QUrl>() : QList<QUrl>{QUrl::fromLocalFile(path)});
        QFile file(path);
        QVERIFY(!ok || (file.open(QIODevice::ReadOnly) && file.readAll() == body));
        if (custom)
            QCOMPARE(labelText(window, "downloadLabel"), "Downloading updates (1 MB of 1 MB)");
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
        server.serve("/get", {200, QByteArray(finishes ? 3000 : 100000, 'u'), {}, finishes ? -1 : 1000, 1000, 300});
        QTemporaryDir home;
        Downloader window;
        window.setDownloadDir(home.path());
        window.setFileName(QString());
        window.setUseCustomInstallProcedures(true);
        // No rate to estimate from: no division by zero.
        window.calculateTimeRemaining(0, 1000);
        QCOMPARE(labelText(window, "timeLabel"), "Time remaining: unknown");
        QSignalSpy done(&window, &Downloader::downloadFinished);

        window.startDownload(server.url() + "/get");
        QTRY_COMPARE(QFileInfo(home.filePath("QSU_Update.bin.part")).size(), 1000);
        if (!finishes) {
            QTRY_COMPARE(labelText(window, "downloadLabel"), "Downloading updates (1000 bytes of 97 KB)");
            // Unchanged within the first whole second, else 99 s at 1000 bytes/s.
            QVERIFY(QStringList({"Time remaining: unknown", "Time remaining: 2 minutes"})
                        .contains(labelText(window, "timeLabel")));
        }

        QStringList asked;
        QTimer answer;
        connect(&answer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box && (!finishes || done.count())) {
                asked << box->text();
                box->button(QMessageBox::Yes)->click();
            }
        });
        answer.start(10);
        window.findChild<QPushButton*>("stopButton")->click();
        QCOMPARE(asked, QStringList{"Are you sure you want to cancel the download?"});
        QVERIFY(window.isHidden());
        QCOMPARE(QDir(home.path()).entryList(QDir::Files), finishes ? QStringList{"QSU_Update.bin"} : QStringList());
        QCOMPARE(done.count(), finishes ? 1 : 0);
    }
};

QTEST_MAIN(tst_Downloader)
#include "tst_downloader.moc"
