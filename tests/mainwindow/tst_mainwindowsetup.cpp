// The main window's settings, its controls above the tabs, factory mode and
// the bookkeeping of its tabs while pages come and go.

#include "windowfixture.h"

#include <QAction>
#include <QDialog>
#include <QInputDialog>
#include <QMenu>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>

using namespace WindowFixture;

namespace {

// Answers the factory password prompt with the given text.
void answerPasswordPrompt(const QString& text)
{
    QTimer::singleShot(50, [text] {
        auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return answerPasswordPrompt(text);
        dialog->setTextValue(text);
        dialog->accept();
    });
}

} // namespace

class TestMainWindowSetup : public QObject
{
    Q_OBJECT

private slots:
    void settingsAreApplied_data();
    void settingsAreApplied();
    void storedTimeoutSurvivesResets();
    void nonStandardBaudIsFlagged();
    void statusLabelMovesOnNarrowWindows_data();
    void statusLabelMovesOnNarrowWindows();
    void helpMenuOffersDriverCheckAndHidesFirmwareMenu();
    void preferencesOpenAFreshDialogDeletedOnClose();
    void portsFollowTheWatcher();

    void factoryModeWithPassword();
    void removingATabInFront_data();
    void removingATabInFront();
};

void TestMainWindowSetup::settingsAreApplied_data()
{
    QTest::addColumn<QVariantMap>("settings");
    QTest::addColumn<int>("timeout");
    QTest::addColumn<int>("baud");
    QTest::addColumn<bool>("factoryMode");

    QTest::newRow("no settings file") << QVariantMap() << 250 << 115200 << false;
    QTest::newRow("stored values") << QVariantMap{{"commTimeout", 600}, {"commBaudrate", 9600},
                                                  {"factoryMode", true}}
                                   << 600 << 9600 << true;
    QTest::newRow("unreadable values") << QVariantMap{{"commTimeout", "soon"}, {"commBaudrate", "fast"}, {"factoryMode", "abc"}}
                                       << 250 << 115200 << false;
    QTest::newRow("rate the port cannot take") << QVariantMap{{"commBaudrate", 12345}} << 250 << 115200
                                               << false;
    QTest::newRow("timeout of days, held to the dialog's limit") << QVariantMap{{"commTimeout", 2147483647}} << 60000 << 115200 << false;
    QTest::newRow("timeout too short for the rate")
        << QVariantMap{{"commTimeout", 10}, {"commBaudrate", 9600}} << 540 << 9600 << false;
}

void TestMainWindowSetup::settingsAreApplied()
{
    QFETCH(QVariantMap, settings);
    QFETCH(int, timeout);
    QFETCH(int, baud);
    QFETCH(bool, factoryMode);
    qunsetenv("KELVARA_EXTRA_PORTS");
    Workspace workspace(settings);
    MainWindow window;
    QCOMPARE(window.link()->getTimeoutTime(), timeout);
    QCOMPARE(int(window.link()->getBaud()), baud);
    QCOMPARE(window.findChild<QAction*>("factory_Mode")->isChecked(), factoryMode);
    // Nothing is written at start-up.
    QCOMPARE(QSettings(workspace.settingsPath(), QSettings::IniFormat).allKeys().size(), settings.size());
}

// The stored timeout is the link's default, which every reset returns to.
void TestMainWindowSetup::storedTimeoutSurvivesResets()
{
    Workspace workspace({{"commTimeout", 320}});
    MainWindow window;
    window.link()->setTimeoutTime(2000);
    window.link()->writeAll(); // nothing unsaved: only the timeout is reset
    QCOMPARE(window.link()->getTimeoutTime(), 320);
}

void TestMainWindowSetup::nonStandardBaudIsFlagged()
{
    Workspace workspace({{"commBaudrate", 57600}});
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* portLabel = window.findChild<QLabel*>("portLabel");
    // The label turns red once the controller counts as not connected.
    window.controllerDisconnected();
    QCOMPARE(portLabel->text(), QString("Serial Port:\nAlert: 57600 baud"));
    QCOMPARE(portLabel->styleSheet(), QString("QLabel {color: red;}"));
    QVERIFY(portLabel->toolTip().contains("non-standard (57600 bits/s)"));

    window.link()->setBaud(115200);
    window.controllerDisconnected();
    QCOMPARE(portLabel->text(), QString("Serial Port:"));
}

void TestMainWindowSetup::statusLabelMovesOnNarrowWindows_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("besideTabs");
    QTest::newRow("narrow") << 700 << false;
    QTest::newRow("wide") << 1200 << true;
}

void TestMainWindowSetup::statusLabelMovesOnNarrowWindows()
{
    QFETCH(int, width);
    QFETCH(bool, besideTabs);
    Workspace workspace;
    MainWindow window;
    window.setMinimumSize(0, 0);
    window.centralWidget()->setMinimumSize(0, 0);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.resize(width, 700);
    // A narrow window may not get narrower than its pages allow.
    QTRY_VERIFY(window.width() == width || (width < 800 && window.width() < 800));
    window.emitResizeEvent();
    // Beside the tabs from x 625 on, but never over the last tab or the
    // port label; above them at x 20 on a narrow window.
    auto* status = window.findChild<QLabel*>("statusLabel");
    auto* bar = window.findChild<QTabWidget*>("tabWidget")->tabBar();
    const QRect lastTab = bar->tabRect(bar->count() - 1).translated(bar->mapTo(&window, QPoint()));
    if (besideTabs) {
        QVERIFY(status->x() >= 625);
        QVERIFY(status->x() > lastTab.right());
        QVERIFY(status->geometry().right() < window.findChild<QLabel*>("portLabel")->x());
    } else {
        QCOMPARE(status->x(), 20);
        QVERIFY(status->geometry().bottom() < lastTab.top());
    }

    // The port controls sit right above the tab bar, the logo at its end.
    auto* tabs = window.findChild<QTabWidget*>("tabWidget");
    auto* logo = window.findChild<QLabel*>("logoLabel");
    const int right = tabs->mapTo(&window, QPoint(tabs->width() - 1, 0)).x();
    QCOMPARE(logo->geometry().right(), right);
    QCOMPARE(portBox(&window)->geometry().right(), logo->x() - 1);
}

void TestMainWindowSetup::helpMenuOffersDriverCheckAndHidesFirmwareMenu()
{
    Workspace workspace;
    MainWindow window;
    const auto helpActions = window.findChild<QMenu*>("menuHelp")->actions();
    QCOMPARE(helpActions.last()->text(), QString("&Check comm driver"));
    QVERIFY(!window.findChild<QMenu*>("menuFWVersion")->menuAction()->isVisible());
    QVERIFY(window.findChild<QAction*>("checkForUpdates")->isEnabled());
}

// Each opening builds a new, application-modal dialog without a parent;
// closing it frees it, so no closed dialog lingers on register 4.
void TestMainWindowSetup::preferencesOpenAFreshDialogDeletedOnClose()
{
    Workspace workspace;
    MainWindow window;
    auto openDialog = [&window] {
        window.findChild<QAction*>("actionPreferences")->trigger();
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == "CommTimeoutAdjust" && w->isVisible())
                return qobject_cast<QDialog*>(w);
        }
        return static_cast<QDialog*>(nullptr);
    };
    QPointer<QDialog> first = openDialog();
    QVERIFY(first);
    QCOMPARE(first->windowModality(), Qt::ApplicationModal);
    QVERIFY(!first->parentWidget());
    // Its explanation shows whole, down to "...until the controller is
    // power cycled."
    auto* explanation = first->findChild<QLabel*>("label_2");
    QTRY_VERIFY(explanation->height() >= explanation->heightForWidth(explanation->width()));
    first->reject();
    QTRY_VERIFY(first.isNull());

    QPointer<QDialog> second = openDialog();
    QVERIFY(second);
    second->accept();
    QTRY_VERIFY(second.isNull());
}

// A port that appears goes to the top and becomes current; one that
// vanishes leaves the list. The empty entry stays.
void TestMainWindowSetup::portsFollowTheWatcher()
{
    Workspace workspace;
    QTemporaryDir ports;
    const QString first = ports.filePath("portFirst");
    const QString second = ports.filePath("portSecond");
    QFile(first).open(QIODevice::WriteOnly);
    qputenv("KELVARA_EXTRA_PORTS", first.toLocal8Bit());
    MainWindow window;
    QComboBox* box = portBox(&window);
    QCOMPARE(box->itemText(0), QString());
    QCOMPARE(box->currentText(), QString());
    QVERIFY(box->findText(first) > 0);

    QVERIFY(choosePort(&window, first));
    QCOMPARE(window.link()->getPortName(), first);
    qputenv("KELVARA_EXTRA_PORTS", (first + ":" + second).toLocal8Bit());
    QFile(second).open(QIODevice::WriteOnly);
    QTRY_COMPARE_WITH_TIMEOUT(box->currentText(), second, 3000);
    QCOMPARE(box->itemText(0), second);
    QCOMPARE(window.link()->getPortName(), second);

    QFile::remove(second);
    QTRY_COMPARE_WITH_TIMEOUT(box->findText(second), -1, 3000);
    QVERIFY(box->findText(QString()) >= 0);
    QVERIFY(box->findText(first) >= 0);
    qunsetenv("KELVARA_EXTRA_PORTS");
}

// Against a controller whose type needs no Temperature page: the factory
// password brings the page back, anything else takes it away.
void TestMainWindowSetup::factoryModeWithPassword()
{
    Workspace workspace;
    auto simulator = startSimulator();
    QVERIFY(simulator);
    simulator->setRegisterValue(256, 5800);
    auto window = connectedWindow(simulator.get());
    QVERIFY(window);
    QVERIFY(!window->deviceModel()->needsTemperatureTab());
    auto* tabs = window->findChild<QTabWidget*>("tabWidget");
    auto* action = window->findChild<QAction*>("factory_Mode");
    QWidget* temperature = window->findChild<QWidget*>("temperatureScreen");
    QCOMPARE(tabs->indexOf(temperature), -1); // taken away by the read

    answerPasswordPrompt("quietlamb");
    action->trigger();
    QVERIFY(!action->isChecked());
    QCOMPARE(workspace.storedValue("factoryMode").toBool(), false);
    QCOMPARE(tabs->indexOf(temperature), -1);
    QCOMPARE(window->pasIndex(), 2);
    QCOMPARE(window->dashboardIndex(), 2);
    QCOMPARE(window->devIndex(), 3);

    answerPasswordPrompt("quietlamp");
    action->trigger();
    QVERIFY(action->isChecked());
    QCOMPARE(workspace.storedValue("factoryMode").toBool(), true);
    QCOMPARE(tabs->indexOf(temperature), 2);
    QCOMPARE(tabs->tabText(2), QString("Temperature"));
    QCOMPARE(window->pasIndex(), 3);
    QCOMPARE(window->dashboardIndex(), 3);
    QCOMPARE(window->devIndex(), 4);

    // Switching off asks nothing.
    ModalWatcher watcher;
    action->trigger();
    QVERIFY(!action->isChecked());
    QCOMPARE(watcher.count(), 0);
    QCOMPARE(workspace.storedValue("factoryMode").toBool(), false);
    QCOMPARE(tabs->indexOf(temperature), -1);
}

// Tab bookkeeping follows pages: the Temperature page going away in front
// of the current one neither stops the Dashboard's polling nor starts it.
void TestMainWindowSetup::removingATabInFront_data()
{
    QTest::addColumn<QString>("page");
    QTest::newRow("Dashboard keeps polling") << "dashboardScreen";
    QTest::newRow("Dev Screen starts none") << "devScreen";
}

void TestMainWindowSetup::removingATabInFront()
{
    QFETCH(QString, page);
    Workspace workspace({{"commTimeout", testTimeout}, {"factoryMode", true}});
    auto simulator = startSimulator();
    QVERIFY(simulator);
    simulator->setRegisterValue(256, 5800);
    auto window = connectedWindow(simulator.get());
    QVERIFY(window);
    auto* tabs = window->findChild<QTabWidget*>("tabWidget");
    auto* refresh = window->findChild<QTimer*>("dashboardRefreshTimer");
    auto* exportXML = window->findChild<QAction*>("exportXML");
    const bool dashboard = page == "dashboardScreen";

    tabs->setCurrentWidget(window->findChild<QWidget*>(page));
    QCOMPARE(refresh->isActive(), dashboard);
    window->findChild<QAction*>("factory_Mode")->trigger(); // off: the Temperature page goes
    QCOMPARE(tabs->currentWidget(), window->findChild<QWidget*>(page));
    QCOMPARE(refresh->isActive(), dashboard);
    QCOMPARE(exportXML->isEnabled(), !dashboard);

    tabs->setCurrentWidget(window->findChild<QWidget*>("releaseScreen"));
    QVERIFY(!refresh->isActive());
    QVERIFY(exportXML->isEnabled());
}

QTEST_MAIN(TestMainWindowSetup)
#include "tst_mainwindowsetup.moc"
