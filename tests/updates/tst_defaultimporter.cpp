#include "defaultimporter.h"
#include "firmwaredownloaderdialog.h"
#include "kelvara.h"
#include "modalwatcher.h"
#include "pasdeviceloader.h"
#include "updatestesting.h"

#include <QComboBox>
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
    QComboBox* box(const char* name) const { return dialog->findChild<QComboBox*>(name); }
    QStringList items(QComboBox* box) const
    {
        QStringList texts;
        for (int i = 0; i < box->count(); ++i)
            texts << box->itemText(i);
        return texts;
    }
    QStringList items(const char* name) const { return items(box(name)); }
    void choose(const char* name, const QString& text) { box(name)->setCurrentIndex(box(name)->findText(text)); }
    bool canApply() const { return dialog->findChild<QPushButton*>("applyButton")->isEnabled(); }
    int value(int address) const { return model.getParameter(address)->getRegisterValue(); }

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
    void listsTheStore();
    void appliesChosenFiles_data();
    void appliesChosenFiles();
    void downloadsAndListsAgain();
};

void tst_DefaultImporter::listsTheStore()
{
    Importer importer;
    for (const char* file : {"Controller/C1.xml", "PAS/P_1.xml", "zeta/z.xml", "Alpha/m.xml",
                             "controller/x.xml", "notes.txt"})
        importer.workspace.put(file, defaultFile(1));
    importer.open();

    QCOMPARE(importer.items("manufacturerBox"),
             QStringList({"<Select Manufacturer>", "Alpha", "controller", "notes.txt", "zeta"}));
    QCOMPARE(importer.items("controllerBox"), QStringList({"<Select Controller>", "C1.xml"}));
    QCOMPARE(importer.items("pasBox"), QStringList({"<Select PAS Device>", "P_1.xml"}));
    QCOMPARE(importer.items("modelBox"), QStringList{"<Select Model>"});
    QVERIFY(!importer.canApply());
    importer.choose("manufacturerBox", "Alpha");
    QCOMPARE(importer.items("modelBox"), QStringList({"<Select Model>", "m.xml"}));
    QVERIFY(!importer.canApply());
    importer.choose("modelBox", "m.xml");
    QVERIFY(importer.canApply());
    importer.choose("manufacturerBox", "zeta");
    QCOMPARE(importer.box("modelBox")->currentText(), "<Select Model>");
    QVERIFY(!importer.canApply());
}

void tst_DefaultImporter::appliesChosenFiles_data()
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
void tst_DefaultImporter::appliesChosenFiles()
{
    QFETCH(bool, motor);
    QFETCH(bool, controller);
    QFETCH(bool, pas);
    QFETCH(int, register7);
    QFETCH(int, register8);
    Importer importer;
    importer.workspace.put("Alpha/m.xml", parameterDocument(entry("7", "11") + entry("8", "21")));
    importer.workspace.put("Controller/C1.xml", defaultFile(12));
    importer.workspace.put("PAS/P_1.xml", defaultFile(13));
    importer.open()->show();
    if (motor) {
        importer.choose("manufacturerBox", "Alpha");
        importer.choose("modelBox", "m.xml");
    }
    if (controller)
        importer.choose("controllerBox", "C1.xml");
    if (pas)
        importer.choose("pasBox", "P_1.xml");
    QCOMPARE(importer.canApply(), motor || controller || pas);

    importer.dialog->on_applyButton_clicked();
    QVERIFY(!importer.dialog->isVisible());
    QCOMPARE(importer.dialogs->errors, QStringList());
    QCOMPARE(importer.value(7), register7);
    QCOMPARE(importer.value(8), register8);
}

// From a store that does not exist yet: one download at a time, then the
// lists and the PAS device list show what arrived.
void tst_DefaultImporter::downloadsAndListsAgain()
{
    Importer importer;
    LoopbackHttpServer& server = importer.workspace.server;
    server.serve("/downloads/kl/", indexPage({"PAS/", "Alpha/"}));
    server.serve("/downloads/kl/PAS/", indexPage({"P_2.xml"}));
    server.serve("/downloads/kl/Alpha/", indexPage({"m.xml"}));
    server.serve("/downloads/kl/PAS/P_2.xml", defaultFile(2));
    server.serve("/downloads/kl/Alpha/m.xml", defaultFile(3));
    ModalWatcher watcher;
    watcher.onDialog = [](QWidget* modal) {
        if (auto* brands = qobject_cast<FirmwareDownloaderDialog*>(modal))
            brands->accept();
    };
    importer.open();
    QCOMPARE(importer.items("manufacturerBox"), QStringList{"<Select Manufacturer>"});
    QVERIFY(!importer.canApply());
    QSignalSpy downloaded(importer.dialog.get(), &DefaultImporter::dataDownloaded);

    auto* download = importer.dialog->findChild<QPushButton*>("downloadButton");
    download->click();
    QVERIFY(!download->isEnabled());
    QVERIFY(downloaded.wait(8000));
    QVERIFY(download->isEnabled());
    QCOMPARE(importer.items("manufacturerBox"), QStringList({"<Select Manufacturer>", "Alpha"}));
    QCOMPARE(importer.items("pasBox"), QStringList({"<Select PAS Device>", "P_2.xml"}));
    QCOMPARE(importer.items(&importer.pasDevices), QStringList({" ", "P 2"}));
    QCOMPARE(watcher.titles().last(), "Parameter Files Download Complete");
}

QTEST_MAIN(tst_DefaultImporter)
#include "tst_defaultimporter.moc"
