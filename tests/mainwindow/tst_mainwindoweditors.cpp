// The custom parameter editor opened from the main window, against the
// controller simulator.

#include "windowfixture.h"

#include "customparameteredit.h"
#include "selectparameters.h"

#include <QAction>
#include <QDoubleSpinBox>
#include <QListWidget>
#include <QTabWidget>

using namespace WindowFixture;

class TestMainWindowEditors : public QObject
{
    Q_OBJECT

private slots:
    void customEditorWorksThroughTheLink();
};

void TestMainWindowEditors::customEditorWorksThroughTheLink()
{
    Workspace workspace;
    auto simulator = startSimulator();
    QVERIFY(simulator);
    MainWindow window;
    window.initControllerConnectionMonitor();
    QVERIFY(connectTo(&window, simulator.get()));
    auto* editor = window.findChild<CustomParameterEdit*>();
    auto* polling = window.findChild<QTimer*>("dashboardRefreshTimer");
    window.findChild<QTabWidget*>("tabWidget")->setCurrentIndex(window.dashboardIndex());
    QVERIFY(polling->isActive());

    // Opening the editor stops the Dashboard's polling.
    window.findChild<QAction*>("editParameter")->trigger();
    QVERIFY(editor->isVisible());
    QVERIFY(!polling->isActive());
    editor->findChild<QPushButton*>("addParameters")->click();
    auto* picker = editor->findChild<SelectParameters*>();
    auto* list = picker->findChild<QListWidget*>("paramList");
    list->findItems("Max Phase Current,", Qt::MatchStartsWith).value(0)->setSelected(true);
    picker->findChild<QPushButton*>("done")->click();
    auto* box = editor->findChild<QDoubleSpinBox*>("value");
    box->setValue(65);

    QSignalSpy saved(window.link(), &KelvaraCom::flashSaveComplete);
    editor->findChild<QPushButton*>("write")->click();
    QVERIFY(saved.wait(5000));
    QCOMPARE(simulator->registerValue(71), quint16(65));

    simulator->setRegisterValue(71, 70);
    QSignalSpy read(window.link(), &KelvaraCom::readAllComplete);
    editor->findChild<QPushButton*>("read")->click();
    QVERIFY(read.wait(5000));
    QCOMPARE(box->value(), 70.0);

    // "Done" hides the editor and the Dashboard polls again.
    editor->findChild<QPushButton*>("done")->click();
    QVERIFY(editor->isHidden());
    QVERIFY(polling->isActive());
}

QTEST_MAIN(TestMainWindowEditors)
#include "tst_mainwindoweditors.moc"
