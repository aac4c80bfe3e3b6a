// The embedded definition files, initial values and simulator image: they
// must be exactly what kelvara-defgen makes of registers.json, and their
// structure must be one the suite's parsers accept.

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <tuple>

namespace {

const QString sourceDir = QStringLiteral(KELVARA_SOURCE_DIR);
const QString generator = QStringLiteral(KELVARA_DEFGEN);

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QJsonObject definitions(const QString& path)
{
    return QJsonDocument::fromJson(readAll(path)).object();
}

QJsonObject definition(int address)
{
    static const QJsonObject all = definitions(QStringLiteral(":/BOD.json"));
    return all.value(QString::number(address)).toObject();
}

QMap<int, QString> labels(const QJsonObject& entry, const char* member)
{
    QMap<int, QString> map;
    const QJsonObject object = entry.value(QLatin1String(member)).toObject();
    for (auto it = object.begin(); it != object.end(); ++it)
        map.insert(it.key().toInt(), it.value().toString());
    return map;
}

// Address and value of every entry of a parameter file, in file order.
QMap<int, int> valueFile(const QString& path)
{
    QMap<int, int> values;
    QXmlStreamReader reader(readAll(path));
    int address = -1;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (reader.name() == QLatin1String("Address"))
            address = reader.readElementText().toInt();
        else if (reader.name() == QLatin1String("Value"))
            values.insert(address, reader.readElementText().toInt());
    }
    return reader.hasError() ? QMap<int, int>() : values;
}

const QStringList accountedMembers = {
    "name", "units", "scale", "min", "max", "decimals", "singleStep", "isSigned", "read", "write",
    "saved", "type", "accessLevel", "tooltip", "initial", "simulator"};

// A register list entry whose bookkeeping lists every given attribute as chosen.
QJsonObject sourceEntry(int address, const QJsonObject& members)
{
    QJsonObject entry{{"address", address}, {"name", "Register"}, {"scale", "1"}, {"decimals", 0},
                      {"isSigned", false}, {"read", true}, {"write", true}, {"saved", true},
                      {"type", "independent"}, {"accessLevel", 0}};
    for (auto it = members.begin(); it != members.end(); ++it)
        entry.insert(it.key(), it.value());
    QJsonArray chosen;
    for (const QString& member : accountedMembers) {
        if (entry.contains(member))
            chosen << member;
    }
    for (const char* map : {"enumDefs", "bitDefs"}) {
        QStringList keys = entry.value(QLatin1String(map)).toObject().keys();
        std::sort(keys.begin(), keys.end(), [](const QString& a, const QString& b) { return a.toInt() < b.toInt(); });
        if (!keys.isEmpty())
            chosen << QStringLiteral("%1[%2]").arg(QLatin1String(map), keys.join(QLatin1Char(',')));
    }
    if (!members.contains("chosen"))
        entry.insert("chosen", chosen);
    if (!members.contains("documented"))
        entry.insert("documented", QJsonArray());
    return entry;
}

} // namespace

class TestDefinitions : public QObject
{
    Q_OBJECT

private slots:
    void generatorReproducesCommittedFiles()
    {
        QTemporaryDir output;
        QVERIFY(output.isValid());
        QProcess process;
        process.start(generator, {sourceDir + "/resources/definitions/registers.json", output.path(),
                                  output.filePath("controller.xml")});
        QVERIFY(process.waitForFinished(60000));
        QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());

        const QList<QPair<QString, QString>> files = {
            {"BOD.json", "/resources/BOD.json"},
            {"BOD_v6.json", "/resources/BOD_v6.json"},
            {"InitialValues.xml", "/resources/InitialValues.xml"},
            {"controller.xml", "/tools/simulator/images/controller.xml"}};
        for (const auto& file : files) {
            const QByteArray generated = readAll(output.filePath(file.first));
            QVERIFY2(!generated.isEmpty(), qPrintable(file.first));
            QVERIFY2(generated == readAll(sourceDir + file.second),
                     qPrintable(file.second + " differs from the generator's output; run the "
                                              "regenerate-definitions target"));
        }
    }

    void embeddedFilesAreTheCommittedOnes_data()
    {
        QTest::addColumn<QString>("resource");
        QTest::addColumn<QString>("committed");
        QTest::newRow("definitions") << ":/BOD.json" << "/resources/BOD.json";
        QTest::newRow("second definitions") << ":/BOD_v6.json" << "/resources/BOD_v6.json";
        QTest::newRow("initial values") << ":/InitialValues.xml" << "/resources/InitialValues.xml";
    }

    void embeddedFilesAreTheCommittedOnes()
    {
        QFETCH(QString, resource);
        QFETCH(QString, committed);
        QCOMPARE(readAll(resource), readAll(sourceDir + committed));
    }

    void generatorRefusesInconsistentLists_data()
    {
        QTest::addColumn<QJsonArray>("registers");
        QTest::addColumn<QString>("complaint");

        auto one = [](const QJsonObject& members) { return QJsonArray{sourceEntry(0, members)}; };
        QTest::newRow("consistent") << QJsonArray{sourceEntry(0, {{"initial", 40}}),
                                                  sourceEntry(1, {{"max", "p[0] / 2"}, {"initial", 20}})}
                                    << QString();
        QTest::newRow("forward reference") << QJsonArray{sourceEntry(0, {{"max", "p[1]"}}), sourceEntry(1, {})}
                                           << "refers to register 1, which is not below it";
        QTest::newRow("undefined reference") << one({{"max", "p[7]"}}) << "undefined register 7";
        QTest::newRow("exponent") << one({{"scale", "1e3"}}) << "unknown operator 'e'";
        QTest::newRow("modulo by zero") << one({{"max", "5 % 0"}}) << "by zero";
        QTest::newRow("trailing operator") << one({{"max", "5 +"}}) << "ends in an operator";
        QTest::newRow("four-digit reference") << one({{"max", "p[1000]"}}) << "no number or register reference";
        QTest::newRow("off the display grid") << one({{"scale", "0.3"}, {"initial", 1}}) << "not on its display grid";
        QTest::newRow("above the maximum") << one({{"max", "10"}, {"initial", 11}}) << "outside its limits";
        QTest::newRow("too many decimals") << one({{"initial", 1.5}}) << "more decimals";
        QTest::newRow("beyond the width") << one({{"max", "99999"}, {"initial", 70000}}) << "outside the register width";
        QTest::newRow("enum without labels") << one({{"type", "enum"}}) << "without \"enumDefs\"";
        QTest::newRow("enum value without label")
            << one({{"type", "enum"}, {"enumDefs", QJsonObject{{"1", "One"}}}, {"initial", 2}})
            << "not one of its enum values";
        QTest::newRow("scaled bit vector")
            << one({{"type", "bit vector"}, {"scale", "2"}, {"bitDefs", QJsonObject{{"0", "Zero"}}}})
            << "scale \"1\"";
        QTest::newRow("bit 16") << one({{"type", "bit vector"}, {"bitDefs", QJsonObject{{"16", "Far"}}}})
                                << "0 to 15";
        QTest::newRow("dependent without reference") << one({{"type", "dependent"}}) << "without any register reference";
        QTest::newRow("row beyond its boxes") << one({{"rows", QJsonArray{"basic"}}}) << "above the 9999";
        QTest::newRow("signed below the boxes") << one({{"isSigned", true}}) << "below the -9999";
        QTest::newRow("unaccounted attribute") << one({{"chosen", QJsonArray{"scale"}}}) << "listed once";
    }

    void generatorRefusesInconsistentLists()
    {
        QFETCH(QJsonArray, registers);
        QFETCH(QString, complaint);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QFile list(dir.filePath("registers.json"));
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write(QJsonDocument(QJsonObject{{"registers", registers}}).toJson());
        list.close();

        QProcess process;
        process.start(generator, {"--check", list.fileName()});
        QVERIFY(process.waitForFinished(60000));
        const QString errors = QString::fromUtf8(process.readAllStandardError());
        if (complaint.isEmpty()) {
            QVERIFY2(process.exitCode() == 0, qPrintable(errors));
        } else {
            QCOMPARE(process.exitCode(), 1);
            QVERIFY2(errors.contains(complaint), qPrintable(errors));
        }
    }

    void entriesCarryTheirMembers_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("definitions") << ":/BOD.json";
        QTest::newRow("second definitions") << ":/BOD_v6.json";
    }

    void entriesCarryTheirMembers()
    {
        QFETCH(QString, path);
        const QJsonObject all = definitions(path);
        QVERIFY(all.size() > 100);
        for (auto it = all.begin(); it != all.end(); ++it) {
            const QByteArray where = QByteArray("register ") + it.key().toUtf8();
            bool ok = false;
            it.key().toInt(&ok, 10);
            QVERIFY2(ok, where.constData());
            const QJsonObject entry = it.value().toObject();
            QVERIFY2(entry.value("name").isString() && !entry.value("name").toString().isEmpty(), where.constData());
            for (const char* flag : {"read", "write", "saved", "isSigned"})
                QVERIFY2(entry.value(QLatin1String(flag)).isBool(), (where + ' ' + flag).constData());
            QVERIFY2(entry.value("scale").isString(), where.constData());
            QVERIFY2(entry.value("decimals").isDouble(), where.constData());
            QVERIFY2(entry.value("type").isString(), where.constData());
            const QJsonValue level = entry.value("accessLevel");
            QVERIFY2(level.isDouble() && level.toInt() >= 0 && level.toInt() <= 3, where.constData());
            QVERIFY2(!entry.contains("offset"), where.constData());
        }
    }

    void initialValuesCoverEveryWritableRegister()
    {
        const QMap<int, int> listed = valueFile(":/InitialValues.xml");
        QVERIFY(!listed.isEmpty());
        const QJsonObject all = definitions(":/BOD.json");
        for (auto it = all.begin(); it != all.end(); ++it) {
            const int address = it.key().toInt();
            if (address == 509) {
                // The access code starts at 0, so the level-3 rows start locked.
                QVERIFY(!listed.contains(509));
                continue;
            }
            if (it.value().toObject().value("write").toBool())
                QVERIFY2(listed.contains(address), qPrintable(QStringLiteral("register %1").arg(address)));
        }
        for (int identity : {237, 238, 511, 1881, 2016, 2017, 2018, 2023, 2024, 2025})
            QVERIFY(listed.contains(identity));
        QVERIFY(!listed.contains(67));
        QVERIFY(!listed.contains(256));
    }

    // Names, units and labels as the controller documentation writes them,
    // odd spellings and blanks included: pages, reports and files show them.
    void documentedNames()
    {
        const QList<QPair<int, const char*>> names = {
            {0, "Controller Output Current Rating"}, {4, "Baud Rate"}, {7, "Current Regulator Kp"},
            {8, "Current Regulator Ki"}, {9, "Speed Regulator Kp"}, {10, "Speed Regulator Ki"},
            {11, "Speed Regulator Mode"}, {15, "Voltage Gain"},
            {33, "DC Voltage Trip Clear Hysterisis"},
            {47, "POST - Open Circuit Voltage Test Window"},
            {48, "High/Lowside Turn On Voltage Test Window"}, {51, "Current Regulator Bandwidth"},
            {52, "PLL Bandwidth"}, {53, "PLL Damping"}, {63, "Motor Stall Timeout"},
            {66, "Alternate Display Protocol"}, {67, "Saved Software Revision"},
            {70, "Rated System Voltage (generally leave as-is)"}, {71, "Max Phase Current"},
            {72, "Kv"}, {73, "Max Power Limit"}, {74, "Ls"}, {75, "Rs"},
            {76, "Depricated Kv Always 1"}, {77, "Motor Position Sensor Type"},
            {78, "Number of Pole Pairs"}, {79, "Hall Offset"}, {80, "Hall Sector[0]"},
            {81, "Hall Sector[1]"}, {82, "Hall Sector[2]"}, {83, "Hall Sector[3]"},
            {84, "Hall Sector[4]"}, {85, "Hall Sector[5]"}, {86, "Hall Sector[6]"},
            {87, "Hall Sector[7]"}, {90, "Motor Over Temperature Trip Threshold"},
            {91, "Motor Foldback Starting Temperature"}, {92, "Motor Foldback Ending Temperature"},
            {93, "Temperature Voltage at 0C"}, {94, "Temperature Voltage at 25C"},
            {95, "Temperature Voltage at 50C"}, {96, "Temperature Voltage at 75C"},
            {97, "Temperature Voltage at 100C"}, {98, "Temperature Voltage at 125C"},
            {99, "Overload Continuous Current"}, {100, "Overload Heating Current"},
            {101, "Overload Heating Time"}, {102, "Overload Cooling Current"},
            {103, "Overload Cooling Time"}, {104, "Overload Foldback Start"},
            {105, "Overload Foldback End"}, {106, "Autostart Injection Current"},
            {108, "Autostart Max RPM"}, {109, "Autostart Spinup Time"},
            {110, "Alignment Hold Time"}, {122, "Maximum Power in PAS Mode"},
            {124, "Maximum Speed in PAS Mode"}, {127, "Motor Features"},
            {129, "Max Field Weakening Current"}, {137, "Motor Temperature Source"},
            {141, "Low Voltage Cutoff (Start)"}, {142, "Low Voltage Cutoff (End)"},
            {147, "Fast Over Voltage Fault"}, {148, "Fast Under Voltage Fault"},
            {149, "Slow Over Voltage Fault"}, {150, "Slow Under Voltage Fault"},
            {151, "Throttle Deadband Threshold"}, {152, "Throttle Fault Range"},
            {154, "Max Regen Phase Current"}, {155, "Max Battery Current"},
            {156, "Max Regen Battery Current"}, {173, "Electronic Freewheeling Current"},
            {174, "Features 2"}, {175, "Pedal Speed Map Offset"}, {176, "Pedal Speed Map End"},
            {178, "Torque Sensor Symmetry"}, {179, "Torque Assist Multiplier"},
            {180, "Torque Sensor Initial Torque"}, {181, "Torque Sensor Deadband Torque"},
            {182, "Pedal Torque Sensor Offset"}, {183, "Torque Sensor Gain"},
            {193, "Wheel Speed Sensor Source"}, {194, "Max Regen Voltage (Start)"},
            {195, "Max Regen Voltage (End)"}, {205, "Rolling Start Speed "},
            {206, "Regen Brake Speed Minimum"}, {207, "Reserved Display Parameter"},
            {208, "Control Command Source"}, {210, "Assist Mode Source"},
            {211, "Pedal Sensor Type"}, {212, "Features"}, {213, "Throttle Max Voltage"},
            {214, "Throttle Start Voltage"}, {215, "Brake Max Voltage"},
            {216, "Brake Start Voltage"}, {219, "Assist Level 1"}, {220, "Torque Up Ramp"},
            {221, "Torque Down Ramp"}, {222, "Pedalec Positive Motoring Torque Ramp"},
            {223, "Pedalec Negative Motoring Torque Ramp"}, {224, "Regen Torque Engage Ramp"},
            {225, "Regen Torque Release Ramp"}, {227, "Wheel Diameter"},
            {228, "Assist Cut Out Distance"}, {229, "Maximum Speed"}, {230, "Rev/Walk Speed"},
            {231, "Wheel Sp. Sensor Pulses Per Rev"}, {232, "Pedalelec Minimum Timeout"},
            {233, "Pedalelec Maximum Timeout"}, {234, "Pedal Speed Sensor Pulses Per Revolution"},
            {235, "Pedal Sense Delay"}, {237, "Hardware Version"}, {238, "Serial Number"},
            {241, "Assist Speed 1"}, {245, "Assist Level 2"}, {246, "Assist Speed 2"},
            {247, "Throttle Sensor Source"}, {248, "Cutoff Brake Sensor Source"},
            {249, "Regen Brake Source"}, {253, "Assist Gain Walk"},
            {256, "Software Revision Level"}, {257, "Controller Status"}, {258, "Faults"},
            {259, "Controller Temperature"}, {260, "Vehicle Speed"}, {261, "Motor Temperature"},
            {262, "Motor Current"}, {263, "Motor RPM"}, {265, "Battery Voltage"},
            {266, "Battery Current"}, {270, "Analog Input 1 (Thrt) Voltage"},
            {271, "Analog Input 2 (Brk1) Voltage"}, {272, "Analog Input 3 (Brk2) Voltage"},
            {276, "Digital Inputs"}, {277, "Warnings"}, {282, "Phase Current Blue"},
            {283, "Phase Current Yellow"}, {284, "Phase Current Green"},
            {298, "Overload Accumulator"}, {299, "Faults 2"}, {325, "Throttle Setpoint"},
            {327, "Ebike Flags"}, {331, "Average Pedal Speed"}, {349, "Axle Torque Sensor Offset"},
            {398, "Motor Temperature Sensor Voltage"}, {425, "Autotune Rs"}, {426, "Autotune Ls"},
            {440, "Autotune Hall Sector [0]"}, {441, "Autotune Hall Sector [1]"},
            {442, "Autotune Hall Sector [2]"}, {443, "Autotune Hall Sector [3]"},
            {444, "Autotune Hall Sector [4]"}, {445, "Autotune Hall Sector [5]"},
            {446, "Autotune Hall Sector [6]"}, {447, "Autotune Hall Sector [7]"},
            {460, "Autotune Hall Offset"}, {462, "Autotune Rated Kv"}, {477, "Torque Command"},
            {481, "Motor Discovery Mode"}, {508, "Fault Clear"}, {509, "Parameter Access Code"},
            {511, "Write Parameters to Flash"}, {1881, "Hardware Version"},
            {2016, "Hardware Version Backup"}, {2017, "Serial Number"}, {2018, "Digest"},
            {2023, "Hardware Version Backup 2"}, {2024, "Serial Number Backup"},
            {2025, "Digest Backup"}};
        for (const auto& name : names)
            QCOMPARE(qMakePair(name.first, definition(name.first).value("name").toString()),
                     qMakePair(name.first, QString(name.second)));
    }

    void documentedUnits()
    {
        const QList<QPair<int, const char*>> units = {
            {0, "A"}, {71, "A"}, {72, "RPM/V"}, {73, "W"}, {74, "uH"}, {75, "mOhms"}, {79, "deg"},
            {93, "V"}, {98, "V"}, {108, "RPM"}, {109, "ms"}, {110, "ms"}, {122, "W"}, {151, "V"},
            {152, "V"}, {175, "%"}, {176, "RPM"}, {179, "X"}, {213, "V"}, {214, "V"}, {215, "V"},
            {216, "V"}, {265, "V"}, {425, "mohms"}, {426, "uhenries"}};
        for (const auto& unit : units)
            QCOMPARE(qMakePair(unit.first, definition(unit.first).value("units").toString()),
                     qMakePair(unit.first, QString(unit.second)));
    }

    void documentedLabels()
    {
        const QList<std::tuple<int, const char*, int, const char*>> labelled = {
            {11, "enumDefs", 0, "Speed"},
            {66, "enumDefs", 8, "KM5S"},
            {77, "enumDefs", 0, "Hall sensor"},
            {77, "enumDefs", 1, "Hall sensor start and sensorless run"},
            {77, "enumDefs", 2, "Sensorless"},
            {127, "bitDefs", 0, "Swap motor phase Blue & Green"},
            {127, "bitDefs", 1, "Fault tolerant hall (fallback to sensorless)"},
            {174, "bitDefs", 1, "HDQ Replicating HALL"},
            {174, "bitDefs", 3, "Enable Plug Braking"},
            {208, "enumDefs", 1, "Throttle"},
            {208, "enumDefs", 2, "Pedal Sensor"},
            {210, "enumDefs", 2, "Display"},
            {211, "enumDefs", 0, "Single Hall"},
            {211, "enumDefs", 1, "Dual Hall"},
            {211, "enumDefs", 4, "Quadrature Speed"},
            {211, "enumDefs", 5, "Axle Torque"},
            {211, "enumDefs", 6, "Single Hall Reverse"},
            {212, "bitDefs", 5, "Motor Temperature Sensing Enable"},
            {212, "bitDefs", 6, "Enable Virtual Freewheeling"},
            {212, "bitDefs", 9, "Rolling Start Enable"},
            {212, "bitDefs", 11, "Walk Mode Enable"},
            {212, "bitDefs", 14, "Ext Fault LED on HDQ"},
            {212, "bitDefs", 15, "Disable KM5 Speed Limits"},
            {247, "enumDefs", 0, "Analog Input 1 (Thrt)"},
            {247, "enumDefs", 2, "Analog Input 3 (Brk2)"},
            {249, "enumDefs", 0, "Analog Input 3 (Brk2)"},
            {249, "enumDefs", 1, "Analog Input 2 (Brk1)"},
            {276, "bitDefs", 0, "Green Hall"},
            {276, "bitDefs", 1, "Yellow Hall"},
            {276, "bitDefs", 2, "Blue Hall"},
            {276, "bitDefs", 3, "PAS 1"},
            {276, "bitDefs", 4, "Fwd/Rev or PAS 2"},
            {276, "bitDefs", 6, "Wheel Speed Sensor"},
            {327, "bitDefs", 0, "Brake"},
            {327, "bitDefs", 4, "Regen"},
            {327, "bitDefs", 7, "Throttle"},
            {327, "bitDefs", 8, "Reverse"},
            {481, "enumDefs", 2, "Motor Moving Parameter Discover"}};
        for (const auto& label : labelled) {
            const int address = std::get<0>(label);
            QCOMPARE(qMakePair(address, labels(definition(address), std::get<1>(label))
                                            .value(std::get<2>(label))),
                     qMakePair(address, QString(std::get<3>(label))));
        }
    }

    void simulatorIdentifiesAControllerType()
    {
        const QMap<int, int> values = valueFile(sourceDir + "/tools/simulator/images/controller.xml");
        const int firmware = values.value(256);
        QVERIFY(firmware >= 5921);
        const int hardware = values.value(firmware < 6000 ? 237 : 1881);
        const int id = hardware >> 8;
        QVERIFY2(id >= 1 && id <= 8, qPrintable(QString::number(id)));
        QCOMPARE(values.value(477), 0);
        QCOMPARE(values.value(509), 0);
        QCOMPARE(values.value(511), 0);
    }
};

QTEST_GUILESS_MAIN(TestDefinitions)
#include "tst_definitions.moc"
