// The Autotune button and menu action open the modal wizard, which is gone
// once it closes.

#include "autotunewizard.h"
#include "windowfixture.h"

#include <QAction>
#include <QPushButton>

using namespace WindowFixture;

class TestMainWindowAutotune : public QObject
{
    Q_OBJECT

private slots:
    void buttonAndActionOpenTheWizard();
};

void TestMainWindowAutotune::buttonAndActionOpenTheWizard()
{
    Workspace workspace;
    auto simulator = startSimulator();
    QVERIFY(simulator);
    MainWindow window;
    window.initControllerConnectionMonitor();
    QVERIFY(connectTo(&window, simulator.get()));

    ModalWatcher watcher;
    window.findChild<QPushButton*>("autotuneWizard")->click();
    window.findChild<QAction*>("autotuneAction")->trigger();
    QCOMPARE(watcher.titles(), (QStringList{"Wizard", "Wizard"}));
    QTRY_VERIFY(window.findChildren<AutotuneWizard*>().isEmpty());
}

QTEST_MAIN(TestMainWindowAutotune)
#include "tst_mainwindowautotune.moc"
