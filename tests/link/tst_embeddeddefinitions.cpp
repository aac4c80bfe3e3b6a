#include "bitvector.h"
#include "kelvara.h"
#include "messagecapture.h"
#include "parameter.h"
#include "parameterconstants.h"
#include "parameterfileentries.h"
#include "parameterset.h"
#include "stdoutcapture.h"
#include "xmltranslator.h"
#include "xmltranslatordialogs.h"

#include <QFile>
#include <QtTest>

#include <memory>

namespace {

// The embedded definition files as the program sees them.
const QStringList definitionFiles = {":/BOD.json", ":/BOD_v6.json"};

// Every dialog answered with "no"; errors are kept.
class SilentDialogs : public XMLTranslatorDialogs
{
public:
    QString openFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString saveFileName(const QString&, const QString&, const QString&) override { return {}; }
    int exportType() override { return exportCancelled; }
    bool yesOrCancel(QMessageBox::Icon, const QString&, const QString&, const QString&) override { return false; }
    Level3Choice level3ImportChoice() override { return KeepImported; }
    void showError(const QString& text) override { errors << text; }

    QStringList errors;
};

QMap<int, int> initialValues()
{
    QMap<int, int> values;
    for (const auto& entry : fileEntries(":/InitialValues.xml")) {
        if (entry.first < 0)
            return {};
        values.insert(entry.first, entry.second);
    }
    return values;
}

QMap<int, int> rawValues(const Kelvara& device)
{
    QMap<int, int> values;
    const QMap<int, Parameter*> parameters = device.getAllParameters();
    for (auto it = parameters.constBegin(); it != parameters.constEnd(); ++it)
        values.insert(it.key(), it.value()->getRegisterValue());
    return values;
}

QList<int> labelKeys(const QMap<int, QString>* labels)
{
    return labels ? labels->keys() : QList<int>();
}

} // namespace

class TestEmbeddedDefinitions : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Kelvara> device;

    Parameter* p(int address) { return device->getParameter(address); }

private slots:
    void initTestCase()
    {
        const QString printed = capturedStdout([this] { device.reset(new Kelvara); });
        QCOMPARE(printed, QString());
    }

    void definitionFileParsesSilently_data()
    {
        QTest::addColumn<QString>("path");
        for (const QString& path : definitionFiles)
            QTest::newRow(qPrintable(path)) << path;
    }

    void definitionFileParsesSilently()
    {
        QFETCH(QString, path);

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        std::unique_ptr<ParameterSet> set;
        const QString printed = capturedStdout([&] { set.reset(new ParameterSet(file.readAll())); });

        QCOMPARE(printed, QString());
        QVERIFY(set->library()->isParsed());
        QVERIFY(set->formulasParsed());
        QVERIFY(set->parameters().size() > 100);
        for (Parameter* parameter : set->parameters())
            QVERIFY2(parameter->isValid(), qPrintable(QString::number(parameter->getAddress())));
    }

    void everyDefinedRegisterHasAValidParameter()
    {
        const QMap<int, Parameter*> parameters = device->getAllParameters();
        QVERIFY(parameters.size() > 100);
        Parameter* placeholder = p(99999);
        QCOMPARE(placeholder->getName(), QString("invalid"));
        for (auto it = parameters.constBegin(); it != parameters.constEnd(); ++it) {
            QVERIFY2(p(it.key()) == it.value() && p(it.key()) != placeholder,
                     qPrintable(QString::number(it.key())));
            QCOMPARE(it.value()->getAddress(), it.key());
        }
    }

    void registersWithFixedRoles_data()
    {
        QTest::addColumn<int>("address");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("writable");

        const int number = ParameterDefinition::TypeIndependent;
        const int dependent = ParameterDefinition::TypeDependent;
        const int enumType = ParameterDefinition::TypeEnum;
        const int bits = ParameterDefinition::TypeBitVector;
        const QList<std::tuple<int, const char*, int, bool>> rows = {
            {0, "Controller Output Current Rating", number, true},
            {4, "Baud Rate", enumType, true},
            {15, "Voltage Gain", number, true},
            {33, "DC Voltage Trip Clear Hysterisis", dependent, true},
            {67, "Saved Software Revision", number, false},
            {71, "Max Phase Current", number, true},
            {77, "Motor Position Sensor Type", enumType, true},
            {93, "Temperature Voltage at 0C", number, true},
            {98, "Temperature Voltage at 125C", number, true},
            {127, "Motor Features", bits, true},
            {137, "Motor Temperature Source", enumType, true},
            {154, "Max Regen Phase Current", dependent, true},
            {174, "Features 2", bits, true},
            {193, "Wheel Speed Sensor Source", enumType, true},
            {205, "Rolling Start Speed ", number, true},
            {207, "Reserved Display Parameter", bits, true},
            {208, "Control Command Source", enumType, true},
            {211, "Pedal Sensor Type", enumType, true},
            {212, "Features", bits, true},
            {237, "Hardware Version", number, false},
            {238, "Serial Number", number, false},
            {247, "Throttle Sensor Source", enumType, true},
            {248, "Cutoff Brake Sensor Source", enumType, true},
            {249, "Regen Brake Source", enumType, true},
            {256, "Software Revision Level", number, false},
            // "Bit vector" is no type word the file knows: a plain number.
            {257, "Controller Status", number, false},
            {258, "Faults", bits, false},
            {276, "Digital Inputs", bits, false},
            {277, "Warnings", bits, false},
            {299, "Faults 2", bits, false},
            {327, "Ebike Flags", bits, false},
            {477, "Torque Command", number, false},
            {481, "Motor Discovery Mode", enumType, true},
            {508, "Fault Clear", number, true},
            {509, "Parameter Access Code", number, true},
            {511, "Write Parameters to Flash", number, true},
            {1881, "Hardware Version", number, false},
            {2016, "Hardware Version Backup", number, false},
            {2017, "Serial Number", number, false},
            {2018, "Digest", number, false},
            {2023, "Hardware Version Backup 2", number, false},
            {2024, "Serial Number Backup", number, false},
            {2025, "Digest Backup", number, false}};
        for (const auto& row : rows) {
            QTest::newRow(QByteArray::number(std::get<0>(row)).constData())
                << std::get<0>(row) << QString(std::get<1>(row)) << std::get<2>(row) << std::get<3>(row);
        }
    }

    void registersWithFixedRoles()
    {
        QFETCH(int, address);
        QFETCH(QString, name);
        QFETCH(int, type);
        QFETCH(bool, writable);

        Parameter* parameter = p(address);
        QVERIFY(parameter != p(99999));
        QCOMPARE(parameter->getName(), name);
        QCOMPARE(int(parameter->getType()), type);
        QCOMPARE(parameter->isWriteable(), writable);
    }

    void attributesTheLogicReliesOn()
    {
        // The baud rates offered and written by the link.
        QCOMPARE(*p(4)->getEnumDefs(),
                 (QMap<int, QString>{{12, "1200"}, {96, "9600"}, {192, "19200"}, {384, "38400"},
                                     {576, "57600"}, {1152, "115200"}}));
        // Fault display: every bit of both fault words and the warnings is named.
        for (int address : {258, 299, 277})
            QCOMPARE(labelKeys(static_cast<BitVector*>(p(address))->getBitDefs()).size(), 16);
        QCOMPARE(labelKeys(static_cast<BitVector*>(p(207))->getBitDefs()), QList<int>({1, 2, 3, 4, 5, 6, 9, 10}));
        // Bits set by page logic and by the import adjustments.
        const QMap<int, QString>* features = static_cast<BitVector*>(p(212))->getBitDefs();
        QCOMPARE(features->value(9), QString("Rolling Start Enable"));
        QCOMPARE(features->value(14), QString("Ext Fault LED on HDQ"));
        QVERIFY(!features->value(5).isEmpty());
        const QMap<int, QString>* features2 = static_cast<BitVector*>(p(174))->getBitDefs();
        QCOMPARE(features2->value(1), QString("HDQ Replicating HALL"));
        QVERIFY(!features2->value(3).isEmpty());
        // Values the import adjustments store are labelled.
        QVERIFY(p(249)->getEnumDefs()->contains(0) && p(249)->getEnumDefs()->contains(1));
        QVERIFY(p(248)->getEnumDefs()->contains(4));
        QVERIFY(p(137)->getEnumDefs()->contains(2));
        QVERIFY(p(193)->getEnumDefs()->contains(1));
        QVERIFY(p(208)->getEnumDefs()->contains(2));

        // Save: only the flash command and the fault clear are written
        // without being kept in flash; the access code is not kept either.
        QVERIFY(p(511)->isWriteable() && p(508)->isWriteable() && p(509)->isWriteable());
        QVERIFY(!p(508)->isSavable());
        QVERIFY(!p(509)->isSavable());
        QVERIFY(p(0)->isSavable() && p(71)->isSavable() && p(4)->isSavable());
        // The motor-running check reads a signed torque command.
        QVERIFY(p(477)->isSigned());

        // Identification: firmware as a raw number, ratings as display values.
        p(256)->setRegisterValue(5921);
        QCOMPARE(p(256)->getRegisterValue(), 5921);
        QCOMPARE(p(0)->getUnits(), QString("A"));
        p(15)->setValue(27.5);
        QCOMPARE(p(15)->getValue(), 27.5);
        p(1881)->setRegisterValue(0x0800);
        QCOMPARE(p(1881)->getRegisterValue(), 0x0800);

        // The formula chain 0 -> 71 -> 154.
        QCOMPARE(p(71)->getMaxString(), QString("0.75 * p[0] - 1"));
        QCOMPARE(p(154)->getScaleFormulaString(), QString("40.96 * 100 / p[71]"));

        // Level-3 rows exist, so access level 3 has something to guard.
        int level3 = 0;
        for (Parameter* parameter : device->getAllParameters())
            level3 += parameter->getLevel() == 3 && parameter->isWriteable();
        QVERIFY(level3 > 0);
        QVERIFY(p(47)->getLevel() == 3 && p(48)->getLevel() == 3);
    }

    void fileListsPointAtDefinedRegisters()
    {
        for (int address : motorParameterAddresses)
            QVERIFY2(p(address) != p(99999), qPrintable(QString::number(address)));
        for (int address : excludedParameterAddresses) {
            if (address != 2026)
                QVERIFY2(p(address) != p(99999), qPrintable(QString::number(address)));
        }
        for (int address : XMLTranslator::neverImportedAddresses)
            QVERIFY2(p(address) != p(99999), qPrintable(QString::number(address)));
    }

    void initialValuesImportSilentlyAndSettle()
    {
        const QMap<int, int> file = initialValues();
        QVERIFY(file.size() > 100);

        Kelvara fresh;
        XMLTranslator translator(&fresh);
        auto* dialogs = new SilentDialogs;
        translator.setDialogs(dialogs);

        MessageCapture log;
        const QString printed = capturedStdout([&] { translator.importFromXML(":/InitialValues.xml"); });
        QCOMPARE(printed, QString());
        QCOMPARE(log.messages(), QStringList());
        QCOMPARE(dialogs->errors, QStringList());

        // Every value lands as written: within its limits and on its grid.
        for (auto it = file.constBegin(); it != file.constEnd(); ++it) {
            if (XMLTranslator::neverImportedAddresses.contains(it.key()))
                continue;
            QVERIFY2(fresh.getParameter(it.key()) != fresh.getParameter(99999),
                     qPrintable(QString::number(it.key())));
            QCOMPARE(qMakePair(it.key(), fresh.getParameter(it.key())->getRegisterValue()),
                     qMakePair(it.key(), it.value()));
        }

        // A second import changes nothing.
        const QMap<int, int> once = rawValues(fresh);
        translator.importFromXML(":/InitialValues.xml");
        QCOMPARE(rawValues(fresh), once);
        QCOMPARE(log.messages(), QStringList());
    }
};

QTEST_MAIN(TestEmbeddedDefinitions)
#include "tst_embeddeddefinitions.moc"
