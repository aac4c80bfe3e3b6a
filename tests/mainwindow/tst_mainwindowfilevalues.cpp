// File values are taken as the file holds them: the main window against the
// simulated controller, judged from what Save sends it. A value off the
// display step goes out as it stands, by every import path and through an
// export and Open, also one that shows as the controller's value does; only
// a limit (a raw step past it too), the register's own range or a graph's
// rule moves one, and one box names that, as the file's value.

#include "defaultstore.h"
#include "graphwindow.h"
#include "pasdeviceloader.h"

#include <algorithm>

using namespace WindowFixture;

namespace {

enum ImportPath { OpenFile, AdvancedImport, DefaultsApply, PasDeviceList };

// Off the display step: Assist Level 1 1000 shows 0.24 (983), Low Voltage
// Cutoff (Start) 3000 35.2 V at 48 V (3004), Overload Foldback Start 2000
// 48.8 % (1999).
const QMap<int, int> offTheStep = {{219, 1000}, {141, 3000}, {104, 2000}};
// What the sample controller holds of them.
const QMap<int, int> sample = {{219, 1638}, {141, 3584}, {104, 3277}, {175, 2048}};
// Low Voltage Cutoff (End) 30 V (40 V in the sample), so that 35.2 V keeps
// the battery-voltage slider's order.
const QMap<int, int> lowCutoffEnd = {{142, 2560}};
// One raw step from what the sample controller holds, each showing as the
// controller's value does (Throttle Max Voltage 2950 and 2949 both 3.6 V).
const QMap<int, int> withinAStep = {{53, 4097},  {79, 19598}, {105, 4095}, {147, 5377},
                                    {149, 5292}, {151, 1},    {152, 411},  {154, 2049},
                                    {182, 615},  {206, 83},   {213, 2950}, {214, 984},
                                    {215, 1},    {216, 656},  {245, 3483}, {253, 820}};

QByteArray entries(const QMap<int, int>& values)
{
    QByteArray text;
    for (auto it = values.constBegin(); it != values.constEnd(); ++it)
        text += entry(QByteArray::number(it.key()).constData(),
                      QByteArray::number(it.value()).constData());
    return text;
}

} // namespace

class TestMainWindowFileValues : public QObject
{
    Q_OBJECT
    QTemporaryDir home;
    QString store;
    SimulatedWindow f;
    FakeDialogs* dialogs = nullptr; // owned by the window's translator

    // The controller takes these values and is read again.
    bool controllerHolds(const QMap<int, int>& values)
    {
        for (auto it = values.constBegin(); it != values.constEnd(); ++it)
            f.simulator->setRegisterValue(it.key(), it.value());
        return f.readAll() && f.model()->getUnsavedValues().isEmpty();
    }

    // The boxes that follow go to the watcher given.
    void importBy(ImportPath path, const QByteArray& file, ModalWatcher* boxes)
    {
        if (path == OpenFile || path == AdvancedImport) {
            dialogs->openAnswer = home.filePath("file.xml");
            writeFile(dialogs->openAnswer, file);
            f.find<QAction>(path == OpenFile ? "importXML" : "advanced_Import")->trigger();
        } else if (path == DefaultsApply) {
            writeFile(store + "/Controller/C.xml", file);
            boxes->onDialog = [](QWidget* modal) {
                modal->findChild<QComboBox*>("controllerBox")->setCurrentText("C.xml");
                modal->findChild<QPushButton*>("applyButton")->click();
            };
            f.window->launchDefaultChecker();
        } else {
            writeFile(store + "/PAS/Device.xml", file);
            f.window->findChild<PasDeviceLoader*>()->refreshPasDeviceList();
            auto* devices = f.find<QComboBox>("pedal_assist_type");
            devices->setCurrentIndex(devices->findText("Device"));
        }
        // The moves of one import are told once it is over.
        QCoreApplication::processEvents();
    }

private slots:
    void initTestCase()
    {
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath("share"))); // the default files
        store = DefaultStore::root();
        QVERIFY(f.start(lowCutoffEnd));
        dialogs = new FakeDialogs;
        f.window->findChild<XMLTranslator*>()->setDialogs(dialogs);
    }

    void init()
    {
        QDir(store).removeRecursively();
        // What an earlier case saved goes: the sample controller again.
        QVERIFY(f.simulator->loadImage(KELVARA_SIM_IMAGES "/controller.xml"));
        QVERIFY(controllerHolds(lowCutoffEnd));
        QVERIFY(controllerHolds(sample));
        f.window->findChild<XMLTranslator*>()->setDialogs(dialogs = new FakeDialogs);
    }

    // Exported from a controller that holds values off the display step
    // (one of them typed away and back meanwhile), opened on a controller
    // that holds others: Save writes the first one's values as they were.
    void exportThenOpenElsewhere()
    {
        ModalWatcher boxes;
        QVERIFY(controllerHolds(offTheStep));
        auto* assist = f.spin("pedalAssistParameters", 219);
        assist->setValue(0.5);
        assist->setValue(0.24);
        QVERIFY(f.model()->getUnsavedValues().isEmpty());
        dialogs->exportAnswer = XMLTranslator::ExportAll;
        dialogs->saveAnswer = home.filePath("export.xml");
        f.find<QAction>("exportXML")->trigger();

        QVERIFY(controllerHolds(sample));
        dialogs->openAnswer = dialogs->saveAnswer;
        f.find<QAction>("importXML")->trigger();
        QCOMPARE(dialogs->errors, QStringList());
        QCOMPARE(boxes.texts(), QStringList());
        QCOMPARE(f.save(), offTheStep);
    }

    void fileValuesTakenRaw_data()
    {
        QTest::addColumn<int>("path");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<RegisterValues>("written");
        const QByteArray offTheStepFile = entry("104", "2000") + entry("141", "3000")
            + entry("175", "2500") + entry("219", "1000");
        // Pedal Speed Map Offset 2500 shows 61 % (2499).
        const RegisterValues taken = {{104, 2000}, {141, 3000}, {175, 2500}, {219, 1000}};
        QTest::newRow("Open") << int(OpenFile) << offTheStepFile << taken;
        QTest::newRow("Advanced Import") << int(AdvancedImport) << offTheStepFile << taken;
        QTest::newRow("defaults dialog") << int(DefaultsApply) << offTheStepFile << taken;
        QTest::newRow("PAS device list") << int(PasDeviceList) << offTheStepFile << taken;
        // The rated voltage that scales it, applied after it once more,
        // leaves it as the file holds it.
        QTest::newRow("listed before its rated voltage")
            << int(DefaultsApply) << entry("141", "3000") + entry("70", "48")
            << RegisterValues{{141, 3000}};
        // Values that show as the controller's are the file's all the same.
        QTest::newRow("within a step, Open")
            << int(OpenFile) << entries(withinAStep) << withinAStep;
        QTest::newRow("within a step, Advanced Import")
            << int(AdvancedImport) << entries(withinAStep) << withinAStep;
        QTest::newRow("within a step, defaults dialog")
            << int(DefaultsApply) << entries(withinAStep) << withinAStep;
        QTest::newRow("within a step, PAS device list")
            << int(PasDeviceList) << entries(withinAStep) << withinAStep;
    }

    // Each import path takes a value off the display step as it stands,
    // and names nothing.
    void fileValuesTakenRaw()
    {
        QFETCH(int, path);
        QFETCH(QByteArray, file);
        QFETCH(RegisterValues, written);
        ModalWatcher boxes;
        importBy(static_cast<ImportPath>(path), parameterDocument(file), &boxes);
        QCOMPARE(dialogs->errors, QStringList());
        QCOMPARE(f.save(), written);
        QStringList told = boxes.titles();
        told.removeAll("Download Defaults"); // the dialog itself
        QCOMPARE(told, QStringList());
    }

    void fileValueBeyondTheLimitNamed_data()
    {
        QTest::addColumn<int>("path");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("line");
        QTest::addColumn<RegisterValues>("written");
        // Overload Foldback Start 4500 is 109.9 %, beyond 100 %.
        QTest::newRow("limit") << int(OpenFile) << entry("104", "4500") + entry("219", "1000")
                               << "Overload Foldback Start (104): 109.9 % in the file, 100 % now"
                               << RegisterValues{{104, 4096}, {219, 1000}};
        // Beyond what the register holds: at its end, told however close
        // to it the value shows (the sample holds 819 and 1).
        QTest::newRow("negative, Open")
            << int(OpenFile) << entry("253", "-1")
            << "Assist Gain Walk (253): -0.000244141 per unit in the file, 0 per unit now"
            << RegisterValues{{253, 0}};
        QTest::newRow("negative, Advanced Import")
            << int(AdvancedImport) << entry("76", "-1")
            << "Depricated Kv Always 1 (76): -1 in the file, 0 now" << RegisterValues{{76, 0}};
        QTest::newRow("negative, defaults dialog")
            << int(DefaultsApply) << entry("76", "-2")
            << "Depricated Kv Always 1 (76): -2 in the file, 0 now" << RegisterValues{{76, 0}};
        QTest::newRow("above 65535, PAS device list")
            << int(PasDeviceList) << entry("253", "65536")
            << "Assist Gain Walk (253): 16 per unit in the file, 1 per unit now"
            << RegisterValues{{253, 4096}};
        // One raw step past a limit shows as the limit, and is held there.
        QTest::newRow("a step past the maximum, Open")
            << int(OpenFile) << entry("53", "16390") + entry("104", "4100") + entry("219", "4100")
            << "Assist Level 1 (219): 1.00098 per unit in the file, 1 per unit now"
            << RegisterValues{{53, 16384}, {104, 4096}, {219, 4096}};
        // At the sample's 70 A, 1 A is raw 58.5: 58 is below it, held on 59.
        QTest::newRow("a step below the minimum, defaults dialog")
            << int(DefaultsApply) << entry("154", "58")
            << "Max Regen Phase Current (154): 0.991211 A in the file, 1 A now"
            << RegisterValues{{154, 59}};
        QTest::newRow("whole numbers in full, PAS device list")
            << int(PasDeviceList) << entry("76", "2147483647")
            << "Depricated Kv Always 1 (76): 2147483647 in the file, 65535 now"
            << RegisterValues{{76, 65535}};
        QTest::newRow("beyond 32 bits, Open")
            << int(OpenFile) << entry("76", "0099999999999")
            << "Depricated Kv Always 1 (76): 99999999999 in the file, 65535 now"
            << RegisterValues{{76, 65535}};
        QTest::newRow("millions of digits, Advanced Import")
            << int(AdvancedImport) << entry("76", QByteArray(4000000, '9').constData())
            << "Depricated Kv Always 1 (76): " + QString(66, '9') + QChar(0x2026) + QString(33, '9')
                + " in the file, 65535 now"
            << RegisterValues{{76, 65535}};
        QTest::newRow("below 32 bits through a scale, defaults dialog")
            << int(DefaultsApply) << entry("253", "-99999999999")
            << "Assist Gain Walk (253): -2.44141e+07 per unit in the file, 0 per unit now"
            << RegisterValues{{253, 0}};
        // The throttle graph keeps the dead band within half the span.
        QTest::newRow("held by a graph's rule, defaults dialog")
            << int(DefaultsApply) << entry("151", "3000")
            << "Throttle Deadband Threshold (151): 3.66 V in the file, 1.2 V now"
            << RegisterValues{{151, 983}};
        // Past the 5 V maximum as well: quoted as the file holds it.
        QTest::newRow("a step past the maximum, held by a graph's rule, Open")
            << int(OpenFile) << entry("151", "4097")
            << "Throttle Deadband Threshold (151): 5.00122 V in the file, 1.2 V now"
            << RegisterValues{{151, 983}};
    }

    // Only a limit moves a file's value, the register's own range or a
    // graph's rule too: the box names it and Save writes what it holds.
    void fileValueBeyondTheLimitNamed()
    {
        QFETCH(int, path);
        QFETCH(QByteArray, file);
        QFETCH(QString, line);
        QFETCH(RegisterValues, written);
        ModalWatcher boxes;
        importBy(static_cast<ImportPath>(path), parameterDocument(file), &boxes);
        QTRY_VERIFY(boxes.titles().contains("Values Limited"));
        QCOMPARE(boxes.titles().count("Values Limited"), 1);
        const QString told = boxes.texts().at(boxes.titles().indexOf("Values Limited"));
        QVERIFY2(!GraphWindow::paragraphOf(told, line).isEmpty(), qPrintable(told));
        QCOMPARE(f.save(), written);
    }

    void fileValueToldUnderItsHeading_data()
    {
        QTest::addColumn<RegisterValues>("controller");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("writes");
        QTest::addColumn<RegisterValues>("written");
        // Held at the maximum, which the controller holds already.
        QTest::newRow("held where the controller holds it")
            << RegisterValues{{7, 9999}} << entry("7", "10000")
            << "Current Regulator Kp (7): 10000 in the file, 9999 now" << false << RegisterValues{};
        // 65536 and the 65535 it is held at both show as 720 deg.
        QTest::newRow("held where it shows alike")
            << RegisterValues{} << entry("79", "65536")
            << "Hall Offset (79): 720 deg (raw 65536) in the file, 720 deg (raw 65535) now" << true
            << RegisterValues{{79, 65535}};
        // The cutoff start pushes the end to 0 V before the file's own 0 V
        // comes: that one is the file's, not a value moved.
        QTest::newRow("a file's own value an order pushed it to first")
            << RegisterValues{} << entry("141", "0") + entry("142", "0")
            << "Low Voltage Cutoff (Start) (141): 0 V in the file, 0.5 V now" << true
            << RegisterValues{{141, 43}, {142, 0}};
    }

    // A file's value held by a limit, its register's range or a rule is
    // named once, as the file's, and under a heading that says whether
    // Save writes it; a value the file gives as it stands is not named.
    void fileValueToldUnderItsHeading()
    {
        QFETCH(RegisterValues, controller);
        QFETCH(QByteArray, file);
        QFETCH(QString, line);
        QFETCH(bool, writes);
        QFETCH(RegisterValues, written);
        QVERIFY(controllerHolds(controller));
        ModalWatcher boxes;
        importBy(OpenFile, parameterDocument(file), &boxes);
        QCOMPARE(boxes.titles(), QStringList{"Values Limited"});
        const QString told = boxes.texts().constFirst();
        QCOMPARE(GraphWindow::namedIn(told), GraphWindow::namedIn("  " + line));
        const QString heading = GraphWindow::paragraphOf(told, line).section('\n', 0, 0);
        QVERIFY2(heading.startsWith("The file's values of these registers"), qPrintable(told));
        QVERIFY2(heading.endsWith(writes ? "Save Parameters will write them as they are now:"
                                         : "Save Parameters does not write them:"),
                 qPrintable(told));
        QCOMPARE(f.save(), written);
    }

    // Motor and controller files applied at once, the first with a report
    // box of its own (its command): what they moved is told once, as it
    // stands at the end. The motor file's 72 V moves the voltages, the
    // controller file's cutoff stands.
    void oneBoxForOneApply()
    {
        f.window->findChild<XMLTranslator*>()->setDialogs(dialogs = new ShownReportDialogs);
        writeFile(store + "/Maker/M.xml", parameterDocument(entry("70", "72") + entry("481", "2")));
        writeFile(store + "/Controller/C.xml", parameterDocument(entry("141", "3000")));
        ModalWatcher boxes;
        bool applied = false;
        boxes.onDialog = [&](QWidget* modal) {
            if (std::exchange(applied, true)) {
                modal->close();
                return;
            }
            modal->findChild<QComboBox*>("manufacturerBox")->setCurrentText("Maker");
            modal->findChild<QComboBox*>("modelBox")->setCurrentText("M.xml");
            modal->findChild<QComboBox*>("controllerBox")->setCurrentText("C.xml");
            // Outside the watcher: the report box the Apply opens is its.
            QTimer::singleShot(0, modal->findChild<QPushButton*>("applyButton"),
                               &QPushButton::click);
        };
        f.window->launchDefaultChecker();
        QTRY_VERIFY(boxes.titles().contains("Parameter File Imported"));
        QCoreApplication::processEvents();
        QCOMPARE(boxes.titles().count("Values Limited"), 1);
        const QString told = boxes.texts().at(boxes.titles().indexOf("Values Limited"));
        QList<int> named = GraphWindow::namedIn(told);
        std::sort(named.begin(), named.end());
        QCOMPARE(named, (QList<int>{147, 149, 194, 195}));
    }
};

QTEST_MAIN(TestMainWindowFileValues)
#include "tst_mainwindowfilevalues.moc"
