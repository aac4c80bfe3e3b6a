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
// the user has not clicked into. A box naming 40 values keeps to the screen
// with its details; every kind of box reads whole, centred over the window
// (BoxChecks), with short and long lists; the status text and a long maker's name show whole,
// each as its tooltip where the room cuts it; a stalled spin is explained;
// the logo is drawn for the screen's pixels.

#include "autotunelink.h"
#include "autotunewizard.h"
#include "boxchecks.h"
#include "customparameteredit.h"
#include "defaultimporter.h"
#include "dropdownwidths.h"
#include "dynamicautotune.h"
#include "draggablegraph.h"
#include "firmwaredownloader.h"
#include "firmwaredownloaderdialog.h"
#include "helpwindow.h"
#include "loopbackhttpserver.h"
#include "multislider.h"
#include "pathmessagebox.h"
#include "scenetext.h"
#include "screenfit.h"
#include "suitestartup.h"
#include "updatestesting.h"
#include "virtualdisplay.h"
#include "xmltranslatordialogs.h"
#include "windowfixture.h"

#include <QTextBrowser>
#include <QToolTip>

using namespace WindowFixture;
using BoxChecks::withFrame;

namespace {

// Set by main once the window manager runs.
bool windowManaged = false;
// The desktop's DPI and the screen's pixels, as main starts the display.
int desktopDpi = 96;
QSize screenPixels(1920, 1080);

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
    // Once the window has laid out what it shows: on a busy machine that
    // may follow its frame.
    static_cast<void>(QTest::qWaitFor([window] { return cutTexts(window).isEmpty(); }, 2000));
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

// The window shown as the program shows it, on the sample controller.
void showAsTheProgramDoes(MainWindow* window)
{
    qApp->setStyleSheet(SuiteStartup::styleSheet(SuiteStartup::registerSansFont()));
    ScreenFit::keepWithinScreen(window);
    window->show();
    window->emitResizeEvent();
}

// Writable registers that no formula refers to, each with a raw value
// beyond the suite's limits: as many as asked, in address order.
QMap<int, int> valuesBeyondLimits(Kelvara* model, int count)
{
    const QMap<int, Parameter*> parameters = model->getAllParameters();
    QSet<int> referenced;
    for (const Parameter* parameter : parameters) {
        for (const Parameter* other : parameter->referencedParameters())
            referenced << other->getAddress();
    }
    QMap<int, int> values;
    for (auto it = parameters.constBegin(); it != parameters.constEnd() && values.size() < count;
         ++it) {
        const Parameter* parameter = it.value();
        // Plain settings only: no command, identity or live register.
        if (it.key() < 100 || it.key() > 250 || parameter != model->getParameter(it.key())
            || !parameter->isWriteable() || parameter->getLevel() == 3
            || parameter->getType() != ParameterDefinition::TypeIndependent
            || referenced.contains(it.key()))
            continue;
        for (const int raw : {65535, 32767, 0}) {
            if (!parameter->isWithinLimits(raw)) {
                values.insert(it.key(), raw);
                break;
            }
        }
    }
    return values;
}

// The button's place on the screen, when the screen's available area does
// not hold it whole.
QStringList offScreen(const QAbstractButton* button)
{
    const QRect place(button->mapToGlobal(QPoint()), button->size());
    if (button->screen()->availableGeometry().contains(place))
        return {};
    return {
        QString("%1 at %2 %3 passes the screen").arg(button->text()).arg(place.x()).arg(place.y())};
}

// The tooltip a widget shows where the mouse rests on it.
QString toolTipShown(QWidget* widget)
{
    QToolTip::hideText();
    QHelpEvent rest(QEvent::ToolTip, QPoint(2, 2), widget->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(widget, &rest);
    const QString text = QToolTip::isVisible() ? QToolTip::text() : QString();
    QToolTip::hideText();
    return text;
}

// The status text beside the tabs or on a row of its own above them: clear
// of the tabs and the port label, whole where the window has room for it.
QStringList statusFaults(MainWindow* window)
{
    const auto* status = window->findChild<ElidedLabel*>("statusLabel");
    const auto* port = window->findChild<QLabel*>("portLabel");
    const QTabBar* tabs = window->findChild<QTabWidget*>("tabWidget")->tabBar();
    const QRect place(status->mapTo(window, QPoint()), status->size());
    const QRect tabsPlace(tabs->mapTo(window, QPoint()), tabs->size());
    QRect tabsTaken = tabsPlace;
    tabsTaken.setWidth(0);
    for (int i = 0; i < tabs->count(); ++i)
        tabsTaken |= tabs->tabRect(i).translated(tabsPlace.topLeft());
    QStringList faults;
    if (place.intersects(tabsTaken))
        faults << "the status text lies on the tabs";
    if (place.right() >= port->mapTo(window, QPoint()).x())
        faults << "the status text reaches the port label";
    if (status->shownText() != status->text())
        faults << QString("the status text shows \"%1\" of \"%2\" in %3 px")
                      .arg(status->shownText(), status->text())
                      .arg(status->width());
    return faults;
}

// Entries of a box's list as long as the suite's longest names give, or
// wider than any screen, each followed by the tail.
QString entries(int count, const QString& tail, bool wide = false)
{
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines << QString("Rated System Voltage (generally leave as-is) ").repeated(wide ? 8 : 1)
                + QString("(%1)").arg(70 + i) + tail;
    return ListMessageBox::listed(lines);
}

// Shows the box as the suite does, over the window.
void showBox(MainWindow* window, const QString& title, const QString& text)
{
    XMLTranslatorDialogs dialogs(window);
    if (title == "Save Error")
        window->motorRunningError();
    else if (title == "Select Export Type")
        dialogs.exportType();
    else if (title == "Caution!")
        dialogs.yesOrCancel(QMessageBox::Warning, title, text, text);
    else if (title == "Parameter File Imported")
        dialogs.showInformation(title, text);
    else if (title == "Error")
        dialogs.showError(text);
    else if (title.startsWith("Parameter Files Download"))
        PathMessageBox(QMessageBox::Warning, title, text, "\"/home/rider/.local/share/kelvara\"",
                       window)
            .exec();
    else
        window->errorPopup(title, text);
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
        watcher.onBox = [&faults, &window](QMessageBox* box) {
            faults << windowFaults(box);
            // The update check's, titled, over the window.
            if (box->text().contains("running the latest version")) {
                if (box->windowTitle() != "Updater" || box->parentWidget() != &window)
                    faults << "the update check's box \"" + box->windowTitle() + "\" has no window";
                // On a busy machine the box may be placed over the window
                // only after the manager framed it.
                static_cast<void>(QTest::qWaitFor(
                    [&] { return BoxChecks::boxFaults(box, &window).isEmpty(); }, 5000));
                faults << BoxChecks::boxFaults(box, &window);
            }
        };
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
        // The box opens over the window where the window manager put it,
        // as over the program's window, long placed when a download starts.
        QStringList faults = awaitFrame(&parent);
        FirmwareDownloader downloader(&parent, false);
        QSignalSpy succeeded(&downloader, &FirmwareDownloader::updateSuccess);
        QStringList closing;
        ModalWatcher watcher;
        watcher.onDialog = [](QWidget* dialog) {
            if (auto* brands = qobject_cast<FirmwareDownloaderDialog*>(dialog))
                brands->accept();
        };
        watcher.onBox = [&](QMessageBox* box) {
            if (!box->windowTitle().startsWith("Parameter Files Download"))
                return;
            faults << awaitFrame(box);
            static_cast<void>(QTest::qWaitFor(
                [&] { return BoxChecks::boxFaults(box, &parent).isEmpty(); }, 5000));
            faults << cutTexts(box) << BoxChecks::boxFaults(box, &parent);
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

    // A controller holding 40 registers beyond the suite's limits: the box
    // that names them keeps to the screen with its frame, its texts whole
    // and OK on the screen, also with its details shown, which list all 40.
    void boxOfFortyValuesKeepsToTheScreen()
    {
        SimulatedWindow f;
        QVERIFY(f.start({}, false));
        const QMap<int, int> outside = valuesBeyondLimits(f.model(), 40);
        QCOMPARE(outside.size(), 40);
        for (auto it = outside.constBegin(); it != outside.constEnd(); ++it)
            f.simulator->setRegisterValue(it.key(), it.value());
        showAsTheProgramDoes(f.window.get());
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        QStringList faults = awaitFrame(f.window.get());

        QString shown;
        QString details;
        ModalWatcher watcher;
        watcher.onBox = [&](QMessageBox* box) {
            if (box->windowTitle() != "Values Outside Limits")
                return;
            faults << windowFaults(box) << offScreen(box->button(QMessageBox::Ok));
            // A loaded machine's window manager may place the box a moment
            // after it shows.
            static_cast<void>(QTest::qWaitFor(
                [&] { return BoxChecks::boxFaults(box, f.window.get()).isEmpty(); }, 5000));
            faults << BoxChecks::boxFaults(box, f.window.get());
            QAbstractButton* more = nullptr;
            for (QAbstractButton* button : box->buttons()) {
                if (box->buttonRole(button) == QMessageBox::ActionRole)
                    more = button;
            }
            if (!more) {
                faults << "no details";
                return;
            }
            more->click();
            auto* list = box->findChild<QTextEdit*>();
            if (!QTest::qWaitFor([&] { return list->isVisible(); }, 5000))
                faults << "the details do not show";
            const QRect area = box->screen()->availableGeometry();
            if (!QTest::qWaitFor([&] { return area.contains(withFrame(box)); }, 5000))
                faults << "the box with its details passes the screen";
            faults << cutTexts(box) << offScreen(box->button(QMessageBox::Ok));
            shown = box->text();
            details = list->toPlainText();
        };
        QVERIFY(connectTo(f.window.get(), f.simulator.get()));
        QTRY_VERIFY_WITH_TIMEOUT(!shown.isEmpty() || !faults.isEmpty(), 10000);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join("\n")));
        QCOMPARE(watcher.titles().count("Values Outside Limits"), 1);
        const QStringList lines = shown.split('\n');
        const int named = lines.filter(QRegularExpression("^  .*: the controller holds")).size();
        QVERIFY2(named >= 1 && named <= 10, qPrintable(shown));
        QVERIFY2(lines.contains(QString("  ... and %1 more").arg(40 - named)), qPrintable(shown));
        const QStringList all = details.split('\n');
        QCOMPARE(all.size(), 40);
        for (auto it = outside.constBegin(); it != outside.constEnd(); ++it) {
            const QString name = f.model()->getParameter(it.key())->getName();
            QVERIFY2(!all.filter(QString("%1 (%2): the controller holds").arg(name).arg(it.key()))
                          .isEmpty(),
                     qPrintable(name));
        }
    }

    void boxesReadWhole_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        const QString file = "XML file \"/home/rider/Documents/Kelvara/setups/rear hub 500W.xml\"";
        const QString replaced =
            "12 unsaved changes were replaced by the controller's values.\n\n%1";
        const QString moved =
            "The file's values of these registers lie beyond their limits or what the register "
            "holds, or would break the order they keep with others: each is held where it keeps "
            "them, and Save Parameters will write them as they are now:\n%1";
        // Each kind of list box: its title, its text and what follows each entry.
        const QList<std::tuple<QString, QString, QString>> kinds{
            {"Another Controller",
             "A controller other than the one that was read answered, so nothing was written "
             "to it. Its values were read: "
                 + replaced,
             ""},
            {"Unsaved Changes Replaced",
             "The controller was connected again and its values were read: " + replaced, ""},
            {"Values Limited", moved, ": 100 V in the file, 90 V now"},
            {"Values Outside Limits",
             "The controller holds values beyond the limits of the suite:\n%1\n\nThe page "
             "shows the nearest limit, or no entry for a value a list does not name.",
             ": the controller holds 100 V, the page shows 90 V"},
            {"Parameter File Imported",
             "40 of the 41 entries of " + file + " could not be imported:\n%1\n\n" + file
                 + " holds commands, which were left out: a parameter file never commands the "
                   "controller.\n  Motor Command (480): a command",
             ": not a register of this suite"},
            {"Error",
             "No parameters were imported: no entry of " + file
                 + " is for a register this import changes.\n%1",
             ": the controller's identity"},
            {"Parameter Files Download Incomplete",
             "33 of 81 default parameter files were downloaded to the folder below.\n\n%1\n\n"
             "The dropdowns have been updated with the files that arrived.",
             ".xml: not a parameter file"}};
        for (const auto& [title, text, tail] : kinds) {
            for (const int count : {3, 40})
                QTest::addRow("%s, %d entries", qPrintable(title), count)
                    << title << text.arg(entries(count, tail));
        }
        QTest::newRow("entries wider than the screen")
            << "Values Limited" << moved.arg(entries(12, ": 100 V in the file", true));
        // Alike but for their last character, which must show.
        QStringList values;
        for (const char* last : {"1", "2"})
            values << "entry at line 8: Value \"" + QString(98, 'W') + last
                    + "\" is not a whole number";
        QTest::newRow("values without a break point") << "Parameter File Imported"
                                                      << "2 of the 3 entries of " + file
                + " could not be imported:\n" + ListMessageBox::listed(values);
        QTest::newRow("Write Fail") << "Write Fail"
                                    << "Communication fail. Could not write parameter(s) "
                                       "requested.\nError code: 3 Timeout";
        for (const char* title : {"Save Error", "Select Export Type", "Caution!"})
            QTest::newRow(title) << title << "Use caution when modifying Level 3 parameters.";
    }

    // Every kind of box reads whole over the window: texts wrapped to its
    // width, entries on one line where the screen has room, the box within
    // the screen and centred over the window, its buttons on the screen,
    // also with its details shown.
    void boxesReadWhole()
    {
        QFETCH(QString, title);
        QFETCH(QString, text);
        qunsetenv("KELVARA_EXTRA_PORTS");
        Workspace workspace;
        MainWindow window;
        SuiteStartup::showWindow(&window, SuiteStartup::registerSansFont());
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QStringList faults = awaitFrame(&window);
        ModalWatcher watcher;
        watcher.onBox = [&](QMessageBox* box) {
            faults << awaitFrame(box);
            // Once the box has answered the layout requests of its showing.
            static_cast<void>(QTest::qWaitFor(
                [&] { return BoxChecks::boxFaults(box, &window).isEmpty(); }, 5000));
            faults << BoxChecks::boxFaults(box, &window);
            for (const QAbstractButton* button : box->buttons())
                faults << offScreen(button);
            const auto* label = box->findChild<QLabel*>("qt_msgbox_label");
            const bool roomy =
                withFrame(box).width() < box->screen()->availableGeometry().width() - 40;
            for (const QString& line : box->text().split('\n')) {
                if (roomy && line.startsWith("  ")
                    && QFontMetricsF(label->font()).horizontalAdvance(line) >= label->width())
                    faults << QString("\"%1\" wraps in %2 px").arg(line).arg(label->width());
            }
            for (QAbstractButton* button : box->buttons()) {
                if (box->buttonRole(button) != QMessageBox::ActionRole)
                    continue;
                button->click(); // "Show Details..."
                static_cast<void>(QTest::qWaitFor(
                    [&] { return BoxChecks::boxFaults(box, nullptr).isEmpty(); }, 5000));
                faults << BoxChecks::boxFaults(box, nullptr)
                       << offScreen(box->button(QMessageBox::Ok));
            }
        };
        showBox(&window, title, text);
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(watcher.titles(), QStringList{title});
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join("\n")));
    }

    // The status text shows whole beside the tabs, or above them once the
    // PAS tab takes its room there; in a window too narrow even there, the
    // text cut shows whole as its tooltip.
    void statusTextWhole()
    {
        SimulatedWindow f;
        QVERIFY(f.start());
        showAsTheProgramDoes(f.window.get());
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        QStringList faults = awaitFrame(f.window.get());
        auto* status = f.window->findChild<ElidedLabel*>("statusLabel");
        QTRY_COMPARE(status->text(), QString("Ostrel V4 Trelby is connected"));
        QTRY_VERIFY2(statusFaults(f.window.get()).isEmpty(),
                     qPrintable(statusFaults(f.window.get()).join("\n")));
        f.window->findChild<QAction*>("show_pas_tab")->trigger();
        QVERIFY(f.find<QTabWidget>("tabWidget")->indexOf(f.find("pasScreen")) > 0);
        // The tabs move down once the window has laid them out again.
        QTRY_VERIFY2(statusFaults(f.window.get()).isEmpty(),
                     qPrintable(statusFaults(f.window.get()).join("\n")));
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join("\n")));

        f.window->resize(360, f.window->height());
        QTRY_VERIFY(status->shownText() != status->text());
        QCOMPARE(toolTipShown(status), status->text());
    }

    void longMakerNameShownWhole_data()
    {
        QTest::addColumn<QString>("maker");
        QTest::addColumn<bool>("roomForIt"); // on a screen 1024 pixels wide or more
        QTest::newRow("39 characters") << "Zhongshan Greenwheel Motor Works Co Ltd" << true;
        QTest::newRow("wider than the screen")
            << QString("Zhongshan Greenwheel Motor Works Co Ltd ").repeated(5).trimmed() << false;
    }

    // The defaults dialog's drop-downs widen to their longest name: a
    // maker's, and its models', which begin with it and differ at the end.
    // Where the screen has no room for a name, the dialog keeps to the
    // screen and the name shows whole as its tooltip, in the list too.
    void longMakerNameShownWhole()
    {
        QFETCH(QString, maker);
        QFETCH(bool, roomForIt);
        DownloadWorkspace workspace;
        const QStringList models{maker + " Rear Hub 500W.xml", maker + " Rear Hub 750W.xml"};
        for (const QString& model : models)
            workspace.put(maker + "/" + model, defaultFile(1));
        workspace.put("Alpha/A1.xml", defaultFile(2));
        workspace.put("Controller/C.xml", defaultFile(3));
        qApp->setStyleSheet(SuiteStartup::styleSheet(SuiteStartup::registerSansFont()));
        QWidget parent;
        parent.show();
        QStringList faults = awaitFrame(&parent);
        DefaultImporter dialog(&parent, nullptr, nullptr);
        dialog.show();
        faults << awaitFrame(&dialog);
        auto* makers = dialog.findChild<QComboBox*>("manufacturerBox");
        auto* modelBox = dialog.findChild<QComboBox*>("modelBox");
        makers->setCurrentIndex(makers->findText(maker));
        QCOMPARE(itemTexts(modelBox).mid(1), models);
        modelBox->setCurrentIndex(2);
        const QRect area = dialog.screen()->availableGeometry();
        QTRY_VERIFY2(area.contains(withFrame(&dialog)),
                     qPrintable(QString("%1 %2 %3 x %4 on %5 x %6")
                                    .arg(withFrame(&dialog).x())
                                    .arg(withFrame(&dialog).y())
                                    .arg(withFrame(&dialog).width())
                                    .arg(withFrame(&dialog).height())
                                    .arg(area.width())
                                    .arg(area.height())));
        // The dialog grows with them: none reaches past its edge.
        const auto outside = [&dialog, makers, modelBox] {
            QStringList past;
            for (const QComboBox* box : {makers, modelBox}) {
                if (!dialog.rect().contains(QRect(box->mapTo(&dialog, QPoint()), box->size())))
                    past << box->objectName() + " reaches past the dialog";
            }
            return past;
        };
        QTRY_VERIFY2(outside().isEmpty(), qPrintable(outside().join("\n")));
        if (roomForIt && area.width() >= 1024)
            QTRY_VERIFY2(cutTexts(&dialog).isEmpty(), qPrintable(cutTexts(&dialog).join("\n")));
        else if (!roomForIt)
            QTRY_VERIFY(!DropDownWidths::showsWhole(makers, maker));
        for (QComboBox* box : {makers, modelBox}) {
            const QString name = box->currentText();
            const bool whole = DropDownWidths::showsWhole(box, name);
            QCOMPARE(toolTipShown(box), whole ? QString() : name);
            if (!whole)
                QCOMPARE(box->itemData(box->currentIndex(), Qt::ToolTipRole).toString(), name);
        }
        // A short name needs no tooltip.
        QVERIFY(!makers->itemData(makers->findText("Alpha"), Qt::ToolTipRole).isValid());
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join("\n")));
    }

    // A motor that stalls sets no fault bit: the spinning test's page
    // explains the failure in its own words, whole on the page.
    void stalledSpinExplained()
    {
        SimulatedWindow f;
        QVERIFY(f.start());
        showAsTheProgramDoes(f.window.get());
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        MotorBehaviour motor = f.simulator->motorBehaviour();
        motor.stall = true;
        motor.spinMs = 1250;
        f.simulator->setMotorBehaviour(motor);
        QPointer<AutotuneWizard> wizard =
            new AutotuneWizard(f.model(), f.window->link(), f.window.get());
        // Test time 12 times faster: the stall watch (5 to 14 s) runs while
        // the spin lasts (15 s), whose end is seen before the 20 s limit.
        wizard->findChild<DynamicAutotune*>()->setClock(acceleratedClock(12));
        wizard->show();
        wizard->processNext();
        wizard->processNext();
        const auto shown = [&wizard](const QString& name) -> QWidget* {
            for (QWidget* widget : wizard->findChildren<QWidget*>(name)) {
                if (widget->isVisibleTo(wizard))
                    return widget;
            }
            return nullptr;
        };
        qobject_cast<QPushButton*>(shown("launch"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(shown("MotionFaultError"), 20000);
        QStringList faults = windowFaults(wizard);
        auto* text = qobject_cast<QTextBrowser*>(shown("faultText"));
        QVERIFY(text);
        QVERIFY2(text->toPlainText().startsWith(
                     "The spinning autotune test could not complete properly with these "
                     "starting parameters."),
                 qPrintable(text->toPlainText()));
        QVERIFY2(text->toPlainText().contains("likely need adjustment to suit your motor."),
                 qPrintable(text->toPlainText()));
        QTRY_COMPARE(text->verticalScrollBar()->maximum(), 0);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join("\n")));
        wizard->findChild<QPushButton*>("cancel")->click();
        QTRY_VERIFY(wizard.isNull());
    }

    void autotuneBoxesReadWhole_data()
    {
        QTest::addColumn<QString>("title");
        QTest::newRow("the motor runs as a test starts") << "Motor is Running";
        QTest::newRow("closed while a test runs") << "Continuing";
    }

    // The autotune's own boxes read whole and open over the wizard.
    void autotuneBoxesReadWhole()
    {
        QFETCH(QString, title);
        SimulatedWindow f;
        QVERIFY(f.start());
        showAsTheProgramDoes(f.window.get());
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        if (title == "Motor is Running")
            f.simulator->setTorqueCommand(500);
        QPointer<AutotuneWizard> wizard =
            new AutotuneWizard(f.model(), f.window->link(), f.window.get());
        wizard->show();
        QStringList faults = awaitFrame(wizard);
        bool seen = false;
        ModalWatcher watcher;
        watcher.onBox = [&](QMessageBox* box) {
            if (box->windowTitle() != title)
                return;
            seen = true;
            faults << awaitFrame(box);
            static_cast<void>(
                QTest::qWaitFor([&] { return BoxChecks::boxFaults(box, wizard).isEmpty(); }, 5000));
            faults << cutTexts(box) << BoxChecks::boxFaults(box, wizard);
            for (const QAbstractButton* button : box->buttons())
                faults << offScreen(button);
        };
        QPushButton* cancel = wizard->findChild<QPushButton*>("cancel");
        QPushButton* launch = nullptr;
        for (QPushButton* button : wizard->findChildren<QPushButton*>("launch")) {
            if (button->isVisibleTo(wizard))
                launch = button;
        }
        QVERIFY(launch && cancel);
        launch->click();
        if (title == "Continuing") {
            QTRY_VERIFY_WITH_TIMEOUT(!cancel->isEnabled(), 10000);
            wizard->close();
        }
        QTRY_VERIFY_WITH_TIMEOUT(seen, 20000);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join("\n")));
        QTRY_VERIFY_WITH_TIMEOUT(cancel->isEnabled(), 20000);
        cancel->click();
        QTRY_VERIFY(wizard.isNull());
    }

    // The logo is drawn for the screen's own pixels: as large as its
    // picture at 96 dpi times the fonts' scale, never a smaller picture
    // drawn larger.
    void logoDrawnForTheScreensPixels()
    {
        qunsetenv("KELVARA_EXTRA_PORTS");
        Workspace workspace;
        MainWindow window;
        SuiteStartup::showWindow(&window, SuiteStartup::registerSansFont());
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QPixmap logo = window.findChild<QLabel*>("logoLabel")->pixmap(Qt::ReturnByValue);
        const qreal ratio = window.devicePixelRatioF();
        QCOMPARE(logo.devicePixelRatio(), ratio);
        const QSizeF logical =
            QSizeF(QPixmap(":/tamsett_logo_revised.png").size()) * ScreenFit::factor();
        QCOMPARE(logo.size(), (logical * ratio).toSize());
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
