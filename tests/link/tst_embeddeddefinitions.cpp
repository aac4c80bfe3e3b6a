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

QMap<int, int> rawValues(const Kelvara& device)
{
    QMap<int, int> values;
    const QMap<int, Parameter*> parameters = device.getAllParameters();
    for (auto it = parameters.constBegin(); it != parameters.constEnd(); ++it)
        values.insert(it.key(), it.value()->getRegisterValue());
    return values;
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

    // The embedded definition files as the program sees them.
    void definitionFilesParseSilently()
    {
        for (const QString path : {":/BOD.json", ":/BOD_v6.json"}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            std::unique_ptr<ParameterSet> set;
            QCOMPARE(capturedStdout([&] { set.reset(new ParameterSet(file.readAll())); }), QString());
            QVERIFY(set->library()->isParsed() && set->formulasParsed());
            QVERIFY(set->parameters().size() > 100);
            for (Parameter* parameter : set->parameters())
                QVERIFY2(parameter->isValid(), qPrintable(path + QString::number(parameter->getAddress())));
        }
    }

    // Every defined register has its parameter, and the file lists point
    // at defined registers.
    void registersAreDefined()
    {
        const QMap<int, Parameter*> parameters = device->getAllParameters();
        QVERIFY(parameters.size() > 100);
        for (auto it = parameters.constBegin(); it != parameters.constEnd(); ++it)
            QVERIFY2(p(it.key()) == it.value() && it.value()->getAddress() == it.key() && it.value() != p(99999),
                     qPrintable(QString::number(it.key())));
        QList<int> listed = motorParameterAddresses + excludedParameterAddresses + XMLTranslator::neverImportedAddresses;
        listed.removeAll(2026);
        for (int address : listed)
            QVERIFY2(p(address) != p(99999), qPrintable(QString::number(address)));
    }

    // Address, type (n number, d dependent, e enum, b bit vector), w if
    // writable, and the name. "Bit vector" is no type word the file knows:
    // 257 is a plain number.
    void registersWithFixedRoles()
    {
        const QStringList rows{
            "0 n w Controller Output Current Rating", "4 e w Baud Rate", "15 n w Voltage Gain",
            "33 d w DC Voltage Trip Clear Hysterisis", "67 n - Saved Software Revision", "71 n w Max Phase Current",
            "77 e w Motor Position Sensor Type", "93 n w Temperature Voltage at 0C",
            "98 n w Temperature Voltage at 125C", "127 b w Motor Features", "137 e w Motor Temperature Source",
            "154 d w Max Regen Phase Current", "174 b w Features 2", "193 e w Wheel Speed Sensor Source",
            "205 n w Rolling Start Speed ", "207 b w Reserved Display Parameter", "208 e w Control Command Source",
            "211 e w Pedal Sensor Type", "212 b w Features", "237 n - Hardware Version", "238 n - Serial Number",
            "247 e w Throttle Sensor Source", "248 e w Cutoff Brake Sensor Source", "249 e w Regen Brake Source",
            "256 n - Software Revision Level", "257 n - Controller Status", "258 b - Faults", "276 b - Digital Inputs",
            "277 b - Warnings", "299 b - Faults 2", "327 b - Ebike Flags", "477 n - Torque Command",
            "481 e w Motor Discovery Mode", "508 n w Fault Clear", "509 n w Parameter Access Code",
            "511 n w Write Parameters to Flash", "1881 n - Hardware Version", "2016 n - Hardware Version Backup",
            "2017 n - Serial Number", "2018 n - Digest", "2023 n - Hardware Version Backup 2",
            "2024 n - Serial Number Backup", "2025 n - Digest Backup"};
        const QMap<int, QChar> types{{ParameterDefinition::TypeIndependent, 'n'}, {ParameterDefinition::TypeDependent, 'd'},
                                     {ParameterDefinition::TypeEnum, 'e'}, {ParameterDefinition::TypeBitVector, 'b'}};
        for (const QString& row : rows) {
            const int address = row.section(' ', 0, 0).toInt();
            Parameter* parameter = p(address);
            QVERIFY2(parameter != p(99999), qPrintable(row));
            QCOMPARE(QString("%1 %2 %3 %4").arg(address).arg(types.value(int(parameter->getType()), '?'))
                         .arg(parameter->isWriteable() ? "w" : "-").arg(parameter->getName()),
                     row);
        }
    }

    void attributesTheLogicReliesOn()
    {
        // The baud rates offered and written by the link.
        QCOMPARE(*p(4)->getEnumDefs(), (QMap<int, QString>{{12, "1200"}, {96, "9600"}, {192, "19200"},
                                                          {384, "38400"}, {576, "57600"}, {1152, "115200"}}));
        const auto bitLabels = [&](int address) { return *static_cast<BitVector*>(p(address))->getBitDefs(); };
        // Fault display: every bit of both fault words and the warnings is named.
        for (int address : {258, 299, 277})
            QCOMPARE(bitLabels(address).size(), 16);
        QCOMPARE(bitLabels(207).keys(), QList<int>({1, 2, 3, 4, 5, 6, 9, 10}));
        // Bits set by page logic and by the import adjustments, and values
        // the import adjustments store.
        QCOMPARE(bitLabels(212).value(9), QString("Rolling Start Enable"));
        QCOMPARE(bitLabels(212).value(14), QString("Ext Fault LED on HDQ"));
        QCOMPARE(bitLabels(174).value(1), QString("HDQ Replicating HALL"));
        QVERIFY(bitLabels(212).contains(5) && bitLabels(174).contains(3));
        for (const auto& [address, value] : QList<QPair<int, int>>{{249, 0}, {249, 1}, {248, 4}, {137, 2}, {193, 1}, {208, 2}})
            QVERIFY2(p(address)->getEnumDefs()->contains(value), qPrintable(QString::number(address)));

        // Save: only the flash command and the fault clear are written
        // without being kept in flash; the access code is not kept either.
        QVERIFY(p(511)->isWriteable() && p(508)->isWriteable() && p(509)->isWriteable());
        QVERIFY(!p(508)->isSavable() && !p(509)->isSavable());
        QVERIFY(p(0)->isSavable() && p(71)->isSavable() && p(4)->isSavable());
        QVERIFY(p(477)->isSigned()); // the motor-running check reads a signed torque

        // Identification: firmware as a raw number, ratings as display values.
        p(256)->setRegisterValue(5921);
        QCOMPARE(p(256)->getRegisterValue(), 5921);
        QCOMPARE(p(0)->getUnits(), QString("A"));
        p(15)->setValue(27.5);
        QCOMPARE(p(15)->getValue(), 27.5);

        // The formula chain 0 -> 71 -> 154.
        QCOMPARE(p(71)->getMaxString(), QString("0.75 * p[0] - 1"));
        QCOMPARE(p(154)->getScaleFormulaString(), QString("40.96 * 100 / p[71]"));
        // Level-3 rows exist, so access level 3 has something to guard.
        QVERIFY(p(47)->getLevel() == 3 && p(48)->getLevel() == 3 && p(47)->isWriteable());
    }

    // Every value lands as written (within its limits and on its grid),
    // silently; a second import changes nothing.
    void initialValuesImportSilentlyAndSettle()
    {
        Kelvara fresh;
        XMLTranslator translator(&fresh);
        auto* dialogs = new SilentDialogs;
        translator.setDialogs(dialogs);
        MessageCapture log;
        QCOMPARE(capturedStdout([&] { translator.importFromXML(":/InitialValues.xml"); }), QString());
        QCOMPARE(log.messages(), QStringList());
        QCOMPARE(dialogs->errors, QStringList());
        const auto entries = fileEntries(":/InitialValues.xml");
        QVERIFY(entries.size() > 100);
        for (const auto& entry : entries) {
            QVERIFY(entry.first >= 0);
            if (!XMLTranslator::neverImportedAddresses.contains(entry.first))
                QCOMPARE(qMakePair(entry.first, fresh.getParameter(entry.first)->getRegisterValue()), entry);
        }
        const QMap<int, int> once = rawValues(fresh);
        translator.importFromXML(":/InitialValues.xml");
        QCOMPARE(rawValues(fresh), once);
        QCOMPARE(log.messages(), QStringList());
    }
};

QTEST_MAIN(TestEmbeddedDefinitions)
#include "tst_embeddeddefinitions.moc"
