// The embedded definition files, initial values and simulator image: exactly
// what kelvara-defgen makes of registers.json, with the texts and readings
// the suite relies on.

#include "registerimage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString sourceDir = QStringLiteral(KELVARA_SOURCE_DIR);
const QString generator = QStringLiteral(KELVARA_DEFGEN);

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Address and value of every entry of a parameter file.
RegisterImage::Values valueFile(const QString& path)
{
    RegisterImage::Values values;
    QString error;
    return RegisterImage::load(path, &values, &error) ? values : RegisterImage::Values();
}

// A list of one register (a second one, at address 1, when given) whose
// bookkeeping lists every attribute they set.
QJsonArray registerList(const QJsonObject& first, const QJsonObject& second = {})
{
    QJsonArray list;
    for (const QJsonObject& members : {first, second}) {
        QJsonObject entry{{"address", list.size()}, {"name", "Register"}, {"scale", "1"},
                          {"decimals", 0},          {"isSigned", false},  {"read", true},
                          {"write", true},          {"saved", true},      {"type", "independent"},
                          {"accessLevel", 0}};
        for (auto it = members.begin(); it != members.end(); ++it)
            entry.insert(it.key(), it.value());
        QJsonArray chosen;
        for (const QString& key : entry.keys()) {
            if (key.endsWith("Defs"))
                chosen << key + '[' + entry.value(key).toObject().keys().join(',') + ']';
            else if (key != "address")
                chosen << key;
        }
        entry.insert("chosen", chosen);
        entry.insert("documented", QJsonArray());
        if (list.isEmpty() || !second.isEmpty())
            list << entry;
    }
    return list;
}

} // namespace

class TestDefinitions : public QObject
{
    Q_OBJECT

private slots:
    void generatorReproducesEmbeddedFiles()
    {
        QTemporaryDir output;
        QProcess process;
        process.start(generator,
                      {sourceDir + "/resources/definitions/registers.json", output.path(),
                       output.filePath("controller.xml")});
        QVERIFY(process.waitForFinished(60000));
        QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());

        // generated file, committed file, resource ("" when not embedded here)
        const QList<QStringList> files = {
            {"BOD.json", "/resources/BOD.json", ":/BOD.json"},
            {"BOD_v6.json", "/resources/BOD_v6.json", ":/BOD_v6.json"},
            {"InitialValues.xml", "/resources/InitialValues.xml", ":/InitialValues.xml"},
            {"controller.xml", "/tools/simulator/images/controller.xml", ""}};
        for (const QStringList& file : files) {
            const QByteArray generated = readAll(output.filePath(file.at(0)));
            QVERIFY2(generated == readAll(sourceDir + file.at(1)),
                     qPrintable(file.at(1)
                                + " differs from the generator's output; run the "
                                  "regenerate-definitions target"));
            QVERIFY2(file.at(2).isEmpty() || generated == readAll(file.at(2)),
                     qPrintable(file.at(2)));
        }
    }

    void generatorRefusesInconsistentLists_data()
    {
        QTest::addColumn<QJsonArray>("registers");
        QTest::addColumn<QString>("complaint");
        const QJsonObject enumDefs{{"1", "One"}};
        QTest::newRow("consistent")
            << registerList({{"initial", 40}}, {{"max", "p[0] / 2"}, {"initial", 20}}) << QString();
        QTest::newRow("forward reference") << registerList({{"max", "p[1]"}}, {{"initial", 1}})
                                           << "refers to register 1, which is not below it";
        QTest::newRow("undefined reference")
            << registerList({{"max", "p[7]"}}) << "undefined register 7";
        QTest::newRow("off the grid")
            << registerList({{"scale", "0.3"}, {"initial", 1}}) << "display grid";
        QTest::newRow("above the maximum")
            << registerList({{"max", "10"}, {"initial", 11}}) << "outside its limits";
        QTest::newRow("enum value without label")
            << registerList({{"type", "enum"}, {"enumDefs", enumDefs}, {"initial", 2}})
            << "not one of its enum values";
    }

    void generatorRefusesInconsistentLists()
    {
        QFETCH(QJsonArray, registers);
        QFETCH(QString, complaint);
        QTemporaryDir dir;
        QFile list(dir.filePath("registers.json"));
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write(QJsonDocument(QJsonObject{{"registers", registers}}).toJson());
        list.close();
        QProcess process;
        process.start(generator, {"--check", list.fileName()});
        QVERIFY(process.waitForFinished(60000));
        const QString errors = QString::fromUtf8(process.readAllStandardError());
        QCOMPARE(process.exitCode(), complaint.isEmpty() ? 0 : 1);
        QVERIFY2(errors.contains(complaint), qPrintable(errors));
    }

    // Each line is "address member=text", a label as "enumDefs/key".
    void textsTheSuiteReliesOn()
    {
        const QStringList texts = {
            // Assist levels 1 and 2 read as fractions of a power limit, in 0.01 steps.
            "219 scale=4096", "219 max=1", "219 decimals=2", "219 singleStep=0.01",
            "219 units=per unit", "245 scale=4096", "245 max=1", "245 decimals=2",
            "245 singleStep=0.01", "245 units=per unit", "73 units=W", "122 units=W",
            "477 isSigned=true", "508 saved=false", "509 saved=false", "71 max=0.75 * p[0] - 1",
            "154 scale=40.96 * 100 / p[71]",
            // Names and labels as the controller documentation spells them.
            "33 name=DC Voltage Trip Clear Hysterisis", "76 name=Depricated Kv Always 1",
            "205 name=Rolling Start Speed ", "231 name=Wheel Sp. Sensor Pulses Per Rev",
            "425 units=mohms", "426 units=uhenries", "72 units=RPM/V",
            "77 enumDefs/1=Hall sensor start and sensorless run", "77 enumDefs/2=Sensorless",
            "174 bitDefs/1=HDQ Replicating HALL", "212 bitDefs/14=Ext Fault LED on HDQ",
            "276 bitDefs/0=Green Hall", "276 bitDefs/2=Blue Hall", "4 enumDefs/1152=115200"};
        for (const QString path : {":/BOD.json", ":/BOD_v6.json"}) {
            const QJsonObject all = QJsonDocument::fromJson(readAll(path)).object();
            for (const QString& text : texts) {
                const QString key = text.section('=', 0, 0);
                const QStringList parts = key.split(QRegularExpression("[ /]"));
                QJsonValue value = all.value(parts.at(0)).toObject().value(parts.at(1));
                if (parts.size() > 2)
                    value = value.toObject().value(parts.at(2));
                QCOMPARE(path + ' ' + key + '=' + value.toVariant().toString(), path + ' ' + text);
            }
        }
    }

    void initialValuesCoverEveryWritableRegister()
    {
        const RegisterImage::Values listed = valueFile(":/InitialValues.xml");
        const QJsonObject all = QJsonDocument::fromJson(readAll(":/BOD.json")).object();
        // The access code starts at 0, so the level-3 rows start locked.
        QVERIFY(!listed.contains(509) && !listed.contains(67) && !listed.contains(256));
        for (auto it = all.begin(); it != all.end(); ++it) {
            if (it.value().toObject().value("write").toBool() && it.key() != "509")
                QVERIFY2(listed.contains(it.key().toInt()), qPrintable(it.key()));
        }
        for (int identity : {237, 238, 511, 1881, 2016, 2017, 2018, 2023, 2024, 2025})
            QVERIFY(listed.contains(identity));
    }

    void simulatorImageIsAControllerAtRest()
    {
        const RegisterImage::Values values =
            valueFile(sourceDir + "/tools/simulator/images/controller.xml");
        const int firmware = values.value(256);
        QVERIFY(firmware >= 5921);
        const int controllerType = values.value(firmware < 6000 ? 237 : 1881) >> 8;
        QVERIFY2(controllerType >= 1 && controllerType <= 8,
                 qPrintable(QString::number(controllerType)));
        QCOMPARE(values.value(477) + values.value(509) + values.value(511), 0);
    }
};

QTEST_GUILESS_MAIN(TestDefinitions)
#include "tst_definitions.moc"
