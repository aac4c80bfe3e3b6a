// The USB-serial driver check with a runner that plays the system commands:
// the advice for each set of loaded drivers, the installer package for each
// system version, and the check that runs by itself once per run.

#include "commandrunner.h"
#include "urlopener.h"
#include "windowfixture.h"

using namespace WindowFixture;

namespace {

// Plays "kextstat" and "sw_vers" with the given outputs; a null output is
// a command that is not there.
class ScriptedRunner : public CommandRunner
{
public:
    ScriptedRunner(const QByteArray& kextstat, const QByteArray& swVers)
        : outputs{{"kextstat", kextstat}, {"sw_vers", swVers}}
    {
    }
    CommandResult run(const QString& program, const QStringList&, int) override
    {
        if (outputs.value(program).isNull())
            return CommandRunner::run(program, {}, 0);
        return CommandResult{true, outputs.value(program), 0, 0};
    }
    QMap<QString, QByteArray> outputs;
};

class RecordingOpener : public UrlOpener
{
public:
    explicit RecordingOpener(QStringList* opened, bool works) : opened(opened), works(works) {}
    bool open(const QUrl& url) override
    {
        *opened << url.toLocalFile();
        return works;
    }
    QStringList* opened;
    bool works;
};

// Presses the given buttons in turn (then the default one) and notes each
// box as "text | informative text | detailed text | button, button".
class BoxScript : public QObject
{
public:
    explicit BoxScript(const QStringList& script) : answers(script)
    {
        connect(&timer, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || box == last)
                return;
            last = box;
            QStringList buttons;
            for (QAbstractButton* button : box->buttons())
                buttons << button->text();
            seen << QStringList{box->text(), box->informativeText(), box->detailedText(), buttons.join(", ")}
                        .join(" | ");
            const QString answer = answers.isEmpty() ? QString() : answers.takeFirst();
            for (QAbstractButton* button : box->buttons()) {
                if (button->text() == answer)
                    return button->click();
            }
            box->defaultButton()->click();
        });
        timer.start(20);
    }
    QStringList answers;
    QStringList seen;
    QTimer timer;
    QPointer<QMessageBox> last;
};

} // namespace

class TestDriverCheck : public QObject
{
    Q_OBJECT

private slots:
    void init() { qunsetenv("KELVARA_EXTRA_PORTS"); }
    void adviceForTheLoadedDrivers_data();
    void adviceForTheLoadedDrivers();
    void installerForTheSystemVersion_data();
    void installerForTheSystemVersion();
    void automaticCheckOncePerRunUnlessSwitchedOff();
};

void TestDriverCheck::adviceForTheLoadedDrivers_data()
{
    QTest::addColumn<QByteArray>("kextstat");
    QTest::addColumn<QString>("box");
    QTest::newRow("no kextstat") << QByteArray()
                                 << "Unable to check driver | It's safe to continue, but if communication is slow, you "
                                    "might need to install a new driver for the FTDI USB Serial cable. | kextstat failed "
                                    "to run.\nExit status: 0\nError code: 255\nMore driver info and downloads available "
                                    "at https://ftdichip.com/drivers/vcp-drivers/ | ";
    QTest::newRow("both drivers") << QByteArray("com.FTDI.driver.FTDIUSBSerialDriver AppleUSBFTDI")
                                  << "Driver test complete | Two different comm drivers";
    QTest::newRow("FTDI's driver") << QByteArray("x FTDIUSBSerialDriver y")
                                   << "A good FTDI USB Serial driver seems to be loaded.";
    QTest::newRow("Apple's driver") << QByteArray("com.apple.driver.AppleUSBFTDI")
                                    << "Driver update suggested | We recommend updating your FTDI USB Serial Driver.";
    QTest::newRow("none, not connected") << QByteArray("nothing\0AppleUSBFTDI", 20)
                                         << "No USB Serial driver seems to be loaded. Please plug the cable's USB "
                                            "end into this computer.";
}

void TestDriverCheck::adviceForTheLoadedDrivers()
{
    QFETCH(QByteArray, kextstat);
    QFETCH(QString, box);
    Workspace workspace;
    MainWindow window;
    window.setCommandRunner(std::make_unique<ScriptedRunner>(kextstat, QByteArray()));
    BoxScript script({"Continue Without Installing Driver"});
    window.checkDriverMac();
    QCOMPARE(script.seen.size(), 1);
    QVERIFY2(script.seen.first().startsWith(box), qPrintable(script.seen.first()));
    QVERIFY(!script.seen.first().contains("Disable"));
    if (QTest::currentDataTag() == QByteArray("both drivers"))
        QVERIFY(script.seen.first().endsWith("| Continue"));
}

void TestDriverCheck::installerForTheSystemVersion_data()
{
    QTest::addColumn<QByteArray>("swVers");
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("opened");
    const QString started = "The driver installer should automatically start";
    QTest::newRow("10.14.6") << QByteArray("10.14.6\n") << QStringList() << true << QStringList{started}
                             << "FTDIUSBSerial242.pkg";
    QTest::newRow("10.3.9, no package") << QByteArray("10.3.9") << QStringList() << true
                                        << QStringList{"could not be found"} << "";
    QTest::newRow("10.8.5, opener fails") << QByteArray("10.8.5") << QStringList() << false
                                          << QStringList{"could not be opened"}
                                          << "FTDIUSBSerialDriver_10_4_10_5_10_6_10_7.mpkg";
    QTest::newRow("11.2.3, asked") << QByteArray("11.2.3") << QStringList{"Mac OS X 10.9 and above"} << true
                                   << QStringList{"Unknown OS Version: 11.2.3", started} << "FTDIUSBSerial242.pkg";
    QTest::newRow("12.0, cancelled") << QByteArray("12.0") << QStringList() << true
                                     << QStringList{"Can't decypher output of 'sw_vers -productVersion'. "} << "";
    QTest::newRow("no sw_vers") << QByteArray() << QStringList() << true
                                << QStringList{"'sw_vers -productVersion' failed. Output:\n\nExit status: 0\nError "
                                               "code: 255"}
                                << "";
}

// Apple's driver only: the box suggests the installer.
void TestDriverCheck::installerForTheSystemVersion()
{
    QFETCH(QByteArray, swVers);
    QFETCH(QStringList, answers);
    QFETCH(bool, opens);
    QFETCH(QStringList, boxes);
    QFETCH(QString, opened);
    Workspace workspace;
    for (const char* package : {"FTDIUSBSerial242.pkg", "FTDIUSBSerialDriver_10_4_10_5_10_6_10_7.mpkg"})
        QFile(QString("resources/") + package).open(QIODevice::WriteOnly);
    MainWindow window;
    QStringList openedFiles;
    window.setCommandRunner(std::make_unique<ScriptedRunner>("AppleUSBFTDI", swVers));
    window.setUrlOpener(std::make_unique<RecordingOpener>(&openedFiles, opens));
    BoxScript script(QStringList{"Install FTDI USB Serial Driver"} + answers);
    window.checkDriverMac();
    QCOMPARE(script.seen.size(), boxes.size() + 1);
    for (int i = 0; i < boxes.size(); ++i)
        QVERIFY2(script.seen.at(i + 1).contains(boxes.at(i)), qPrintable(script.seen.at(i + 1)));
    QCOMPARE(openedFiles.size(), opened.isEmpty() ? 0 : 1);
    QVERIFY(opened.isEmpty() || openedFiles.value(0).endsWith("resources/" + opened));
}

void TestDriverCheck::automaticCheckOncePerRunUnlessSwitchedOff()
{
    Workspace workspace({{"doCheckMacDriver", 0}});
    BoxScript script({"", "Disable Driver Check When Software Starts"});
    {
        MainWindow window;
        emit window.link()->macSlowFaultRead(1500);
        QCOMPARE(script.seen.size(), 0);
        window.checkDriverMac(); // the menu still checks
        QCOMPARE(script.seen.size(), 1);
        QVERIFY(!script.seen.first().contains("Disable"));
    }
    workspace.writeSettings({});
    {
        MainWindow window;
        emit window.link()->macSlowFaultRead(1500);
        QCOMPARE(script.seen.size(), 2);
        QVERIFY(script.seen.last().contains("Disable Driver Check When Software Starts"));
    }
    QCOMPARE(workspace.storedValue("doCheckMacDriver").toInt(), 0);
    workspace.writeSettings({});
    MainWindow window;
    emit window.link()->macSlowFaultRead(1500);
    QCOMPARE(script.seen.size(), 2);
}

QTEST_MAIN(TestDriverCheck)
#include "tst_drivercheck.moc"
