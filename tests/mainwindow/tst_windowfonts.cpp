// The window's fonts on the platform a desktop user has: xcb, on an Xvfb of
// the test's own. Every label, button, check box and drop-down of every
// page keeps the point size the form gives it (inherited from its page,
// 11 points, where it sets none), after the application style sheet that
// names the font family for every widget.

#include "suitestartup.h"
#include "ui_mainwindow.h"
#include "virtualdisplay.h"
#include "windowfixture.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QTabBar>
#include <QTabWidget>

#include <memory>

using namespace WindowFixture;

namespace {

const QStringList pages = {"releaseScreen", "advancedScreen", "temperatureScreen",
                           "pasScreen", "dashboardScreen", "devScreen"};

bool isCompared(const QWidget* widget)
{
    return !widget->objectName().isEmpty()
        && (qobject_cast<const QLabel*>(widget) || qobject_cast<const QAbstractButton*>(widget)
            || qobject_cast<const QComboBox*>(widget));
}

// Point sizes by object name, below one page.
QMap<QString, qreal> pointSizes(const QWidget* page)
{
    QMap<QString, qreal> sizes;
    const auto widgets = page->findChildren<QWidget*>();
    for (const QWidget* widget : widgets) {
        if (isCompared(widget))
            sizes.insert(widget->objectName(), widget->font().pointSizeF());
    }
    return sizes;
}

} // namespace

class TestWindowFonts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void everyPageKeepsTheFormsSizes_data();
    void everyPageKeepsTheFormsSizes();

private:
    QMap<QString, QMap<QString, qreal>> formSizes;
    std::unique_ptr<Workspace> workspace;
    std::unique_ptr<MainWindow> window;
};

void TestWindowFonts::initTestCase()
{
    if (QGuiApplication::platformName() != "xcb")
        QSKIP("needs Xvfb (Debian package xvfb)");
    {
        // The form alone, without a style sheet, polished as when shown.
        QMainWindow bare;
        Ui_MainWindow form;
        form.setupUi(&bare);
        bare.ensurePolished();
        for (const QString& page : pages)
            formSizes.insert(page, pointSizes(bare.findChild<QWidget*>(page)));
        formSizes["tabBar"].insert("tabBar", form.tabWidget->tabBar()->font().pointSizeF());
    }
    qunsetenv("KELVARA_EXTRA_PORTS");
    workspace = std::make_unique<Workspace>();
    window = std::make_unique<MainWindow>();
    SuiteStartup::showWindow(window.get(), SuiteStartup::registerSansFont());
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void TestWindowFonts::cleanupTestCase()
{
    window.reset();
    workspace.reset();
}

void TestWindowFonts::everyPageKeepsTheFormsSizes_data()
{
    QTest::addColumn<QString>("page");
    for (const QString& page : pages)
        QTest::newRow(qPrintable(page)) << page;
}

void TestWindowFonts::everyPageKeepsTheFormsSizes()
{
    QFETCH(QString, page);
    auto* tabs = window->findChild<QTabWidget*>("tabWidget");
    QWidget* shown = window->findChild<QWidget*>(page);
    if (tabs->indexOf(shown) >= 0)
        tabs->setCurrentWidget(shown);
    // What showing a page does; the PAS page may be out of the tabs.
    shown->ensurePolished();
    QCOMPARE(tabs->tabBar()->font().pointSizeF(), formSizes["tabBar"]["tabBar"]);

    const QMap<QString, qreal> expected = formSizes.value(page);
    const QMap<QString, qreal> actual = pointSizes(shown);
    QVERIFY(expected.size() > 5);
    for (auto it = expected.constBegin(); it != expected.constEnd(); ++it)
        QVERIFY2(qFuzzyCompare(actual.value(it.key()), it.value()),
                 qPrintable(QString("%1: %2 pt, the form gives %3").arg(it.key()).arg(actual.value(it.key())).arg(it.value())));
}

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
