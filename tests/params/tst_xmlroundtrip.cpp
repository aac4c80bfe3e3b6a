#include "bitvector.h"
#include "formula.h"
#include "kelvara.h"
#include "messagecapture.h"
#include "parameter.h"
#include "parameterconstants.h"
#include "stdoutcapture.h"
#include "xmltranslator.h"
#include "xmltranslatortesting.h"

#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>

#include <memory>

namespace {

// A model over the embedded definitions holding the embedded initial values.
struct Model
{
    Model()
        : translator(&device)
    {
        dialogs = new FakeDialogs;
        translator.setDialogs(dialogs);
        translator.importFromXML(":/InitialValues.xml");
    }

    Kelvara device;
    XMLTranslator translator;
    FakeDialogs* dialogs; // owned by the translator
};

// Another valid value for a parameter: the next enum key, one bit flipped,
// the middle of its range, or one raw step up.
void changeValue(Parameter* parameter)
{
    switch (parameter->getType()) {
    case ParameterDefinition::TypeEnum: {
        const QList<int> keys = parameter->getEnumDefs()->keys();
        const int next = (keys.indexOf(parameter->getRegisterValue()) + 1) % keys.size();
        parameter->setRegisterValue(keys.at(next));
        break;
    }
    case ParameterDefinition::TypeBitVector: {
        auto* bits = static_cast<BitVector*>(parameter);
        bits->toggleBit(bits->getBitDefs()->firstKey());
        break;
    }
    default:
        if (parameter->getMinFormula() && parameter->getMaxFormula()) {
            parameter->setValue((parameter->getMinFormula()->evaluate()
                                 + parameter->getMaxFormula()->evaluate()) / 2);
        } else {
            parameter->setRegisterValue(parameter->getRegisterValue() + 1);
            parameter->setValue(parameter->getValue());
        }
        break;
    }
}

} // namespace

class TestXMLRoundTrip : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;

    QString exportKind(Model& model, bool technician, int exportType, const QString& name)
    {
        model.dialogs->saveAnswer = dir.filePath(name);
        model.dialogs->exportAnswer = exportType;
        model.dialogs->yesAnswer = true;
        technician ? model.translator.technican_exportToXML() : model.translator.exportToXML();
        return dir.filePath(name);
    }

private slots:
    void everyKindRoundTrips_data()
    {
        QTest::addColumn<bool>("technician");
        QTest::addColumn<int>("exportType");

        QTest::newRow("All") << false << int(XMLTranslator::ExportAll);
        QTest::newRow("Controller") << false << int(XMLTranslator::ExportController);
        QTest::newRow("Motor") << false << int(XMLTranslator::ExportMotor);
        QTest::newRow("technician") << true << int(XMLTranslator::ExportAll);
    }

    void everyKindRoundTrips()
    {
        QFETCH(bool, technician);
        QFETCH(int, exportType);

        MessageCapture log;
        StdoutCapture out;
        Model source;
        Model target;

        // Change every register of this kind, so the import has work to do.
        const QString first = exportKind(source, technician, exportType, "first.xml");
        const QList<QPair<int, int>> firstEntries = fileEntries(first);
        for (const auto& exported : firstEntries) {
            if (exported.first != 256)
                changeValue(source.device.getParameter(exported.first));
        }
        const RegisterValues changed = rawValues(&source.device);
        QVERIFY(changed != rawValues(&target.device));

        const QString path = exportKind(source, technician, exportType, "second.xml");
        const QList<QPair<int, int>> entries = fileEntries(path);
        QCOMPARE(entries.size(), firstEntries.size());

        // Back into the same model: nothing moves.
        source.translator.importFromXML(path);
        QCOMPARE(rawValues(&source.device), changed);

        // Into a model that still holds the initial values: it becomes the same.
        target.translator.importFromXML(path);
        QCOMPARE(rawValues(&target.device), changed);

        QCOMPARE(out.finish(), QString());
        QCOMPARE(log.messages(), QStringList());
        QVERIFY(source.dialogs->errors.isEmpty() && target.dialogs->errors.isEmpty());
    }

    void identityAndCommandRegistersAreNeverImported()
    {
        Model model;
        const QList<int> protectedAddresses = {511, 67, 256, 237, 238, 1881,
                                               2016, 2023, 2017, 2024, 2018, 2025};
        QByteArray entries;
        for (int address : protectedAddresses) {
            QVERIFY2(model.device.getParameter(address) != model.device.getParameter(-1),
                     qPrintable(QString::number(address)));
            entries += entry(QByteArray::number(address), "4660");
        }
        entries += entry("7", "321");
        const RegisterValues before = rawValues(&model.device);

        QTemporaryFile file;
        QVERIFY(file.open());
        file.write(parameterDocument(entries));
        file.close();
        model.translator.importFromXML(file.fileName());

        QCOMPARE(model.device.getParameter(7)->getRegisterValue(), 321);
        for (int address : protectedAddresses) {
            QCOMPARE(qMakePair(address, model.device.getParameter(address)->getRegisterValue()),
                     qMakePair(address, before.value(address)));
        }
    }

    void exportsKeepToTheirSelection()
    {
        Model model;
        const QMap<int, Parameter*> parameters = model.device.getAllParameters();
        QMap<QString, QList<int>> addresses;
        const QList<std::tuple<QString, bool, int>> kinds = {
            {"All", false, XMLTranslator::ExportAll},
            {"Controller", false, XMLTranslator::ExportController},
            {"Motor", false, XMLTranslator::ExportMotor},
            {"technician", true, XMLTranslator::ExportAll}};
        for (const auto& kind : kinds) {
            const QString path = exportKind(model, std::get<1>(kind), std::get<2>(kind),
                                            std::get<0>(kind) + ".xml");
            int previous = -1;
            for (const auto& entry : fileEntries(path)) {
                QVERIFY(entry.first > previous); // ascending, no doubles
                previous = entry.first;
                addresses[std::get<0>(kind)] << entry.first;
                QCOMPARE(entry.second, parameters.value(entry.first)->getRegisterValue());
            }
        }

        for (int address : addresses.value("Motor"))
            QVERIFY2(motorParameterAddresses.contains(address), qPrintable(QString::number(address)));
        QVERIFY(!addresses.value("Motor").isEmpty());
        for (int address : addresses.value("Controller")) {
            QVERIFY(address <= 256);
            QVERIFY(!motorParameterAddresses.contains(address));
        }
        QVERIFY(addresses.value("Controller").contains(256));

        for (auto it = parameters.constBegin(); it != parameters.constEnd(); ++it) {
            const int address = it.key();
            const Parameter* parameter = it.value();
            const bool candidate = (parameter->isWriteable() || address == 256)
                && !excludedParameterAddresses.contains(address);
            const bool level3 = parameter->getLevel() == 3;
            QCOMPARE(qMakePair(address, addresses.value("technician").contains(address)),
                     qMakePair(address, candidate));
            QCOMPARE(qMakePair(address, addresses.value("All").contains(address)),
                     qMakePair(address, candidate && !level3));
            QCOMPARE(qMakePair(address, addresses.value("Motor").contains(address)),
                     qMakePair(address, candidate && !level3 && motorParameterAddresses.contains(address)));
        }
        // Every motor register of the embedded set goes into a motor file; no
        // identity or command register goes into any file.
        QCOMPARE(addresses.value("Motor"),
                 (QList<int>{7, 8, 12, 13, 51, 52, 53, 54, 55, 71, 72, 73, 74, 75, 77, 78, 79, 80,
                             81, 82, 83, 84, 85, 86, 87, 90, 91, 92, 93, 94, 95, 96, 97, 98, 106,
                             107, 108, 109, 110, 127, 154, 231}));
        for (const QList<int>& exported : qAsConst(addresses)) {
            for (int address : {67, 237, 238, 508, 509, 510, 511, 1881, 2016, 2017, 2018, 2023,
                                2024, 2026})
                QVERIFY2(!exported.contains(address), qPrintable(QString::number(address)));
        }

        // The embedded set has level-3 registers, so the two exports differ.
        QVERIFY(addresses.value("technician").size() > addresses.value("All").size());
    }
};

QTEST_MAIN(TestXMLRoundTrip)
#include "tst_xmlroundtrip.moc"
