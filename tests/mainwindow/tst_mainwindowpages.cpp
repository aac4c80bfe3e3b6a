// The pages of the main window against the simulated controller: the
// graphs, the Dev Screen, the Dashboard, access level 3, the fault display,
// the Temperature page, the Autotune wizard and the custom editor.

#include "dashboardplot.h"
#include "draggablegraphnode.h"
#include "graphtesting.h"
#include "sliderthumb.h"
#include "temperaturesensor.h"
#include "temperaturevoltagemapping.h"
#include "throttlegraph.h"
#include "voltagecutoffslider.h"
#include "windowfixture.h"

#include <qcustomplot.h>

using namespace WindowFixture;

namespace {

// Raw values the graphs cannot show as they are.
const QMap<int, int> outOfRange = {
    {141, 853},  // Low Voltage Cutoff (Start) 10 V, below the slider's 19 V
    {142, 853},  // Low Voltage Cutoff (End) 10 V
    {194, 1707}, // Max Regen Voltage (Start) 20 V, closer than 0.5 V to...
    {195, 1724}, // Max Regen Voltage (End) 20.2 V
    {213, 819},  // Throttle Max Voltage 1.0 V, below...
    {214, 3277}, // Throttle Start Voltage 4.0 V
    {215, 1720}, // Brake Max Voltage 2.1 V, closer than 0.2 V to...
    {216, 1638}, // Brake Start Voltage 2.0 V
    {73, 4000},  // Max Power Limit 4000 W: level 1 above the graph's 2000 W
    {122, 3000}, // Maximum Power in PAS Mode 3000 W
};

} // namespace

class TestMainWindowPages : public QObject
{
    Q_OBJECT
    SimulatedWindow f;

    QDoubleSpinBox* devValue() const { return f.find<QDoubleSpinBox>("valueDisplay"); }
    void devAddress(int address) { f.find<QSpinBox>("addressInput")->setValue(address); }
    Parameter* parameter(int address) const { return f.model()->getParameter(address); }
    QList<int> writesTo509() const
    {
        QList<int> values;
        for (const QByteArray& frame : f.simulator->requests()) {
            if (writtenRegisters({frame}).contains(509))
                values << writtenRegisters({frame}).value(509);
        }
        return values;
    }
    QColor lamp(const char* view) const
    {
        return static_cast<QGraphicsEllipseItem*>(
                   f.find<QGraphicsView>(view)->scene()->items().value(0))
            ->brush()
            .color();
    }
    QCustomPlot* plot() const { return f.find<QCustomPlot>("dashboardPlot"); }
    QCPGraph* current() const { return plot()->graph(plot()->graphCount() - 1); } // Battery Current
    int polls() const
    {
        return requestFrames(f.simulator->requests(), 3).count(qMakePair(258, 74));
    }
    QStringList exported(const QString& fileName, QStringList* boxes)
    {
        ModalWatcher watcher(QString(), fileName);
        f.find<QPushButton>("dashboardExportPlot")->click();
        *boxes = watcher.titles();
        QFile file(fileName);
        return file.open(QIODevice::ReadOnly) ? QString(file.readAll()).split('\n') : QStringList();
    }

private slots:
    void initTestCase()
    {
        QMap<int, int> registers = outOfRange;
        registers.insert(72, 1234);
        QVERIFY(f.start(registers));
    }
    void init()
    {
        QTRY_VERIFY_WITH_TIMEOUT(f.find<QPushButton>("readAll")->isEnabled(),
                                 8000); // connected again after failures
        QVERIFY(waitIdle(f.window.get()));
        if (!f.model()->getUnsavedValues().isEmpty())
            QVERIFY(f.readAll());
        f.simulator->clearLog();
    }

    // A read of values the graphs cannot show leaves the model exactly as read.
    void graphsLeaveTheModelAsRead()
    {
        QCOMPARE(f.model()->getUnsavedValues(), (QMap<int, int>()));
        for (auto it = outOfRange.constBegin(); it != outOfRange.constEnd(); ++it)
            QCOMPARE(parameter(it.key())->getRegisterValue(), it.value());
        // They show what they can: the brake nodes as read, the throttle
        // start held off the maximum, the slider's thumbs at its bottom end.
        const auto nodes = itemsOf<DraggableGraphNode>(f.window->findChild<ThrottleGraph*>());
        QCOMPARE(nodes.at(0)->getX(), 2.0);
        QCOMPARE(nodes.at(1)->getX(), 2.1);
        QCOMPARE(nodes.at(6)->getX(), 1.0);
        QVERIFY(nodes.at(4)->getX() < 1.0);
        QCOMPARE(
            itemsOf<SliderThumb>(f.window->findChild<VoltageCutoffSlider*>()).at(1)->getPosition(),
            19.0);
    }

    void devAddressChangeLeavesBothRegistersAlone_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::newRow("2 to 0 decimals") << 72 << 71;
        QTest::newRow("2 to 1 decimal") << 72 << 227;
    }
    // The new register's decimals must not round the old value into a value
    // for it, and the old register no longer moves the box.
    void devAddressChangeLeavesBothRegistersAlone()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        const int fromRaw = parameter(from)->getRegisterValue();
        const int toRaw = parameter(to)->getRegisterValue();
        devAddress(from);
        devAddress(to);
        QCOMPARE(parameter(from)->getRegisterValue(), fromRaw);
        QCOMPARE(parameter(to)->getRegisterValue(), toRaw);
        QVERIFY(f.model()->getUnsavedValues().isEmpty());
        parameter(from)->setRegisterValue(fromRaw + 10);
        QCOMPARE(devValue()->value(), parameter(to)->getValue());
        parameter(from)->setRegisterValue(fromRaw);
    }

    void devReadsAndSavesOneRegister()
    {
        devAddress(72);
        QCOMPARE(f.find<QLineEdit>("name")->text() + ' ' + devValue()->text().trimmed(),
                 QString("Kv 12.34 RPM/V"));
        f.simulator->setRegisterValue(72, 2222);
        f.find<QPushButton>("read")->click();
        QTRY_COMPARE(devValue()->value(), 22.22);
        QCOMPARE(f.simulator->requests().first(),
                 KelvaraCom::fillInCRC(QByteArray::fromHex("010300480001")));
        QVERIFY(f.model()->getUnsavedValues().isEmpty());
        f.simulator->clearLog();

        devAddress(227);
        devValue()->setValue(30.5);
        QCOMPARE(parameter(227)->getRegisterValue(), 305);
        QCOMPARE(f.find<QSpinBox>("numUnsaved")->value(), 1);
        QCOMPARE(f.find<QPushButton>("writeAllDev")->text(), QString("**Save Parameters"));
        QSignalSpy saved(f.window->link(), &KelvaraCom::flashSaveComplete);
        f.find<QPushButton>("write")->click();
        // What a save to flash the controller refuses puts back as unsaved.
        QCOMPARE(f.model()->getFlashRecoveryValues().keys(), QList<int>{227});
        QVERIFY(saved.wait(operationLimitMs(f.window->link())) && waitIdle(f.window.get()));
        QCOMPARE(requestFrames(f.requestsInTime()),
                 (QList<QPair<int, int>>{{227, 1}, {511, 1}, {509, 1}}));
        QCOMPARE(int(f.simulator->registerValue(227)), 305);
        QCOMPARE(f.find<QSpinBox>("numUnsaved")->value(), 0);
        QCOMPARE(f.find<QPushButton>("writeAllDev")->text(), QString("Save Parameters"));
    }

    void devEnumRegisterTakesOnlyListedValues()
    {
        devAddress(4);
        devValue()->setValue(97);
        ModalWatcher watcher;
        emit devValue()->editingFinished();
        QCOMPARE(parameter(4)->getRegisterValue() + devValue()->value(), 1152 + 1152.0);
        QCOMPARE(
            watcher.texts(),
            QStringList{
                "Value \"97\" is not one of the values of address 4 (12, 96, 192, 384, 576, 1152)"});
        devValue()->setValue(96);
        QCOMPARE(parameter(4)->getRegisterValue(), 96);
    }

    // Every address without a definition shares one placeholder, holding the
    // undefined register read last: saving it would write that.
    void devAddressWithoutDefinitionIsNeverWritten()
    {
        for (int address = 258; address < 332; ++address) {
            if (parameter(address) == parameter(600))
                f.simulator->setRegisterValue(address, 4321);
        }
        QVERIFY(f.readAll());
        f.simulator->clearLog();
        auto* write = f.find<QPushButton>("write");
        devAddress(600);
        QVERIFY(!write->isEnabled());
        emit write->clicked();
        QCOMPARE(f.window->link()->getMode(), int(KelvaraCom::IdleMode)); // no write started
        QVERIFY(requestFrames(f.simulator->requests()).isEmpty());
        devAddress(227);
        QVERIFY(write->isEnabled());
    }

    void devHardwareIdAndConsole()
    {
        f.simulator->setRegisterValue(237, 0x0312);
        f.simulator->setRegisterValue(238, 4321);
        QVERIFY(f.readAll());
        QCOMPARE(f.find<QSpinBox>("HWID_Display")->value(), 3);
        QCOMPARE(f.find<QSpinBox>("batchDisplay")->value(), 0x12);
        QCOMPARE(f.find<QSpinBox>("serialNumDisplay")->value(), 4321);

        auto* console = f.find<QPlainTextEdit>("replyText");
        f.find<QPushButton>("pushButton")->click();
        QCOMPARE(console->toPlainText(), QString());
        f.find<QCheckBox>("hexCheckbox")->click();
        devAddress(71);
        f.find<QPushButton>("read")->click();
        QTRY_VERIFY(console->toPlainText().contains("01 03 02 00 46"));
        f.find<QCheckBox>("hexCheckbox")->click();
        QVERIFY(waitIdle(f.window.get()));
        // No connection check meanwhile: on a busy machine its lines would come in between.
        auto* monitor = f.find<QTimer>("monitorTimer");
        monitor->stop();
        const auto restart = qScopeGuard([monitor] { monitor->start(); });
        // One "not connected" line however often it comes.
        f.find<QPushButton>("pushButton")->click();
        for (const char* line : {"Controller is not connected", "Controller is not connected",
                                 "Success", "Controller is not connected"})
            f.window->setDevReplyText(line);
        QTRY_COMPARE(console->toPlainText(),
                     QString("Controller is not connected\nSuccess\nController is not connected"));
        // The newest 10000 lines, one reply at a time or more than the limit at once.
        for (int batches : {200, 1}) {
            for (int batch = 0, line = 0; batch < batches; ++batch) {
                while (line < 10050 * (batch + 1) / batches)
                    f.window->setDevReplyText(QString::number(line++));
                QCoreApplication::processEvents(); // the lines of one reply go in together
            }
            QTRY_COMPARE(console->document()->lastBlock().text(), QString("10049"));
            QCOMPARE(console->blockCount(), 10000);
            QCOMPARE(console->document()->firstBlock().text(), QString("50"));
        }
    }

    void dashboardPollsAndPlotsOnlyWhileShown()
    {
        f.showPage("dashboardScreen");
        QTRY_VERIFY(polls() >= 2);
        f.simulator->setRegisterValue(266, 123);
        f.find<QPushButton>("dashboardStartStopButton")->click();
        QTRY_VERIFY(current()->dataCount() > 0
                    && (current()->data()->constEnd() - 1)->value == 12.3);
        // One timer beats the poll and the sample: three samples take two intervals.
        QElapsedTimer clock;
        clock.start();
        const int samples = current()->dataCount();
        QTRY_VERIFY(current()->dataCount() >= samples + 3);
        QVERIFY2(clock.elapsed() >= 2 * 330, qPrintable(QString::number(clock.elapsed())));
        QSignalSpy ticks(f.window->findChild<DashboardPlot*>(), &DashboardPlot::timeout);
        f.simulator->setSilent(true); // polls that get no answer measured nothing
        QTRY_VERIFY(ticks.count() >= 2);
        const int frozen = current()->dataCount();
        QTRY_VERIFY(ticks.count() >= 5);
        QCOMPARE(current()->dataCount(), frozen);
        f.simulator->setSilent(false);
        QTRY_VERIFY_WITH_TIMEOUT(current()->dataCount() > frozen, 8000);

        f.showPage("releaseScreen");
        QCOMPARE(f.find<QPushButton>("dashboardStartStopButton")->text(),
                 QString("Resume Graphing"));
        QVERIFY(!f.window->findChild<DashboardPlot*>()->findChild<QTimer*>()->isActive());
        QVERIFY(waitIdle(f.window.get()));
        f.simulator->clearLog();
        QTest::qWait(400); // over one polling interval: no poll may come
        QCOMPARE(polls(), 0);
        f.showPage("dashboardScreen");
        QCOMPARE(f.find<QPushButton>("dashboardStartStopButton")->text(),
                 QString("Pause Graphing"));
    }

    // The export holds the window's three graphs; a failed export is shown
    // once, by the plot: the window keeps its box off this page.
    void dashboardExports()
    {
        QTemporaryDir dir;
        QStringList boxes;
        QCOMPARE(
            exported(dir.filePath("plot.txt"), &boxes).value(0),
            QString(
                "Time(s)\tInterrupted\tMotor RPM(RPM)\tBattery Voltage(V)\tBattery Current(A)\t"));
        QVERIFY(exported(dir.filePath("missing/plot.txt"), &boxes).isEmpty());
        QCOMPARE(boxes, QStringList({"Export to Tab Separated Values File", "Export Error"}));
    }

    // A controller refusing part of a read-all: told once, as its refusal,
    // and the Dashboard asks for no more read-alls while its polls go on.
    void dashboardReadAllFailsOnce()
    {
        f.showPage("dashboardScreen");
        f.simulator->setExceptionAtAddress(125);
        ModalWatcher watcher;
        f.window->controllerDisconnected(); // the next check connects again
        QTRY_COMPARE_WITH_TIMEOUT(watcher.titles(), QStringList{"Read Fail"}, 8000);
        QCOMPARE(watcher.texts().first(),
                 QString("Communication fail. Could not read parameter(s) requested.\nThe read "
                         "could not be completed: the controller refused the read of registers "
                         "125 to 249: exception 2, illegal data address."));
        f.simulator->clearLog();
        QTRY_VERIFY_WITH_TIMEOUT(polls() >= 6, 8000);
        QVERIFY(!requestFrames(f.simulator->requests(), 3).contains(qMakePair(0, 125))
                && watcher.count() == 1);
        f.simulator->setExceptionAtAddress(125, 0);
    }

    // Autotune and the exports need a controller, whichever way they come back.
    void dashboardActionsNeedAControllerOffThePage()
    {
        const QStringList names = {"autotuneAction", "exportXML", "advanced_Export", "importXML"};
        f.showPage("dashboardScreen");
        QSignalSpy readOnThePage(f.window->link(), &KelvaraCom::readAllComplete);
        f.window->link()->readAll(); // as the custom editor's Read does
        QVERIFY(readOnThePage.wait(5000));
        for (const QString& name : names)
            QVERIFY(!f.find<QAction>(name)->isEnabled());
        QSignalSpy readAlls(f.window->link(), &KelvaraCom::readAllComplete);
        f.window->controllerDisconnected();
        f.showPage("releaseScreen");
        for (const QString& name : names)
            QCOMPARE(f.find<QAction>(name)->isEnabled(), name == "importXML");
        QTRY_COMPARE_WITH_TIMEOUT(readAlls.count(), 2, 5000); // the next check connects again
    }

    void faultLampsAndLists_data()
    {
        QTest::addColumn<QList<int>>("registers"); // 258, 299, 277
        QTest::addColumn<QColor>("color");
        QTest::addColumn<QString>("lines");
        QTest::newRow("all clear") << QList<int>{0, 0, 0} << QColor(Qt::green) << "";
        QTest::newRow("a warning") << QList<int>{0, 0, 0x80} << QColor(Qt::yellow)
                                   << "Warnings[7]: Low Battery Voltage Foldback";
        QTest::newRow("fault and warning")
            << QList<int>{0, 1, 2} << QColor(Qt::red)
            << "Faults2[0]: Parameter CRC Error\nWarnings[1]: Hall Sensor Warning";
        QTest::newRow("faults in bit order")
            << QList<int>{0x24, 0, 0} << QColor(Qt::red)
            << "Faults[2]: Bad Current Sensor Calibration\nFaults[5]: Motor Hall Sensor Fault";
    }
    void faultLampsAndLists()
    {
        QFETCH(QList<int>, registers);
        QFETCH(QColor, color);
        for (int i = 0; i < 3; ++i)
            parameter(QList<int>{258, 299, 277}.at(i))->setRegisterValue(registers.at(i));
        QCOMPARE(lamp("faultIndicator"), color);
        QCOMPARE(lamp("dashboardFaultIndicator"), color);
        for (const char* list : {"faultText", "dashboardFaultText"})
            QTEST(f.find<QTextEdit>(list)->toPlainText(), "lines");
        for (const char* button : {"clearFaults", "dashboardClearFaults"})
            QCOMPARE(f.find(button)->isEnabled(), registers.at(0) || registers.at(1));
    }

    void clearFaults()
    {
        for (const QString page : {"releaseScreen", "dashboardScreen"}) {
            const bool dashboard = page == "dashboardScreen";
            f.showPage(page);
            f.simulator->setRegisterValue(258, 0x20);
            f.window->link()->oneRead(258, 42);
            QTRY_COMPARE(lamp("faultIndicator"), QColor(Qt::red));
            QVERIFY(waitIdle(f.window.get()));
            f.simulator->clearLog();
            auto* refresh = f.find<QTimer>("dashboardRefreshTimer");
            f.find<QPushButton>(dashboard ? "dashboardClearFaults" : "clearFaults")->click();
            // 1 written to register 508; on the Dashboard the next poll waits.
            QCOMPARE(refresh->isActive(), dashboard);
            QVERIFY(refresh->remainingTime() < 0 || refresh->remainingTime() > 300);
            QTRY_COMPARE(lamp("faultIndicator"), QColor(Qt::green));
            QCOMPARE(requestFrames(f.requestsInTime()), (QList<QPair<int, int>>{{508, 1}}));
        }
        f.showPage("releaseScreen");
    }

    void accessLevelBoxWritesTheCodeAndUnlocksRows()
    {
        for (bool on : {true, false}) {
            f.simulator->clearLog();
            f.find<QCheckBox>("AccessLevelBox")->setChecked(on);
            QVERIFY(waitIdle(f.window.get()));
            QCOMPARE(writesTo509(), QList<int>{on ? 61957 : 0});
            QCOMPARE(f.find<QLabel>("statusLabel")->styleSheet(),
                     QString(on ? "QLabel {color: red;}" : "QLabel {color: black;}"));
            for (const char* row : {"highLowside", "openCircuitVoltageTestWindow"})
                QCOMPARE(f.find(row)->findChild<QDoubleSpinBox*>()->isEnabled(), on);
        }
    }

    // A read-all switches it off; a failed read is reported in one box, with
    // the write switching it off that fails too, and with the box off nothing
    // is written.
    void accessLevelReadAllSwitchesItOff_data()
    {
        QTest::addColumn<bool>("boxOn");
        QTest::addColumn<bool>("silent");
        QTest::addColumn<QStringList>("boxes");
        QTest::newRow("good read") << true << false << QStringList();
        QTest::newRow("failed read, box off") << false << true << QStringList{"Read Fail"};
        QTest::newRow("failed read, box on") << true << true << QStringList{"Read Fail"};
    }
    void accessLevelReadAllSwitchesItOff()
    {
        QFETCH(bool, boxOn);
        QFETCH(bool, silent);
        QFETCH(QStringList, boxes);
        auto* box = f.find<QCheckBox>("AccessLevelBox");
        box->setChecked(boxOn);
        QVERIFY(waitIdle(f.window.get()));
        f.simulator->clearLog();
        f.simulator->setSilent(silent);
        // Boxes are answered once the link has reported every failure, as by
        // a user still reading the first.
        int failures = silent * (1 + boxOn);
        std::unique_ptr<ModalWatcher> watcher(failures ? nullptr : new ModalWatcher);
        QObject reports;
        connect(f.window->link(), &KelvaraCom::comError, &reports, [&] {
            if (--failures == 0)
                watcher.reset(new ModalWatcher);
        });
        QSignalSpy done(f.window->link(), &KelvaraCom::readAllComplete);
        f.window->onReadAllClicked();
        QVERIFY(done.wait(8000) && waitIdle(f.window.get()));
        QTRY_COMPARE(watcher->titles(), boxes);
        // Each failure is told, in the one box.
        QCOMPARE(watcher->texts().join(QString()).count("Communication fail."),
                 silent * (1 + boxOn));
        f.simulator->setSilent(false);
        QVERIFY(!box->isChecked());
        const QList<int> writes = writesTo509();
        QCOMPARE(writes.isEmpty(), !boxOn && silent);
        QVERIFY(writes.isEmpty() || writes.last() == 0);
    }

    void temperatureTabFollowsTheControllerType()
    {
        for (int firmware : {5800, 5921}) { // without and with a sensor input
            f.simulator->setRegisterValue(256, firmware);
            QVERIFY(f.readAll());
            QCOMPARE(f.find<QTabWidget>("tabWidget")->indexOf(f.find("temperatureScreen")),
                     firmware == 5800 ? -1 : 2);
            QCOMPARE(f.window->devIndex(), firmware == 5800 ? 3 : 4);
        }
    }

    // A preset locks the boxes until the controller's own curve is back.
    void temperaturePresetWritesItsCurve()
    {
        auto* sensors = f.find<QComboBox>("comboBox_tempSensorType");
        auto boxesEnabled = [this](bool enabled) {
            for (int degrees = 0; degrees <= 125; degrees += 25) {
                if (f.find(QString("volts_%1_deg").arg(degrees))->isEnabled() != enabled)
                    return false;
            }
            return true;
        };
        TemperatureVoltageMapping table(f.model());
        table.importFromJSON();
        sensors->setCurrentIndex(0);
        QVERIFY(boxesEnabled(false));
        QSignalSpy saved(f.window->link(), &KelvaraCom::flashSaveComplete);
        f.find<QPushButton>("saveParamsTemperature")->click();
        QVERIFY(saved.wait(8000));
        for (int point = 0; point < TemperatureSensor::pointCount; ++point)
            QCOMPARE(int(f.simulator->registerValue(93 + point)),
                     qRound(table.sensors.at(0)->getMapping()[point] * 1000));
        QCOMPARE(sensors->currentText(), QString("Current Values"));
        QVERIFY(boxesEnabled(true));
        sensors->setCurrentIndex(-1); // an empty selection writes nothing
        QVERIFY(f.model()->getUnsavedValues().isEmpty());
    }
};

QTEST_MAIN(TestMainWindowPages)
#include "tst_mainwindowpages.moc"
