// The window's fonts on the platform a desktop user has: xcb, on an Xvfb of
// the test's own. The application style sheet names the font family for
// every widget; a sample of each page keeps the point size the form gives it.

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
