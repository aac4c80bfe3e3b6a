// The main window before and apart from a controller: its settings, rows
// bound from the definitions, marks, typed limits, the PAS page, the
// driver check, factory mode and the tabs' bookkeeping.

#include "bitvector.h"
#include "commandrunner.h"
#include "urlopener.h"
#include "windowfixture.h"

#include <optional>

using namespace WindowFixture;

namespace {

// Plays "kextstat" and "sw_vers"; a null output is a command that is not there.
struct ScriptedRunner : CommandRunner
{
    QMap<QString, QByteArray> outputs;
    CommandResult run(const QString& program, const QStringList&, int) override
    {
        const QByteArray output = outputs.value(program);
        return output.isNull() ? CommandRunner::run(program, {}, 0)
                               : CommandResult{true, output, 0, 0};
    }
};

struct RecordingOpener : UrlOpener
{
    QStringList opened;
    bool open(const QUrl& url) override { return opened << url.toLocalFile(), true; }
};

// Answers the factory password prompt with the given text.
void answerPasswordPrompt(const QString& text)
{
    QTimer::singleShot(20, [text] {
        auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return answerPasswordPrompt(text);
        dialog->setTextValue(text);
        dialog->accept();
    });
}

} // namespace

class TestMainWindowSetup : public QObject
{
    Q_OBJECT
    SimulatedWindow f; // without a controller
    RecordingOpener* opener = nullptr;

    QPushButton* button(const char* name) const { return f.find<QPushButton>(name); }
    Parameter* parameter(int address) const { return f.model()->getParameter(address); }
    int unsaved() const { return f.find<QSpinBox>("numUnsaved")->value(); }
    QString pasColumn(const QString& name) const
    {
        QStringList texts;
        for (int row = 1; row <= 9; ++row)
            texts << f.find<QLabel>(name + QString::number(row))->text();
        return texts.join(',');
    }
    std::unique_ptr<MainWindow> driverWindow(const QByteArray& kextstat,
                                             const QByteArray& swVers = {})
    {
        auto window = std::make_unique<MainWindow>();
        auto runner = std::make_unique<ScriptedRunner>();
        runner->outputs = {{"kextstat", kextstat}, {"sw_vers", swVers}};
        window->setCommandRunner(std::move(runner));
        window->setUrlOpener(std::unique_ptr<UrlOpener>(opener = new RecordingOpener));
        return window;
    }

private slots:
    void initTestCase() { QVERIFY(f.start({}, false)); }
    void init() { qunsetenv("KELVARA_EXTRA_PORTS"); }

    void settingsAreApplied_data()
    {
        QTest::addColumn<QVariantMap>("settings");
        QTest::addColumn<int>("timeout");
        QTest::addColumn<int>("baud");
        QTest::addColumn<bool>("factoryMode");
        QTest::newRow("no settings file") << QVariantMap() << 250 << 115200 << false;
        QTest::newRow("stored values")
            << QVariantMap{{"commTimeout", 600}, {"commBaudrate", 9600}, {"factoryMode", true}}
            << 600 << 9600 << true;
        QTest::newRow("unreadable values") << QVariantMap{{"commTimeout", "soon"},
                                                          {"commBaudrate", "fast"},
                                                          {"factoryMode", "abc"}}
                                           << 250 << 115200 << false;
        QTest::newRow("rate the port cannot take")
            << QVariantMap{{"commBaudrate", 12345}} << 250 << 115200 << false;
        QTest::newRow("timeout of days, held to the dialog's limit")
            << QVariantMap{{"commTimeout", 2147483647}} << 60000 << 115200 << false;
        QTest::newRow("timeout too short for the rate")
            << QVariantMap{{"commTimeout", 10}, {"commBaudrate", 9600}} << 540 << 9600 << false;
        QTest::newRow("no timeout stored, slow rate")
            << QVariantMap{{"commBaudrate", 1200}} << 4270 << 1200 << false;
    }
    void settingsAreApplied()
    {
        QFETCH(QVariantMap, settings);
        Workspace workspace(settings);
        MainWindow window;
        QTEST(window.link()->getTimeoutTime(), "timeout");
        QFETCH(int, baud);
        QCOMPARE(int(window.link()->getBaud()), baud);
        // A non-standard rate is flagged in red once the controller counts as not connected.
        auto* portLabel = window.findChild<QLabel*>("portLabel");
        window.controllerDisconnected();
        QCOMPARE(portLabel->text(),
                 baud == 115200 ? QString("Serial Port:")
                                : QString("Serial Port:\nAlert: %1 baud").arg(baud));
        QTEST(window.findChild<QAction*>("factory_Mode")->isChecked(), "factoryMode");
        // Nothing is written at start-up.
        QCOMPARE(QSettings(workspace.settingsPath(), QSettings::IniFormat).allKeys().size(),
                 settings.size());
        // The stored timeout is the link's default, which every reset returns to.
        window.link()->setTimeoutTime(2000);
        window.link()->writeAll(); // nothing unsaved: only the timeout is reset
        QTEST(window.link()->getTimeoutTime(), "timeout");
    }

    // The program's window lists the ports once it has painted, on the
    // empty entry: the first scan chooses no port.
    void portsAreListedAfterTheFirstPaint()
    {
        Workspace workspace;
        qputenv("KELVARA_EXTRA_PORTS", workspace.settingsPath().toLocal8Bit());
        MainWindow window(nullptr, MainWindow::FirstPortScan::AfterFirstPaint);
        auto* box = window.findChild<QComboBox*>("portBox");
        QCOMPARE(box->count(), 0);
        window.show();
        QVERIFY(QTest::qWaitFor([&] { return box->findText(workspace.settingsPath()) >= 0; }));
        QCOMPARE(box->currentText(), QString());
        QCOMPARE(window.link()->getPortName(), QString());
    }

    void rowsAreBoundToTheirParameters_data()
    {
        QTest::addColumn<QString>("container");
        QTest::addColumn<int>("rowCount");
        QTest::newRow("Basic Setup") << "displayParameters" << 34;
        QTest::newRow("Advanced Setup") << "advancedParameters" << 19;
        QTest::newRow("PAS Setup") << "pedalAssistParameters" << 32;
        QTest::newRow("Temperature") << "temperatureParameters" << 20;
    }
    // Label and editor set-up of every row of a setup page.
    void rowsAreBoundToTheirParameters()
    {
        QFETCH(QString, container);
        const auto rows = FormRows::findRows(f.find(container));
        QTEST(rows.size(), "rowCount");
        for (QWidget* found : rows) {
            const FormRows::Key key = FormRows::rowKey(found);
            Parameter* p = parameter(key.first);
            const QByteArray where = found->objectName().toLatin1();
            QString name = p->getName();
            if (p->getType() == ParameterDefinition::TypeBitVector)
                name = static_cast<BitVector*>(p)->getBitDefs()->value(key.second);
            const QString text = FormRows::rowLabel(found)->text(); // PAS rows go by level
            QVERIFY2(text == name || text.contains("(Level "), where);
            QWidget* editor = FormRows::rowEditor(found);
            if (auto* spin = qobject_cast<QDoubleSpinBox*>(editor)) {
                // Some boxes show a torque or power figure behind the units.
                QVERIFY2(spin->suffix() == " " + p->getUnits() || spin->suffix().endsWith(")"),
                         where);
                QCOMPARE(spin->decimals(), p->numDecimals());
                QVERIFY2(qFuzzyCompare(1 + spin->value(), 1 + p->getValue()), where);
            } else if (auto* combo = qobject_cast<QComboBox*>(editor); combo && p->getEnumDefs()) {
                QStringList texts;
                for (auto it = p->getEnumDefs()->constBegin(); it != p->getEnumDefs()->constEnd();
                     ++it) {
                    texts << (p->getUnits().isEmpty()
                                  ? QString("[%1] %2").arg(it.key()).arg(it.value())
                                  : it.value() + p->getUnits());
                    QCOMPARE(combo->itemData(texts.size() - 1).toInt(), it.key());
                }
                QCOMPARE(combo->count(), texts.size());
                for (int i = 0; i < combo->count(); ++i)
                    QCOMPARE(combo->itemText(i), texts.value(i));
            }
        }
    }

    void tooltipsWrapAndValuesAreNotClamped()
    {
        // A line break takes the place of the first blank once a line has run for 120 characters.
        const QString original = parameter(78)->getTooltip();
        QVERIFY(original.size() > 300 && !original.left(200).contains('\n'));
        const QString shown = FormRows::rowLabel(f.row("displayParameters", 78))->toolTip();
        QCOMPARE(shown.indexOf('\n'), original.indexOf(' ', 121));
        // Showing a value never clamps it and writes the clamped value back.
        parameter(109)->setRegisterValue(12000);
        QCOMPARE(f.spin("advancedParameters", 109)->value(), 12000.0);
        QCOMPARE(parameter(109)->getRegisterValue(), 12000);
    }

    void typedValueBeyondTheLimitGivesTheLimit_data()
    {
        QTest::addColumn<int>("address");
        QTest::addColumn<int>(
            "rating"); // register 0: Max Phase Current lies in 30 .. 0.75 x rating - 1
        QTest::addColumn<QString>("typed");
        QTest::addColumn<double>("taken");
        QTest::newRow("Maximum Speed above 120") << 229 << 96 << "150" << 120.0;
        QTest::newRow("Max Phase Current above 71") << 71 << 96 << "75" << 71.0;
        QTest::newRow("Max Phase Current below 30") << 71 << 96 << "7" << 30.0;
        QTest::newRow("limit from a rating of 200") << 71 << 200 << "1500" << 149.0;
        QTest::newRow("in range") << 71 << 96 << "45" << 45.0;
    }
    // A typed value counts once complete, never what the digits so far make.
    void typedValueBeyondTheLimitGivesTheLimit()
    {
        QFETCH(int, address);
        QFETCH(int, rating);
        QFETCH(QString, typed);
        parameter(0)->setRegisterValue(rating);
        parameter(address)->setValue(50);
        auto* box = f.spin("displayParameters", address);
        box->selectAll();
        QTest::keyClicks(box, typed);
        QCOMPARE(parameter(address)->getValue(), 50.0);
        QTest::keyClick(box, Qt::Key_Return);
        QTEST(parameter(address)->getValue(), "taken");
        QTEST(box->value(), "taken");
    }

    // No change is tracked before the first complete read; after it, a
    // change without a row counts too.
    void marksFollowChangesOnceTheModelIsValid()
    {
        auto* kv = f.spin("displayParameters", 72);
        kv->setValue(kv->value() + 1);
        QCOMPARE(f.label(72) + QString::number(unsaved()), QString("Kv0"));
        f.model()->setValid(true);
        f.model()->setControllerRamToEdit(509);
        parameter(509)->setValue(parameter(509)->getValue() + 5);
        QCOMPARE(unsaved(), 1);
        QCOMPARE(button("writeAllDev")->text(), QString("**Save Parameters"));
        parameter(509)->setValue(parameter(509)->getValue() - 5);
        QCOMPARE(unsaved(), 0);
    }

    void pasTabFollowsRegister208AndTheMenu()
    {
        auto* tabs = f.find<QTabWidget>("tabWidget");
        QCOMPARE(tabs->indexOf(f.find("pasScreen")), -1);
        parameter(208)->setValue(2);
        QCOMPARE(tabs->indexOf(f.find("pasScreen")), 3);
        QVERIFY(f.find<QAction>("show_pas_tab")->isChecked());
        QCOMPARE(f.window->devIndex(), 5);
        parameter(208)->setValue(1);
        QCOMPARE(tabs->indexOf(f.find("pasScreen")), 3);
        f.find<QAction>("show_pas_tab")->trigger();
        QCOMPARE(tabs->indexOf(f.find("pasScreen")), -1);
        QCOMPARE(f.window->dashboardIndex(), 3);
    }

    // Assist levels 1 and 2 are fractions of the limits; a limit of 0 leaves it empty.
    void pasLevelTable_data()
    {
        QTest::addColumn<QString>("levels");
        QTest::addColumn<double>("maxPower");
        QTest::addColumn<double>("maxSpeed");
        QTest::addColumn<QString>("numbers");
        QTest::addColumn<QString>("power");
        QTest::addColumn<QString>("pasSpeed");
        QTest::newRow("9 levels") << "9" << 1000.0 << 32.0 << "1,2,3,4,5,6,7,8,9"
                                  << "0.2,0.3,0.4,0.5,0.6,0.7,0.8,0.9,1.0"
                                  << "8,10,12,14,16,20,24,28,32";
        QTest::newRow("5 levels") << "5" << 1000.0 << 32.0 << "1,-,2,-,3,-,4,-,5"
                                  << "0.2,,0.4,,0.6,,0.8,,1.0"
                                  << "8,,12,,16,,24,,32";
        QTest::newRow("no power limit") << "3" << 0.0 << 32.0 << "1,-,-,-,2,-,-,-,3"
                                        << ",,,,,,,,"
                                        << "8,,,,16,,,,32";
    }
    void pasLevelTable()
    {
        QFETCH(double, maxPower);
        QFETCH(double, maxSpeed);
        QFETCH(QString, levels);
        const QMap<int, double> values = {{219, 0.2}, {245, 0.6}, {73, maxPower},  {122, 500},
                                          {241, 8},   {246, 16},  {229, maxSpeed}, {124, 32}};
        for (auto it = values.constBegin(); it != values.constEnd(); ++it)
            parameter(it.key())->setValue(it.value());
        f.find<QComboBox>("numAssistLevels")->setCurrentText(levels);
        QTEST(pasColumn("level_l"), "numbers");
        QTEST(pasColumn("max_pwr_l"), "power");
        QTEST(pasColumn("max_pas_spd_l"), "pasSpeed");
        QCOMPARE(f.find<QLabel>("max_pas_pwr_l1")->text(), QString("0.1"));
    }

    // The advice for the loaded drivers; with Apple's, Install opens the
    // package for the system version, or asks for it.
    void driverCheck_data()
    {
        QTest::addColumn<QByteArray>("kextstat");
        QTest::addColumn<QByteArray>("swVers");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("package");
        QTest::newRow("no kextstat")
            << QByteArray() << QByteArray()
            << "Unable to check driver: It's safe to continue, "
               "but if communication is slow, you might need to install a new driver for the FTDI USB Serial cable. | "
               "kextstat failed to run.\nExit status: 0\nError code: 255\nMore driver info and downloads available at "
               "https://ftdichip.com/drivers/vcp-drivers/ | "
            << "";
        QTest::newRow("both") << QByteArray("FTDIUSBSerialDriver AppleUSBFTDI") << QByteArray()
                              << QString("Driver test complete: Two different") << QString();
        QTest::newRow("none, text ends at NUL")
            << QByteArray("none\0AppleUSBFTDI", 17) << QByteArray() << "No USB Serial driver"
            << QString();
        QTest::newRow("Apple's, 10.14.6") << QByteArray("AppleUSBFTDI") << QByteArray("10.14.6\n")
                                          << "The driver installer should automatically start"
                                          << "FTDIUSBSerial242.pkg";
        QTest::newRow("Apple's, 11.2.3, asked")
            << QByteArray("AppleUSBFTDI") << QByteArray("11.2.3") << "Unknown OS Version: 11.2.3"
            << "FTDIUSBSerial242.pkg";
    }
    void driverCheck()
    {
        QFETCH(QByteArray, swVers);
        QFETCH(QString, box);
        QFETCH(QString, package);
        for (const char* name :
             {"FTDIUSBSerial242.pkg", "FTDIUSBSerialDriver_10_4_10_5_10_6_10_7.mpkg"})
            QFile(QString("resources/") + name).open(QIODevice::WriteOnly);
        ModalWatcher watcher("Continue Without Installing Driver");
        if (!swVers.isNull())
            watcher.setAnswers({"Install FTDI USB Serial Driver",
                                package.isEmpty() ? "Cancel" : "Mac OS X 10.9 and above"});
        QFETCH(QByteArray, kextstat);
        auto window = driverWindow(kextstat, swVers);
        emit window->link()->macSlowFaultRead(5000); // the check by itself is for macOS
        window->checkDriverMac();
        QCOMPARE(opener->opened,
                 package.isEmpty() ? QStringList()
                                   : QStringList{QDir::current().filePath("resources/" + package)});
        if (!swVers.isNull()) {
            QVERIFY2((watcher.texts() + watcher.details()).join('\n').contains(box),
                     qPrintable(box));
            return;
        }
        QCOMPARE(watcher.count(), 1);
        const QString seen = watcher.texts().first() + ": " + watcher.details().first();
        QVERIFY2(seen.startsWith(box) && !seen.contains("Disable"), qPrintable(seen));
        QCOMPARE(seen.endsWith("| Continue"), QByteArray(QTest::currentDataTag()) == "both");
        QCOMPARE(Qt::mightBeRichText(watcher.details().first()), seen.contains("</a>"));
    }

    // Against a controller whose type needs no Temperature page: the factory
    // password brings the page back, anything else takes it away; switching
    // off asks nothing. The page going away in front of the Dashboard does
    // not stop its polling.
    void factoryModeWithPassword()
    {
        f.window.reset(); // it would take the new simulator's port as it appears
        SimulatedWindow connected;
        QVERIFY(connected.start({{256, 5800}}));
        auto* tabs = connected.find<QTabWidget>("tabWidget");
        auto* action = connected.find<QAction>("factory_Mode");
        QWidget* temperature = connected.find("temperatureScreen");
        QCOMPARE(tabs->indexOf(temperature), -1); // taken away by the read
        auto* refresh = connected.find<QTimer>("dashboardRefreshTimer");
        connected.showPage("dashboardScreen");
        for (const QString& password : QStringList{"quietlamb", "quietlamp", ""}) {
            std::optional<ModalWatcher> watcher;
            if (password.isEmpty())
                watcher.emplace();
            else
                answerPasswordPrompt(password);
            action->trigger();
            QVERIFY(!watcher || watcher->count() == 0);
            const bool on = password == "quietlamp";
            QCOMPARE(action->isChecked(), on);
            QCOMPARE(connected.workspace.storedValue("factoryMode").toBool(), on);
            QCOMPARE(tabs->indexOf(temperature), on ? 2 : -1);
            QCOMPARE(connected.window->devIndex(), on ? 4 : 3);
            QCOMPARE(tabs->currentWidget(), connected.find("dashboardScreen"));
            QVERIFY(refresh->isActive());
        }
        connected.showPage("releaseScreen");
        QVERIFY(!refresh->isActive());
    }
};

QTEST_MAIN(TestMainWindowSetup)
#include "tst_mainwindowsetup.moc"
