// The window on the platform a desktop user has: xcb, on an Xvfb of the
// test's own of KELVARA_TEST_SCREEN pixels (1920x1080 unless set) whose
// desktop asks for KELVARA_TEST_DPI (96 unless set; Xft.dpi, which the
// toolkit scales by unless QT_ENABLE_HIGHDPI_SCALING=0), with a window
// manager (openbox) that frames the windows. The style sheet's font family
// and the form's point sizes on every page; no two labels of a graph
// overlap, and the main window, every page and every window the menus open
// show their texts whole, no control squeezed, with their frames within the
// screen; a dialog too high for the screen scrolls, and so does the brand
// choice with 40 brands; the unsaved list fills its window, and the
// download's closing box names the store whole; the mouse wheel over boxes
// the user has not clicked into.

#include "autotunewizard.h"
#include "customparameteredit.h"
#include "draggablegraph.h"
#include "firmwaredownloader.h"
#include "firmwaredownloaderdialog.h"
#include "helpwindow.h"
#include "loopbackhttpserver.h"
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
// The desktop's DPI and the screen's pixels, as main starts the display.
int desktopDpi = 96;
QSize screenPixels(1920, 1080);

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

// A control the layout gave less height than a line of its text (the
// editors inside spin and combo boxes follow their box).
bool squeezed(const QWidget* widget)
{
    const QWidget* parent = widget->parentWidget();
    if (qobject_cast<const QAbstractSpinBox*>(parent) || qobject_cast<const QComboBox*>(parent))
        return false;
    const auto* button = qobject_cast<const QAbstractButton*>(widget);
    const bool control = (button && !button->text().isEmpty())
        || qobject_cast<const QComboBox*>(widget) || qobject_cast<const QAbstractSpinBox*>(widget)
        || qobject_cast<const QLineEdit*>(widget);
    return control && widget->height() < widget->fontMetrics().height();
}

// Widgets of the window whose text its geometry cuts or that it squeezes,
// and the window itself when it passes the screen's available area.
QStringList cutTexts(QWidget* window)
{
    QStringList cut;
    const QRect area = window->screen()->availableGeometry();
    if (!area.contains(withFrame(window))) {
        cut << QString("window %1 at %2 %3 x %4 %5 passes the screen's %6 x %7")
                   .arg(window->objectName())
                   .arg(withFrame(window).x())
                   .arg(withFrame(window).y())
                   .arg(withFrame(window).width())
                   .arg(withFrame(window).height())
                   .arg(area.width())
                   .arg(area.height());
    }
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(window) || widget->width() <= 0)
            continue;
        if (squeezed(widget))
            cut << named(widget) + QString(" squeezed to %1 px").arg(widget->height());
        const QFontMetrics metrics = widget->fontMetrics();
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            const bool whole = label->text().isEmpty() || !label->pixmap(Qt::ReturnByValue).isNull()
                || qobject_cast<ElidedLabel*>(label)
                // A pixel short is the rounding of a fractional scale.
                || (label->wordWrap() ? label->heightForWidth(label->width()) <= label->height() + 1
                                      : label->sizeHint().width() <= label->width() + 1);
            if (!whole)
                cut << named(label)
                        + QString(" %1 x %2 for %3 x %4")
                              .arg(label->width())
                              .arg(label->height())
                              .arg(label->sizeHint().width())
                              .arg(label->heightForWidth(label->width()));
        } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
            if (metrics.horizontalAdvance(button->text().remove('&')) > button->width())
                cut << named(button);
        } else if (auto* box = qobject_cast<QCheckBox*>(widget)) {
            if (!box->text().isEmpty() && box->sizeHint().width() > box->width())
                cut << named(box);
        } else if (auto* box = qobject_cast<QComboBox*>(widget)) {
            // The file dialog's folder box shortens its path in the middle.
            if (qobject_cast<QFileDialog*>(window) && box->objectName() == "lookInCombo")
                continue;
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

// Where the label names the path: whether a line of it ends elsewhere than
// after a separator. False when the label does not name it.
bool breaksWithinName(const QLabel* label, const QString& path)
{
    const QString text = label->text();
    QString joined = text;
    joined.remove('\n');
    const int start = joined.indexOf(path);
    if (start < 0)
        return false;
    int at = 0; // position in joined
    for (const QChar c : text) {
        if (c == '\n') {
            if (at > start && at < start + path.size() && path.at(at - start - 1) != '/')
                return true;
            continue;
        }
        ++at;
    }
    return false;
}

// A window's checks once the window manager has framed it.
QStringList windowFaults(QWidget* window)
{
    QStringList faults = awaitFrame(window);
    faults << cutTexts(window) << unfilledRoom(window);
    return faults;
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
    // The desktop's 1.25 and 1.5 stay fractions: the windows are laid out
    // on a screen of the pixels divided by them, not by 2.
    void scalesAsTheDesktopAsks()
    {
        if (QGuiApplication::platformName() != "xcb")
            QSKIP("needs Xvfb (Debian package xvfb)");
        const QScreen* screen = QGuiApplication::primaryScreen();
        const bool scaling = qEnvironmentVariable("QT_ENABLE_HIGHDPI_SCALING") != "0";
        const qreal factor = scaling ? desktopDpi / 96.0 : 1.0;
        QCOMPARE(screen->devicePixelRatio(), factor);
        QCOMPARE(screen->size(), (QSizeF(screenPixels) / factor).toSize());
        QCOMPARE(qRound(screen->logicalDotsPerInch()), scaling ? 96 : desktopDpi);
    }

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

    // The main window on the screen, every page with the PAS tab shown, and
    // every window the menus open: the custom editor with rows of each
    // kind and its picker, the autotune wizard's pages, the file dialogs,
    // the boxes of the update check and the driver check.
    void textsWholeAndGraphLabelsApart()
    {
        if (QGuiApplication::platformName() != "xcb")
            QSKIP("needs Xvfb (Debian package xvfb)");
        LoopbackHttpServer server;
        server.serve("/downloads/KELVARA/Kelvara_Versions.json",
                     R"({"updates": {"osx": {"latest-version": "1.8.0"}}})");
        qputenv("KELVARA_SERVER_URL", server.url().toLatin1());
        Workspace workspace;
        MainWindow window;
        SuiteStartup::showWindow(&window, SuiteStartup::registerSansFont());
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QStringList faults = awaitFrame(&window);
        window.findChild<QAction*>("show_pas_tab")->trigger();
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
        watcher.onBox = [&faults](QMessageBox* box) { faults << windowFaults(box); };
        watcher.onDialog = [&faults](QWidget* dialog) {
            faults << windowFaults(dialog);
            if (auto* wizard = qobject_cast<AutotuneWizard*>(dialog)) {
                // Its later pages: the warning, the spinning test, errors.
                for (const auto& next : std::initializer_list<std::function<void()>>{
                         [wizard] { wizard->processNext(); }, [wizard] { wizard->processNext(); },
                         [wizard] { wizard->comError(); },
                         [wizard] {
                             wizard->handleStaticErrors(StaticAutotune::ControllerFault);
                         }}) {
                    next();
                    faults << windowFaults(wizard);
                }
            }
            dialog->close();
        };
        window.findChild<CustomParameterEdit*>()->addSelectedParameters(
            {{71, -1}, {77, -1}, {212, 6}, {276, 0}});
        QAction* driverCheck = nullptr;
        for (QAction* action : window.findChildren<QAction*>()) {
            if (action->text() == "&Check comm driver")
                driverCheck = action;
        }
        QVERIFY(driverCheck);
        QList<QAction*> actions{driverCheck};
        for (const char* action :
             {"actionPreferences", "importDefaultXML", "editParameter", "actionAbout", "importXML",
              "exportXML", "advanced_Import", "advanced_Export", "factory_Mode", "checkForUpdates"})
            actions << window.findChild<QAction*>(action);
        for (QAction* action : qAsConst(actions)) {
            QVERIFY(action);
            if (!action->isEnabled()) // saving a file waits for a complete read
                continue;
            const int seen = watcher.count();
            action->trigger();
            QTRY_VERIFY_WITH_TIMEOUT(watcher.count() > seen && !QApplication::activeModalWidget(),
                                     10000);
        }
        // Disabled until a controller is connected; its pages need none.
        (new AutotuneWizard(window.deviceModel(), window.link(), &window))->exec();
        auto* custom = window.findChild<CustomParameterEdit*>();
        custom->show();
        custom->findChild<QPushButton*>("addParameters")->click();
        QTRY_VERIFY(custom->isHidden() && !QApplication::activeModalWidget());
        window.findChild<QPushButton*>("list_unsaved")->click();
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join("\n")));
        QVERIFY2(watcher.titles().contains("Custom Parameter Edit")
                     && watcher.titles().contains("Select Parameters"),
                 qPrintable(watcher.titles().join(", ")));

        // The help window is no dialog of its own kind: it opens beside.
        const QWidgetList before = QApplication::topLevelWidgets();
        window.findChild<QAction*>("actionHelp")->trigger();
        QWidget* help = nullptr;
        QTRY_VERIFY((help = [&before]() -> QWidget* {
            for (QWidget* shown : QApplication::topLevelWidgets()) {
                if (!before.contains(shown) && qobject_cast<HelpWindow*>(shown)
                    && shown->isVisible())
                    return shown;
            }
            return nullptr;
        }()));
        QCOMPARE(windowFaults(help), QStringList());
        help->close();
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

    // A dialog whose controls and wrapped texts need more height than the
    // screen has keeps to the screen; its content scrolls, nothing squeezed.
    void dialogTooHighForTheScreenScrolls()
    {
        QDialog dialog;
        auto* rows = new QVBoxLayout(&dialog);
        for (int i = 0; i < 30; ++i) {
            auto* label = new QLabel(QString("Row %1: a text long enough to wrap over more than "
                                             "one line in a dialog of this width.")
                                         .arg(i));
            label->setWordWrap(true);
            rows->addWidget(label);
            auto* box = new QComboBox;
            box->addItem(QString("Choice %1").arg(i));
            rows->addWidget(box);
        }
        rows->addWidget(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel));
        dialog.resize(400, 300);
        ScreenFit::fitToScreen(&dialog);
        dialog.show();
        QCOMPARE(windowFaults(&dialog), QStringList());
        auto* area = dialog.findChild<QScrollArea*>();
        QVERIFY(area);
        QTRY_VERIFY(area->verticalScrollBar()->maximum() > 0);
        QVERIFY(area->horizontalScrollBar()->maximum() == 0);
    }

    // The brand choice with 40 brands keeps to the screen with its text and
    // buttons; its list scrolls to every brand.
    void brandChoiceScrollsItsList()
    {
        DownloadWorkspace workspace;
        QStringList brands;
        for (int i = 1; i <= 40; ++i) {
            const QString brand = QString("Brand%1").arg(i, 2, 10, QChar('0'));
            brands << brand + "/";
            workspace.server.serve("/downloads/kl/" + brand.toUtf8() + "/",
                                   indexPage({brand + ".xml"}));
        }
        workspace.server.serve("/downloads/kl/", indexPage(brands));
        QWidget parent;
        parent.show();
        FirmwareDownloader downloader(&parent, false);
        QSignalSpy ended(&downloader, &FirmwareDownloader::updateSuccess);
        QStringList faults;
        int boxes = 0;
        ModalWatcher watcher;
        watcher.onDialog = [&](QWidget* dialog) {
            faults << windowFaults(dialog);
            boxes = dialog->findChildren<QCheckBox*>().size();
            auto* list = dialog->findChild<QScrollArea*>("scrollArea");
            const int rows = list->widget()->sizeHint().height();
            if (rows > list->viewport()->height() && list->verticalScrollBar()->maximum() == 0)
                faults << "the list neither shows nor scrolls to every brand";
            // Scrolling, it shows as many as the screen has room for.
            const auto spare = [dialog] {
                return dialog->screen()->availableGeometry().height() - withFrame(dialog).height();
            };
            if (list->verticalScrollBar()->maximum() > 0
                && !QTest::qWaitFor([&] { return spare() <= 2; }, 5000))
                faults << QString("the list scrolls with %1 px of the screen unused").arg(spare());
            if (list->viewport()->height()
                < list->widget()->layout()->itemAt(0)->sizeHint().height())
                faults << "the list shows no brand whole";
            dialog->close();
        };
        downloader.getFirmware();
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 20000);
        QCOMPARE(watcher.titles(), QStringList{"Download Default Parameters"});
        QCOMPARE(boxes, 41);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join("\n")));
    }

    void downloadBoxShowsTheStoreWhole_data()
    {
        QTest::addColumn<int>("folderLength");
        QTest::newRow("short store") << 0;
        QTest::newRow("176 characters or more") << 176;
    }

    // The box that closes a download names the store whole, broken into
    // lines only after separators, and shows its texts whole with its frame
    // within the screen.
    void downloadBoxShowsTheStoreWhole()
    {
        QFETCH(int, folderLength);
        DownloadWorkspace workspace;
        QString data = workspace.home.filePath("share");
        while (data.size() < folderLength)
            data += "/kelvara-default-parameter-files";
        qputenv("XDG_DATA_HOME", QFile::encodeName(data));
        QVERIFY(workspace.store().size() >= folderLength);
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
                if (label->isVisible() && label->text().remove('\n').contains(workspace.store()))
                    closing << label->text();
                if (breaksWithinName(label, workspace.store()))
                    faults << "the store's path breaks within a name in \"" + label->text() + "\"";
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
    if (qEnvironmentVariableIntValue("KELVARA_TEST_DPI") > 0)
        desktopDpi = qEnvironmentVariableIntValue("KELVARA_TEST_DPI");
    const QStringList pixels = qEnvironmentVariable("KELVARA_TEST_SCREEN").split('x');
    if (pixels.size() == 2)
        screenPixels = QSize(pixels.at(0).toInt(), pixels.at(1).toInt());
    VirtualDisplay display(desktopDpi, screenPixels);
    windowManaged = startManagedDisplay(&display);
    SuiteStartup::prepareApplication();
    QApplication app(argc, argv);
    TestWindowFonts test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_windowfonts.moc"
