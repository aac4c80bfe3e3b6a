// The USB-serial driver check with a runner that plays the system commands.

#include "commandrunner.h"
#include "urlopener.h"
#include "windowfixture.h"

using namespace WindowFixture;

// Plays "kextstat" and "sw_vers"; a null output is a command that is not there.
struct ScriptedRunner : CommandRunner
{
    ScriptedRunner(const QByteArray& kextstat, const QByteArray& swVers) : outputs{{"kextstat", kextstat}, {"sw_vers", swVers}} {}
    QMap<QString, QByteArray> outputs;
    CommandResult run(const QString& program, const QStringList&, int) override
    {
        const QByteArray output = outputs.value(program);
        return output.isNull() ? CommandRunner::run(program, {}, 0) : CommandResult{true, output, 0, 0};
    }
};

struct RecordingOpener : UrlOpener
{
    QStringList opened;
    bool opens = true;
    bool open(const QUrl& url) override { return opened << url.toLocalFile(), opens; }
};

class TestDriverCheck : public QObject
{
    Q_OBJECT
    Workspace workspace;
    RecordingOpener* opener = nullptr;

    std::unique_ptr<MainWindow> window(const QByteArray& kextstat, const QByteArray& swVers = {})
    {
        auto result = std::make_unique<MainWindow>();
        result->setCommandRunner(std::make_unique<ScriptedRunner>(kextstat, swVers));
        result->setUrlOpener(std::unique_ptr<UrlOpener>(opener = new RecordingOpener));
        return result;
    }

private slots:
    void adviceForTheLoadedDrivers_data()
    {
        QTest::addColumn<QByteArray>("kextstat");
        QTest::addColumn<QString>("box");
        QTest::newRow("no kextstat")
            << QByteArray() << "Unable to check driver: It's safe to continue, but if communication is slow, you might "
                               "need to install a new driver for the FTDI USB Serial cable. | kextstat failed to run.\n"
                               "Exit status: 0\nError code: 255\nMore driver info and downloads available at "
                               "https://ftdichip.com/drivers/vcp-drivers/ | ";
        QTest::newRow("both") << QByteArray("FTDIUSBSerialDriver AppleUSBFTDI") << "Driver test complete: Two different";
        QTest::newRow("FTDI's") << QByteArray("FTDIUSBSerialDriver") << "A good FTDI USB Serial driver seems";
        QTest::newRow("Apple's") << QByteArray("AppleUSBFTDI") << "Driver update suggested: We recommend updating";
        QTest::newRow("none, text ends at NUL") << QByteArray("none\0AppleUSBFTDI", 17) << "No USB Serial driver";
    }
    void adviceForTheLoadedDrivers()
    {
        QFETCH(QByteArray, kextstat);
        QFETCH(QString, box);
        ModalWatcher watcher("Continue Without Installing Driver");
        window(kextstat)->checkDriverMac();
        QCOMPARE(watcher.count(), 1);
        const QString seen = watcher.texts().first() + ": " + watcher.details().first();
        QVERIFY2(seen.startsWith(box) && !seen.contains("Disable"), qPrintable(seen));
        QCOMPARE(seen.endsWith("| Continue"), QByteArray(QTest::currentDataTag()) == "both");
        QCOMPARE(Qt::mightBeRichText(watcher.details().first()), seen.contains("</a>"));
    }

    // Apple's driver and Install: the package for the version, or a question.
    void installerForTheSystemVersion_data()
    {
        QTest::addColumn<QByteArray>("swVers");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("package");
        const QString started = "The driver installer should automatically start";
        QTest::newRow("10.14.6") << QByteArray("10.14.6\n") << started << "FTDIUSBSerial242.pkg";
        QTest::newRow("10.3.9, no package") << QByteArray("10.3.9") << "could not be found" << "";
        QTest::newRow("10.8.5, opener fails") << QByteArray("10.8.5") << "could not be opened"
                                              << "FTDIUSBSerialDriver_10_4_10_5_10_6_10_7.mpkg";
        QTest::newRow("11.2.3, asked") << QByteArray("11.2.3") << "Unknown OS Version: 11.2.3" << "FTDIUSBSerial242.pkg";
        QTest::newRow("12.0, cancelled") << QByteArray("12.0") << "Can't decypher output of 'sw_vers -productVersion'. "
                                         << "";
    }
    void installerForTheSystemVersion()
    {
        QFETCH(QByteArray, swVers);
        QFETCH(QString, box);
        QFETCH(QString, package);
        for (const char* name : {"FTDIUSBSerial242.pkg", "FTDIUSBSerialDriver_10_4_10_5_10_6_10_7.mpkg"})
            QFile(QString("resources/") + name).open(QIODevice::WriteOnly);
        ModalWatcher watcher;
        watcher.setAnswers({"Install FTDI USB Serial Driver", package.isEmpty() ? "Cancel" : "Mac OS X 10.9 and above"});
        auto checked = window("AppleUSBFTDI", swVers);
        opener->opens = !box.contains("opened");
        checked->checkDriverMac();
        QVERIFY2((watcher.texts() + watcher.details()).join('\n').contains(box), qPrintable(box));
        QCOMPARE(opener->opened, package.isEmpty() ? QStringList() : QStringList{QDir::current().filePath("resources/" + package)});
    }

    void automaticCheckOncePerRunUnlessSwitchedOff()
    {
        workspace.writeSettings({{"doCheckMacDriver", 0}});
        ModalWatcher watcher;
        watcher.setAnswers({"", "Disable Driver Check When Software Starts"});
        auto checked = window({});
        emit checked->link()->macSlowFaultRead(1500);
        QCOMPARE(watcher.count(), 0);
        checked->checkDriverMac(); // the menu still checks
        QCOMPARE(watcher.count(), 1);

        workspace.writeSettings({});
        checked = window({});
        emit checked->link()->macSlowFaultRead(1500);
        QCOMPARE(watcher.count(), 2);
        checked.reset();
        QCOMPARE(workspace.storedValue("doCheckMacDriver").toInt(), 0);
        workspace.writeSettings({});
        emit window({})->link()->macSlowFaultRead(1500);
        QCOMPARE(watcher.count(), 2);
    }
};

QTEST_MAIN(TestDriverCheck)
#include "tst_drivercheck.moc"
