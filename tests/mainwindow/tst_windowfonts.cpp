// The window's fonts on the platform a desktop user has: xcb, on an Xvfb of
// the test's own. Every named label, button and drop-down of every page
// keeps the point size the form gives it, after the application style sheet
// that names the font family for every widget.

#include "suitestartup.h"
#include "ui_mainwindow.h"
#include "virtualdisplay.h"
#include "windowfixture.h"

using namespace WindowFixture;

namespace {

QMap<QString, qreal> pointSizes(const QWidget* top)
{
    QMap<QString, qreal> sizes;
    for (const QWidget* widget : top->findChildren<QWidget*>()) {
        if (!widget->objectName().isEmpty()
            && (qobject_cast<const QLabel*>(widget) || qobject_cast<const QAbstractButton*>(widget)
                || qobject_cast<const QComboBox*>(widget)))
            sizes.insert(widget->objectName(), widget->font().pointSizeF());
    }
    return sizes;
}

} // namespace

class TestWindowFonts : public QObject
{
    Q_OBJECT

private slots:
    void everyPageKeepsTheFormsSizes()
    {
        if (QGuiApplication::platformName() != "xcb")
            QSKIP("needs Xvfb (Debian package xvfb)");
        const QStringList pages = {"releaseScreen", "advancedScreen",  "temperatureScreen",
                                   "pasScreen",     "dashboardScreen", "devScreen"};
        QMap<QString, QMap<QString, qreal>> formSizes;
        {
            QMainWindow bare; // the form alone, before the style sheet, polished as when shown
            Ui_MainWindow form;
            form.setupUi(&bare);
            bare.ensurePolished();
            for (const QString& page : pages)
                formSizes.insert(page, pointSizes(bare.findChild<QWidget*>(page)));
            formSizes["tabBar"].insert("tabBar", form.tabWidget->tabBar()->font().pointSizeF());
        }
        qunsetenv("KELVARA_EXTRA_PORTS");
        Workspace workspace;
        MainWindow window;
        SuiteStartup::showWindow(&window, SuiteStartup::registerSansFont());
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* tabs = window.findChild<QTabWidget*>("tabWidget");
        for (const QString& page : pages) {
            QWidget* shown = window.findChild<QWidget*>(page);
            if (tabs->indexOf(shown) >= 0) // the PAS page may be out of the tabs
                tabs->setCurrentWidget(shown);
            shown->ensurePolished();
            const QMap<QString, qreal> expected = formSizes.value(page);
            const QMap<QString, qreal> actual = pointSizes(shown);
            QVERIFY(expected.size() > 5);
            for (auto it = expected.constBegin(); it != expected.constEnd(); ++it)
                QVERIFY2(qFuzzyCompare(actual.value(it.key()), it.value()), qPrintable(it.key()));
        }
        QCOMPARE(tabs->tabBar()->font().pointSizeF(), formSizes["tabBar"]["tabBar"]);
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
