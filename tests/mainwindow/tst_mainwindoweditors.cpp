// The editor windows of the main window, against the controller simulator.

#include "windowfixture.h"

#include "aboutprogramwindow.h"
#include "customparameteredit.h"
#include "helpwindow.h"

#include <QAction>
#include <QDoubleSpinBox>
#include <QTabWidget>

using namespace WindowFixture;

class TestMainWindowEditors : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void customEditorSavesAndReadsThroughTheLink();
    void dashboardPollingPausesWhileEditing();
    void unsavedReportAboutAndHelp();

private:
    std::unique_ptr<Workspace> workspace;
    std::unique_ptr<ControllerSimulator> simulator;
    std::unique_ptr<MainWindow> window;
    CustomParameterEdit* editor = nullptr;
};

void TestMainWindowEditors::initTestCase()
{
    workspace.reset(new Workspace);
    simulator = startSimulator();
    QVERIFY(simulator);
    window.reset(new MainWindow);
    window->initControllerConnectionMonitor();
    QVERIFY(connectTo(window.get(), simulator.get()));
    editor = window->findChild<CustomParameterEdit*>();
    QVERIFY(editor && editor->isHidden());
}

void TestMainWindowEditors::cleanupTestCase()
{
    window.reset();
    simulator.reset();
    workspace.reset();
}

void TestMainWindowEditors::customEditorSavesAndReadsThroughTheLink()
{
    window->findChild<QAction*>("editParameter")->trigger();
    QVERIFY(editor->isVisible());
    QVERIFY(editor->isModal());
    editor->addSelectedParameters({{71, -1}});
    editor->findChild<QDoubleSpinBox*>("value")->setValue(65);

    QSignalSpy saved(window->link(), &KelvaraCom::flashSaveComplete);
    editor->findChild<QPushButton*>("write")->click();
    QVERIFY(saved.wait(5000));
    QCOMPARE(simulator->registerValue(71), quint16(65));

    simulator->setRegisterValue(71, 70);
    QSignalSpy read(window->link(), &KelvaraCom::readAllComplete);
    editor->findChild<QPushButton*>("read")->click();
    QVERIFY(read.wait(5000));
    QCOMPARE(editor->findChild<QDoubleSpinBox*>("value")->value(), 70.0);
    editor->findChild<QPushButton*>("done")->click();
    QVERIFY(editor->isHidden());
}

void TestMainWindowEditors::dashboardPollingPausesWhileEditing()
{
    auto* tabs = window->findChild<QTabWidget*>("tabWidget");
    auto* polling = window->findChild<QTimer*>("dashboardRefreshTimer");
    tabs->setCurrentIndex(window->dashboardIndex());
    QVERIFY(polling->isActive());
    window->findChild<QAction*>("editParameter")->trigger();
    QVERIFY(!polling->isActive());
    editor->findChild<QPushButton*>("done")->click();
    QVERIFY(polling->isActive());
    tabs->setCurrentIndex(0);
}

void TestMainWindowEditors::unsavedReportAboutAndHelp()
{
    ModalWatcher watcher;
    window->deviceModel()->getParameter(71)->setValue(66);
    window->findChild<QPushButton*>("list_unsaved")->click();
    QCOMPARE(watcher.titles(), QStringList{"List of All Unsaved Parameters"});

    window->findChild<QAction*>("actionAbout")->trigger();
    window->findChild<QAction*>("actionHelp")->trigger();
    window->findChild<QAction*>("actionHelp")->trigger();
    QCOMPARE(window->findChildren<AboutProgramWindow*>().size(), 1);
    QCOMPARE(window->findChildren<HelpWindow*>().size(), 2);
}

QTEST_MAIN(TestMainWindowEditors)
#include "tst_mainwindoweditors.moc"
