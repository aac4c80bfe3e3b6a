// The window on the platform a desktop user has: xcb, on an Xvfb of the
// test's own. The style sheet's font family and the form's point sizes on
// every page; the mouse wheel over boxes the user has not clicked into.

#include "suitestartup.h"
#include "virtualdisplay.h"
#include "windowfixture.h"

using namespace WindowFixture;

class TestWindowFonts : public QObject
{
    Q_OBJECT

private slots:
    void everyPageKeepsTheFormsSizes()
    {
        if (QGuiApplication::platformName() != "xcb")
            QSKIP("needs Xvfb (Debian package xvfb)");
        // Page, widget, size: headings 12, rows their page's 11, the hall table 9.
        const QList<std::tuple<const char*, const char*, qreal>> samples = {
            {"releaseScreen", "motorLabel", 12},
            {"releaseScreen", "KvLabel", 11},
            {"advancedScreen", "label_56", 12},
            {"temperatureScreen", "label_temperatureparameters", 12},
            {"pasScreen", "label_102", 12},
            {"dashboardScreen", "hallTableWidget", 9},
            {"devScreen", "nameLabel", 11}};
        qunsetenv("KELVARA_EXTRA_PORTS");
        Workspace workspace;
        MainWindow window;
        SuiteStartup::showWindow(&window, SuiteStartup::registerSansFont());
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* tabs = window.findChild<QTabWidget*>("tabWidget");
        for (const auto& [page, name, size] : samples) {
            QWidget* shown = window.findChild<QWidget*>(page);
            if (tabs->indexOf(shown) >= 0) // the PAS page may be out of the tabs
                tabs->setCurrentWidget(shown);
            shown->ensurePolished();
            QCOMPARE(shown->findChild<QWidget*>(name)->font().pointSizeF(), size);
        }
        QCOMPARE(tabs->tabBar()->font().pointSizeF(), 12.0);
    }

    // Over a box not clicked into, the wheel scrolls the page; clicked into,
    // the box takes it.
    void wheelChangesOnlyABoxWithFocus()
    {
        SimulatedWindow f;
        QVERIFY(f.start());
        f.window->resize(1200, 500); // the page scrolls
        f.window->show();
        f.window->activateWindow(); // no window manager does it
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        QDoubleSpinBox* box = f.spin("displayParameters", 155); // Max Battery Current
        QScrollBar* bar = f.find<QScrollArea>("scrollArea")->verticalScrollBar();
        for (const bool focus : {false, true}) {
            if (focus)
                box->setFocus(Qt::MouseFocusReason); // as a click into it gives
            const int scrolled = bar->value();
            QWheelEvent wheel({}, {}, {}, {0, scrolled > 0 ? 120 : -120}, Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QSpontaneKeyEvent::setSpontaneous(&wheel); // as the platform delivers it
            qApp->notify(box->findChild<QLineEdit*>(), &wheel);
            QCOMPARE(bar->value() != scrolled, !focus);
            QCOMPARE(f.model()->getUnsavedValues().contains(155), focus);
        }
    }
};

int main(int argc, char* argv[])
{
    VirtualDisplay display;
    if (VirtualDisplay::isAvailable() && !display.start())
        qWarning("%s", qPrintable(display.errorString()));
    SuiteStartup::prepareApplication();
    QApplication app(argc, argv);
    TestWindowFonts test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_windowfonts.moc"
