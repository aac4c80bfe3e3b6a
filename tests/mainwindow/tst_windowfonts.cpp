// The window on the platform a desktop user has: xcb, on a 1920 x 1080
// Xvfb of the test's own at the DPI of KELVARA_TEST_DPI (96 unless set),
// with a window manager (openbox) that frames the windows. The style
// sheet's font family and the form's point sizes on every page; no two
// labels of a graph overlap, and every page and dialog shows its texts
// whole with its frame within the screen; the unsaved list fills its
// window, and the download's closing box names the store whole; the mouse
// wheel over boxes the user has not clicked into.

#include "draggablegraph.h"
#include "firmwaredownloader.h"
#include "firmwaredownloaderdialog.h"
#include "multislider.h"
#include "scenetext.h"
#include "screenfit.h"
#include "suitestartup.h"
#include "updatestesting.h"
#include "virtualdisplay.h"
#include "windowfixture.h"

using namespace WindowFixture;

namespace {

// Set by main once the window manager runs.
bool windowManaged = false;

// The window with the frame the window manager put around it: the platform
// hears of a frame before the widget does.
QRect withFrame(const QWidget* window)
{
    const QWindow* handle = window->windowHandle();
    return handle ? window->geometry().marginsAdded(handle->frameMargins()) : window->geometry();
}

QString named(const QWidget* widget)
{
    return widget->objectName() + " \"" + widget->property("text").toString() + "\"";
}

// Widgets of the window whose text its geometry cuts, and the window
// itself when it passes the screen's available area.
QStringList cutTexts(QWidget* window)
{
    QStringList cut;
    if (!window->screen()->availableGeometry().contains(withFrame(window)))
        cut << "window " + window->objectName();
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(window) || widget->width() <= 0)
            continue;
        const QFontMetrics metrics = widget->fontMetrics();
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            const bool whole = label->text().isEmpty() || !label->pixmap(Qt::ReturnByValue).isNull()
                || qobject_cast<ElidedLabel*>(label)
                || (label->wordWrap() ? label->heightForWidth(label->width()) <= label->height()
                                      : label->sizeHint().width() <= label->width() + 1);
            if (!whole)
                cut << named(label);
        } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
            if (metrics.horizontalAdvance(button->text().remove('&')) > button->width())
                cut << named(button);
        } else if (auto* box = qobject_cast<QComboBox*>(widget)) {
            QStyleOptionComboBox option;
            option.initFrom(box);
            const int room = box->style()
                                 ->subControlRect(QStyle::CC_ComboBox, &option,
                                                  QStyle::SC_ComboBoxEditField, box)
                                 .width();
            for (int i = 0; i < box->count(); ++i) {
                if (metrics.horizontalAdvance(box->itemText(i)) > room)
                    cut << box->objectName() + " \"" + box->itemText(i) + "\"";
            }
        }
    }
    return cut;
}

// Starts the display and its window manager; false when frames cannot be
// checked (the desktop cases skip without Xvfb).
bool startManagedDisplay(VirtualDisplay* display)
{
    if (!VirtualDisplay::isAvailable())
        return false;
    const char* missing = "frames not checked: no window manager (Debian package openbox)";
    if (!display->start() || !VirtualDisplay::hasWindowManager()
        || !display->startWindowManager()) {
        qWarning("%s",
                 display->errorString().isEmpty() ? missing : qPrintable(display->errorString()));
        return false;
    }
    return true;
}

// Waits for the window manager to frame and place a window just shown;
// the window when it gets no frame.
QStringList awaitFrame(QWidget* window)
{
    if (!windowManaged || QGuiApplication::platformName() != "xcb") {
        QTest::qWait(50);
        return {};
    }
    if (!QTest::qWaitFor([window] { return withFrame(window) != window->geometry(); }, 5000))
        return {"window " + window->objectName() + " got no frame"};
    // A window the manager placed partly off the screen may still be moved;
    // cutTexts tells one that stays so.
    const QRect area = window->screen()->availableGeometry();
    static_cast<void>(QTest::qWaitFor([&] { return area.contains(withFrame(window)); }, 5000));
    return {};
}

// The unsaved list's box and label leave no more of their window free,
// right of and below them, than their layout's margins.
QStringList unfilledRoom(QWidget* window)
{
    auto* box = window->findChild<QTextEdit*>("unsaved_list");
    if (!box)
        return {};
    QRect filled;
    for (QWidget* widget :
         box->parentWidget()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (widget->isVisibleTo(window))
            filled |= QRect(widget->mapTo(window, QPoint()), widget->size());
    }
    const QMargins margins = box->parentWidget()->layout()->contentsMargins();
    const int slack = 4; // the form's container ends a few pixels short
    const int right = window->width() - filled.right() - 1;
    const int below = window->height() - filled.bottom() - 1;
    if (right <= margins.right() + slack && below <= margins.bottom() + slack)
        return {};
    return {QString("unsaved_list leaves %1 px right and %2 px below free").arg(right).arg(below)};
}

// The label's lines as wide as it is: whether one of them ends inside
// part of its text.
bool breaksWithin(const QLabel* label, const QString& part)
{
    const int start = label->text().indexOf(part);
    if (start < 0 || !label->wordWrap())
        return false; // unwrapped, a cut line is what cutTexts finds
    // Wrapped at word boundaries, as the label does.
    QTextLayout layout(QString(label->text()).replace('\n', QChar::LineSeparator), label->font());
    const int width =
        label->contentsRect().width() - 2 * label->margin() - qMax(0, label->indent());
    bool broken = false;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        const int end = line.textStart() + line.textLength();
        broken = broken || (end > start && end < start + part.size());
    }
    layout.endLayout();
    return broken;
}

// Pairs of overlapping label rectangles.
QStringList overlaps(const QString& name, const QList<QRectF>& texts)
{
    QStringList found;
    for (int i = 0; i < texts.size(); ++i) {
        for (int j = i + 1; j < texts.size(); ++j) {
            if (texts[i].intersects(texts[j]))
                found << QString("%1: labels %2 and %3").arg(name).arg(i).arg(j);
        }
    }
    return found;
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

    // Every page with the PAS tab shown, every dialog the window opens.
    void textsWholeAndGraphLabelsApart()
    {
        if (QGuiApplication::platformName() != "xcb")
            QSKIP("needs Xvfb (Debian package xvfb)");
        QCOMPARE(QGuiApplication::primaryScreen()->size(), QSize(1920, 1080));
        Workspace workspace;
        MainWindow window;
        SuiteStartup::showWindow(&window, SuiteStartup::registerSansFont());
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.findChild<QAction*>("show_pas_tab")->trigger();
        QStringList faults;
        auto* tabs = window.findChild<QTabWidget*>("tabWidget");
        for (int index = 0; index < tabs->count(); ++index) {
            tabs->setCurrentIndex(index);
            QTest::qWait(50);
            faults << cutTexts(&window);
        }
        for (const DraggableGraph* graph : window.findChildren<DraggableGraph*>())
            faults << overlaps(graph->windowTitle(), graph->sceneTexts());
        for (const MultiSlider* slider : window.findChildren<MultiSlider*>())
            faults << overlaps(slider->objectName(), SceneText::sceneTexts(slider));

        ModalWatcher watcher;
        watcher.onDialog = [&faults](QWidget* dialog) {
            faults << awaitFrame(dialog) << cutTexts(dialog) << unfilledRoom(dialog);
            dialog->close();
        };
        for (const char* action : {"actionPreferences", "importDefaultXML", "editParameter",
                                   "actionAbout", "autotuneAction"}) {
            window.findChild<QAction*>(action)->trigger();
            QTRY_VERIFY(!QApplication::activeModalWidget());
        }
        window.findChild<QPushButton*>("list_unsaved")->click();
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(watcher.count(), 6);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join("\n")));
    }

    // Fitted while no window shows the frame the window manager will put
    // around it, a dialog as high as the screen keeps room for one.
    void dialogFittedBeforeAnyFrameKeepsRoomForOne()
    {
        if (!windowManaged || QGuiApplication::platformName() != "xcb")
            QSKIP("needs a window manager (Debian package openbox) on Xvfb");
        QDialog dialog;
        dialog.resize(600, 1080);
        ScreenFit::fitToScreen(&dialog);
        dialog.show();
        QCOMPARE(awaitFrame(&dialog), QStringList());
        QCOMPARE(cutTexts(&dialog), QStringList());
    }

    // The box that closes a download names the store on one line, and
    // shows its texts whole with its frame within the screen.
    void downloadBoxShowsTheStoreWhole()
    {
        DownloadWorkspace workspace;
        workspace.server.serve("/downloads/kl/", indexPage({"Yoro/"}));
        workspace.server.serve("/downloads/kl/Yoro/", indexPage({"Y1.xml"}));
        workspace.server.serve("/downloads/kl/Yoro/Y1.xml", defaultFile(1));
        QWidget parent;
        parent.show();
        FirmwareDownloader downloader(&parent, false);
        QSignalSpy succeeded(&downloader, &FirmwareDownloader::updateSuccess);
        QStringList faults;
        QStringList closing;
        ModalWatcher watcher;
        watcher.onDialog = [](QWidget* dialog) {
            if (auto* brands = qobject_cast<FirmwareDownloaderDialog*>(dialog))
                brands->accept();
        };
        watcher.onBox = [&](QMessageBox* box) {
            if (!box->windowTitle().startsWith("Parameter Files Download"))
                return;
            faults << awaitFrame(box) << cutTexts(box);
            for (const QLabel* label : box->findChildren<QLabel*>()) {
                if (label->isVisible() && label->text().contains(workspace.store()))
                    closing << label->text();
                if (breaksWithin(label, workspace.store()))
                    faults << "the store's path breaks in \"" + label->text() + "\"";
            }
        };
        downloader.getFirmware();
        QTRY_COMPARE_WITH_TIMEOUT(succeeded.count(), 1, 8000);
        QCOMPARE(watcher.titles().last(), "Parameter Files Download Complete");
        QCOMPARE(closing.size(), 1);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join("\n")));
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
    VirtualDisplay display(qEnvironmentVariableIntValue("KELVARA_TEST_DPI") > 0
                               ? qEnvironmentVariableIntValue("KELVARA_TEST_DPI")
                               : 96);
    windowManaged = startManagedDisplay(&display);
    SuiteStartup::prepareApplication();
    QApplication app(argc, argv);
    TestWindowFonts test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_windowfonts.moc"
