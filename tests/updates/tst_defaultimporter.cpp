#include "defaultimporter.h"
#include "firmwaredownloaderdialog.h"
#include "kelvara.h"
#include "mainwindow.h"
#include "modalwatcher.h"
#include "pasdeviceloader.h"
#include "updatestesting.h"
#include "windowfixture.h"

#include <QAction>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

// The dialog over a device model (the translator's boxes answered by
// FakeDialogs) with a pedal-assist device list beside it.
struct Importer
{
    Importer() { translator.setDialogs(dialogs); }

    DefaultImporter* open()
    {
        dialog = std::make_unique<DefaultImporter>(nullptr, &translator, &loader);
        return dialog.get();
    }
    QStringList items(const char* box) const { return itemTexts(dialog->findChild<QComboBox*>(box)); }
    void choose(const char* box, const QString& text) { dialog->findChild<QComboBox*>(box)->setCurrentText(text); }
    bool canApply() const { return dialog->findChild<QPushButton*>("applyButton")->isEnabled(); }

    DownloadWorkspace workspace;
    Kelvara model;
    XMLTranslator translator{&model};
    FakeDialogs* dialogs = new FakeDialogs;
    QComboBox pasDevices;
    PasDeviceLoader loader{nullptr, &pasDevices, &translator};
    std::unique_ptr<DefaultImporter> dialog;
};

} // namespace

class tst_DefaultImporter : public QObject
{
    Q_OBJECT

private slots:
    void listsTheStore()
    {
        Importer importer;
        for (const char* file : {"Controller/C1.xml", "PAS/P_1.xml", "zeta/z.xml", "Alpha/m.xml", "controller/x.xml", "notes.txt"})
            importer.workspace.put(file, defaultFile(1));
        importer.open();
        QCOMPARE(importer.items("manufacturerBox"),
                 QStringList({"<Select Manufacturer>", "Alpha", "controller", "notes.txt", "zeta"}));
        QCOMPARE(importer.items("controllerBox"), QStringList({"<Select Controller>", "C1.xml"}));
        QCOMPARE(importer.items("pasBox"), QStringList({"<Select PAS Device>", "P_1.xml"}));
        importer.choose("manufacturerBox", "Alpha");
        importer.choose("modelBox", "m.xml");
        QVERIFY(importer.canApply());
        importer.choose("manufacturerBox", "zeta");
        QCOMPARE(importer.items("modelBox"), QStringList({"<Select Model>", "z.xml"}));
        QVERIFY(!importer.canApply());
    }

    void appliesChosenFiles_data()
    {
        QTest::addColumn<bool>("motor");
        QTest::addColumn<bool>("controller");
        QTest::addColumn<bool>("pas");
        QTest::addColumn<int>("register7");
        QTest::addColumn<int>("register8");
        QTest::newRow("nothing") << false << false << false << 0 << 0;
        QTest::newRow("controller") << false << true << false << 12 << 0;
        QTest::newRow("motor") << true << false << false << 11 << 21;
        QTest::newRow("all, the later file wins") << true << true << true << 13 << 21;
    }

    // Each chosen file is imported as a parameter file, motor, controller, then
    // PAS device; a drop-down left on its placeholder imports nothing.
    void appliesChosenFiles()
    {
        QFETCH(bool, motor);
        QFETCH(bool, controller);
        QFETCH(bool, pas);
        Importer importer;
        importer.workspace.put("Alpha/m.xml", parameterDocument(entry("7", "11") + entry("8", "21")));
        importer.workspace.put("Controller/C1.xml", defaultFile(12));
        importer.workspace.put("PAS/P_1.xml", defaultFile(13));
        importer.open()->show();
        importer.choose("manufacturerBox", motor ? "Alpha" : "<Select Manufacturer>");
        importer.choose("modelBox", motor ? "m.xml" : "<Select Model>");
        importer.choose("controllerBox", controller ? "C1.xml" : "<Select Controller>");
        importer.choose("pasBox", pas ? "P_1.xml" : "<Select PAS Device>");
        QCOMPARE(importer.canApply(), motor || controller || pas);

        importer.dialog->on_applyButton_clicked();
        QVERIFY(!importer.dialog->isVisible());
        QCOMPARE(importer.dialogs->errors, QStringList());
        QTEST(importer.model.getParameter(7)->getRegisterValue(), "register7");
        QTEST(importer.model.getParameter(8)->getRegisterValue(), "register8");
    }

    // One download at a time, then the lists and the PAS device list show what
    // arrived, the device list back on its blank.
    void downloadsAndListsAgain()
    {
        Importer importer;
        importer.workspace.put("PAS/P_1.xml", defaultFile(1));
        importer.loader.refreshPasDeviceList();
        importer.pasDevices.setCurrentIndex(1);
        for (const QByteArray& folder : {QByteArray("PAS/"), QByteArray("Alpha/")}) {
            importer.workspace.server.serve("/downloads/kl/" + folder, indexPage({"P_2.xml"}));
            importer.workspace.server.serve("/downloads/kl/" + folder + "P_2.xml", defaultFile(2));
        }
        importer.workspace.server.serve("/downloads/kl/", indexPage({"PAS/", "Alpha/"}));
        ModalWatcher watcher;
        watcher.onDialog = [](QWidget* modal) {
            if (auto* brands = qobject_cast<FirmwareDownloaderDialog*>(modal))
                brands->accept();
        };
        QSignalSpy downloaded(importer.open(), &DefaultImporter::dataDownloaded);

        auto* download = importer.dialog->findChild<QPushButton*>("downloadButton");
        download->click();
        QVERIFY(!download->isEnabled());
        QVERIFY(downloaded.wait(8000));
        QVERIFY(download->isEnabled());
        QCOMPARE(importer.items("manufacturerBox"), QStringList({"<Select Manufacturer>", "Alpha"}));
        QCOMPARE(importer.items("pasBox"), QStringList({"<Select PAS Device>", "P_1.xml", "P_2.xml"}));
        QCOMPARE(itemTexts(&importer.pasDevices), QStringList({" ", "P 1", "P 2"}));
        QCOMPARE(importer.pasDevices.currentIndex(), 0);
    }

    // The PAS page's device list: a blank that imports nothing, then each entry
    // of the store's PAS folder in name order regardless of case. "Load Default
    // Parameters" opens the defaults dialog.
    void pasDeviceListAndDefaultsDialog()
    {
        DownloadWorkspace downloads;
        downloads.put("PAS/Torque_Sensor_A.xml", defaultFile(31));
        downloads.put("PAS/cadence.XML", defaultFile(32));
        downloads.put("PAS/Sub/x.xml", defaultFile(33));
        downloads.put("PAS/two.xml.xml", defaultFile(34));
        WindowFixture::Workspace workspace;
        MainWindow window;
        auto* box = window.findChild<QComboBox*>("pedal_assist_type");
        QCOMPARE(itemTexts(box), QStringList({" ", "cadence", "Sub", "Torque Sensor A", "two"}));
        QCOMPARE(box->itemData(3).toString(), "Torque_Sensor_A.xml");
        QCOMPARE(box->currentIndex(), 0);

        Parameter* kp = window.deviceModel()->getParameter(7);
        QSignalSpy imports(kp, &Parameter::valueSet);
        box->setCurrentIndex(3);
        QCOMPARE(kp->getRegisterValue(), 31);
        const int applied = imports.count();
        box->setCurrentIndex(3);
        box->setCurrentIndex(0);
        QCOMPARE(imports.count(), applied);
        box->setCurrentIndex(1);
        QCOMPARE(kp->getRegisterValue(), 32);

        ModalWatcher watcher;
        window.findChild<QAction*>("importDefaultXML")->trigger();
        window.findChild<QPushButton*>("importPedalAssistDefaultsButton")->click();
        QCOMPARE(watcher.titles(), QStringList({"Download Defaults", "Download Defaults"}));
    }
};

QTEST_MAIN(tst_DefaultImporter)
#include "tst_defaultimporter.moc"
