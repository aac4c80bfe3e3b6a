#include "mainwindow.h"
#include "parameter.h"
#include "updatestesting.h"
#include "windowfixture.h"

#include <QAction>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

class tst_MainWindowDefaults : public QObject
{
    Q_OBJECT

private slots:
    void pasDeviceListAndDefaultsDialog();
};

// The PAS page's device list: a blank that imports nothing, then each entry
// of the store's PAS folder in name order regardless of case. "Load Default
// Parameters" opens the defaults dialog.
void tst_MainWindowDefaults::pasDeviceListAndDefaultsDialog()
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

QTEST_MAIN(tst_MainWindowDefaults)
#include "tst_mainwindowdefaults.moc"
