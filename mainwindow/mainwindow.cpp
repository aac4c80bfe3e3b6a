// Construction and destruction of the main window: the form, the settings,
// the owned objects and their wiring, in the order later steps rely on.

#include "mainwindow.h"

#include "accesslevel.h"
#include "commandrunner.h"
#include "commtimeoutadjust.h"
#include "dashboardpage.h"
#include "dashboardplot.h"
#include "devscreen.h"
#include "elidedlabel.h"
#include "halltable.h"
#include "kelvara.h"
#include "kelvaracom.h"
#include "paspage.h"
#include "screenfit.h"
#include "serialportlistener.h"
#include "spinboxwrapper.h"
#include "temperaturepage.h"
#include "ui_mainwindow.h"
#include "urlopener.h"
#include "valuenotices.h"
#include "wheelguard.h"
#include "windowlessrun.h"
#include "xmltranslator.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDebug>
#include <QFontDatabase>
#include <QLabel>
#include <QMenuBar>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSettings>
#include <QSignalBlocker>
#include <QTextDocument>
#include <QTimer>

namespace {

const char* const settingsPath = "resources/preferences.ini";
const int defaultBaudRate = 115200;
// The wrappers of the PAS page's two assist-level boxes come last.
const int firstAssistLevelWrapper = 4;

// Sized once for the longest status text the label shows.
const char* const widestStatusText = "V4 Ostrel Trelby is connected";

const char* const logoPath = ":/tamsett_logo_revised.png";
// The same picture at four times its pixels.
const char* const largeLogoPath = ":/tamsett_logo_revised@4x.png";

// The logo as large beside the tabs as their fonts are (its size at 96 dpi
// times the scale), drawn for the screen's own pixels from the larger
// picture wherever it has more of them than the picture: sharp at any
// scale.
QPixmap logoPicture(double scale, qreal pixelRatio)
{
    const QPixmap picture(QString::fromLatin1(logoPath));
    const QSize pixels = (QSizeF(picture.size()) * scale * pixelRatio).toSize();
    if (picture.isNull() || pixels == picture.size())
        return picture;
    const QPixmap large(QString::fromLatin1(largeLogoPath));
    QPixmap sharp = (large.isNull() ? picture : large)
                        .scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    sharp.setDevicePixelRatio(pixelRatio);
    return sharp;
}

// A switch in the settings file is on only when it says so: a garbled value
// must not turn factory mode on.
bool storedSwitch(const QSettings& settings, const QString& key)
{
    const QString text = settings.value(key).toString().trimmed().toLower();
    return text == QLatin1String("true") || text == QLatin1String("1");
}

} // namespace

MainWindow::MainWindow(QWidget* parent, FirstPortScan firstScan)
    : QMainWindow(parent)
    , portScanAfterPaint(firstScan == FirstPortScan::AfterFirstPaint)
{
    // Before the form: its boxes are guarded as they are first shown.
    WheelGuard::install();
    ui = new Ui_MainWindow;
    ui->setupUi(this);
    scaleFixedSizesForScreen();
    ui->tabWidget->setDocumentMode(true);
    // The pages, not their indices, tell the tabs apart.
    temperaturePage = ui->temperatureScreen;
    pasPage = ui->pasScreen;
    dashboardPage = ui->dashboardScreen;
    devPage = ui->devScreen;
    temperatureTabTitle = ui->tabWidget->tabText(ui->tabWidget->indexOf(temperaturePage));
    pasTabTitle = ui->tabWidget->tabText(ui->tabWidget->indexOf(pasPage));

    settings = new QSettings(QString::fromLatin1(settingsPath), QSettings::IniFormat);
    commandRunner = std::make_unique<CommandRunner>();
    urlOpener = std::make_unique<UrlOpener>();

    createControlsAboveTabs();
    styleControlsAboveTabs();

    ui->replyText->setReadOnly(true);
    ui->replyText->setMaximumBlockCount(10000);

    createModelAndLink();
    createValueNotices();

    createEditorWindows();
    xml = new XMLTranslator(model, this);
    wirePageButtons();
    createDashboardPlot();
    wireMenuActions();
    wireReadCompletion();

    devScreen = new DevScreen(ui, model, com, monoFont, this);
    connect(devScreen, &DevScreen::valueRefused, this, &MainWindow::errorPopup);
    connect(devScreen, &DevScreen::keptValueReplaced, this, &MainWindow::errorPopup);

    connect(ui->tabWidget, &QTabWidget::currentChanged, this, &MainWindow::tabChanged);
    connect(model, &Kelvara::validated, this, &MainWindow::runnerValid);
    connect(com, &KelvaraCom::enableSaveButtons, this, &MainWindow::runnerValid);
    runnerValid(false);
    // The not-connected state is applied by a real change of the flag.
    connected = true;
    controllerConnectHelper(false, false, false);
    for (QPushButton* restore :
         {ui->restore, ui->restoreAdvanced, ui->restoreTemperature, ui->restorePedalAssist})
        restore->setEnabled(false);

    collectRows();
    applySettings();
    ui->factory_Mode->setChecked(storedSwitch(*settings, QStringLiteral("factoryMode")));

    temperature = new TemperaturePage(ui, model, com, this);
    bindRows();

    // Bound before the initial values arrive, so its thumbs start on them.
    ui->voltageCutoffSlider->initialize(model);
    // Every parameter holds a value before any controller is read.
    xml->importFromXML(QStringLiteral(":/InitialValues.xml"));

    connectPageHooks();
    createSpinBoxWrappers();
    createHallTable();
    dashboard->updateDashboardUI();
    menuBar()->raise();

    if (!pasTabShown)
        ui->tabWidget->removeTab(ui->tabWidget->indexOf(pasPage));
}

MainWindow::~MainWindow()
{
    qDeleteAll(spinBoxWrappers);
    delete ui;
    settings->sync();
    // Everything the window holds may use the device model and the settings
    // until it goes, so it goes first.
    deleteOwnedObjects();
    delete model;
    delete settings;
}

// In the order they were made; the base class keeps its own layout.
void MainWindow::deleteOwnedObjects()
{
    QVector<QPointer<QObject>> owned;
    for (QObject* child : children()) {
        if (child != layout())
            owned.append(child);
    }
    // One may take another with it: deleting a null pointer is harmless.
    for (const QPointer<QObject>& child : qAsConst(owned))
        delete child.data();
}

void MainWindow::createControlsAboveTabs()
{
    logoLabel = new QLabel(this);
    const QPixmap logo = logoPicture(ScreenFit::factor(), devicePixelRatioF());
    if (logo.isNull())
        qDebug() << "nullptr logo pixmap! Bad resource?";
    else
        logoLabel->setPixmap(logo);
    logoLabel->setObjectName(QStringLiteral("logoLabel"));
    logoLabel->resize(logoLabel->sizeHint());
    logoLabel->show();

    portBox = new QComboBox(this);
    portBox->setObjectName(QStringLiteral("portBox"));
    portBox->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    portBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    portBox->setToolTip(portToolTip());
    portBox->show();

    portLabel = new QLabel(tr("Serial Port:"), this);
    portLabel->setObjectName(QStringLiteral("portLabel"));
    // In points, so that it grows with the screen's DPI like the tabs.
    portLabel->setFont(QFont(QStringLiteral("Liberation Sans"), 10));
    portLabel->setToolTip(portToolTip());
    portLabel->resize(portLabel->sizeHint());
    portLabel->show();

    const int monoId =
        QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/LiberationMono-Regular.ttf"));
    monoFont = ui->replyText->document()->defaultFont();
    const QStringList monoFamilies = QFontDatabase::applicationFontFamilies(monoId);
    if (!monoFamilies.isEmpty())
        monoFont.setFamily(monoFamilies.first());

    statusLabel = new ElidedLabel(this);
    statusLabel->setObjectName(QStringLiteral("statusLabel"));
    statusLabel->setFont(QFont(QStringLiteral("Liberation Sans"), 13));
    statusLabel->setText(QString::fromLatin1(widestStatusText));
    statusLabel->resize(statusLabel->sizeHint());
    statusLabel->setWidestText(QString::fromLatin1(widestStatusText));
    statusLabel->clear();
    statusLabel->show();
}

QString MainWindow::portToolTip() const
{
    return tr("<p>Select the serial port of the USB serial cable that is plugged into the "
              "controller.</p>"
              "<p>Ports are scanned automatically: unplugging and replugging the USB serial cable "
              "shows which entry belongs to it.</p>"
              "<p>If no port shows up, install the USB serial VCP driver for the cable.</p>");
}

void MainWindow::createModelAndLink()
{
    model = new Kelvara();
    connect(model, &Kelvara::parameterIsOriginal, this, &MainWindow::markModifiedParameter);
    // What reads take from the page, told once they are over (endControllerRead()).
    connect(model, &Kelvara::unsavedValueReplaced, this,
            [this](int address) { controllerRead.noteReplaced(address); });
    connect(model, &Kelvara::unsavedValueMatched, this,
            [this](int address) { controllerRead.noteMatched(address); });
    connect(model, &Kelvara::keptValueReplaced, this, [this](int address) {
        if (controllerRead.noteKeptReplaced(address, ControllerIdentity::of(model)))
            devScreen->noteKeptReplaced(address);
    });
    connect(model, &Kelvara::firstReadValuesDropped, this, &MainWindow::setRestoreButtonsEnabled);

    portListener = new SerialPortListener();
    portListener->setParent(this);
    connect(portListener, &SerialPortListener::onDevicesConnected, this,
            &MainWindow::onDevicesConnected);
    connect(portListener, &SerialPortListener::onDevicesDisconnected, this,
            &MainWindow::onDevicesDisconnected);
    const bool skipBluetooth = !storedSwitch(*settings, QStringLiteral("enableMacBluetoothSerial"));
    if (portScanAfterPaint) {
        portListener->presetIgnoreBluetooth(skipBluetooth);
    } else {
        // Rescans at once, so the drop-down is filled from here on.
        portListener->setIgnoreBluetooth(skipBluetooth);
        portBox->setCurrentIndex(0);
    }

    com = new KelvaraCom(model);
    com->setParent(this);
    connect(portBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &MainWindow::onPortSelected);

    // A failure report runs from comError() to errorMessage().
    connect(com, &KelvaraCom::comError, this, [this] { ++failureReports; });
    connect(com, &KelvaraCom::replyProcessed, this, &MainWindow::updateReplyStatus);
    connect(com, &KelvaraCom::comError, this, &MainWindow::updateReplyStatus);
    connect(com, &KelvaraCom::timeoutOccured, this, [this] { showReplyStatus(true); });
    connect(com, &KelvaraCom::otherControllerAnswered, this,
            [this] { otherControllerAnswers = true; });
    connect(com, &KelvaraCom::errorMessage, this, &MainWindow::linkFailed);
    connect(com, &KelvaraCom::errorMessage, this, &MainWindow::showLinkFailure);
    connect(com, &KelvaraCom::comConnectError, this, &MainWindow::comConnectError);
    connect(com, &KelvaraCom::motorRunning, this, &MainWindow::motorRunningError);
    connect(com, &KelvaraCom::flashSaveComplete, this,
            [this] { controllerRead.noteFlashSaved(ControllerIdentity::of(model)); });
    // The stop an autotune test left owed may reach its controller once the
    // wizard has closed: the console says so.
    connect(com, &KelvaraCom::discoveryStopChanged, this, [this] {
        if (com->discoveryStopFate() == OwedStop::Fate::Delivered)
            setDevReplyText(tr("The motor test's stop reached the controller the test ran on, "
                               "which reported that its run has ended."));
    });
#ifdef Q_OS_MACOS
    // The check by itself is about the driver of macOS; the Help menu
    // offers it everywhere.
    connect(com, &KelvaraCom::macSlowFaultRead, this, &MainWindow::macSlowFaultRead);
#endif

    com->setCurrentPortName(portBox->currentText());
}

// Values beyond the limits after a read, and values the suite moved by
// itself, each told in a box of its own.
void MainWindow::createValueNotices()
{
    valueNotices = new ValueNotices(model, com, this);
    connect(valueNotices, &ValueNotices::notice, this,
            [this](const QString& title, const QString& text) {
                if (!windowless)
                    errorPopupHelper(title, text);
            });
}

void MainWindow::paintEvent(QPaintEvent* e)
{
    QMainWindow::paintEvent(e);
    if (portScanAfterPaint) {
        portScanAfterPaint = false;
        QTimer::singleShot(0, this, &MainWindow::fillPortsFirstTime);
    }
}

// Fills the drop-down as the scan while the window is built does: on its
// empty entry, which is no choice of a port.
void MainWindow::fillPortsFirstTime()
{
    const QSignalBlocker blocker(portBox);
    portListener->onTimerFired();
    portBox->setCurrentIndex(0);
}

void MainWindow::wirePageButtons()
{
    for (QPushButton* button : {ui->readAll, ui->readAllDev, ui->readAllAdvanced,
                                ui->readAllTemperature, ui->readAllPedalAssist})
        connect(button, &QPushButton::clicked, this, &MainWindow::onReadAllClicked);
    for (QPushButton* button :
         {ui->saveParamsBasic, ui->saveParamsAdvanced, ui->saveParamsTemperature,
          ui->saveParamsPedalAssist, ui->writeAllDev})
        connect(button, &QPushButton::clicked, com, &KelvaraCom::writeAll);
    for (QPushButton* button :
         {ui->restore, ui->restoreAdvanced, ui->restoreTemperature, ui->restorePedalAssist})
        connect(button, &QPushButton::clicked, this, &MainWindow::onRestoreClicked);
    for (QPushButton* button :
         {ui->importDefaultsButton, ui->importAdvancedDefaultsButton,
          ui->importDefaultsButtonTemperature, ui->importPedalAssistDefaultsButton})
        connect(button, &QPushButton::clicked, this, &MainWindow::launchDefaultChecker);
    connect(ui->autotuneWizard, &QPushButton::clicked, this, &MainWindow::launchAutotune);
}

// Makes the plot on the form's plot widget and the page that drives it.
void MainWindow::createDashboardPlot()
{
    // The plot paints all of itself each sample: nothing beneath it needs
    // painting first.
    ui->dashboardPlot->setAttribute(Qt::WA_OpaquePaintEvent);
    auto* plot = new DashboardPlot(this, com, model, ui->dashboardPlot);
    dashboard = new DashboardPage(ui, model, com, plot, tooltipManager, monoFont, this);
    connect(dashboard, &DashboardPage::firstReadWanted, this, &MainWindow::completeFirstRead);
}

void MainWindow::createHallTable()
{
    dashboard->setHallTable(new HallTable(this, ui->hallTableWidget, model));
}

void MainWindow::applySettings()
{
    const int baud = settings->contains(QStringLiteral("commBaudrate"))
        ? settings->value(QStringLiteral("commBaudrate"), QVariant()).toInt()
        : defaultBaudRate;
    // A rate the link refuses leaves it at the standard rate.
    com->setBaud(static_cast<qint32>(baud));
    // The stored timeout becomes the default, so the reset at the end of a
    // read-all keeps it. An edited file gets no more than the preferences
    // allow: a first wait of days looks like a hung program.
    bool stored = false;
    const int timeout = settings->value(QStringLiteral("commTimeout")).toInt(&stored);
    if (stored)
        com->setDefaultTimeout(CommTimeoutAdjust::boundedTimeout(timeout, com->getBaud()));
    else
        CommTimeoutAdjust::holdToRate(com, com->getBaud());
}

void MainWindow::bindRows()
{
    connectDisplayedParameters();
    connectAdvancedParameters();
    dashboard->connectDashboardParameters(dashboardWidgets);
    connectPedalAssistParameters();
    connectTemperatureParameters();
    connectFaultDisplay();
    accessLevel = new AccessLevel(ui, model, com, statusLabel, basicWidgets, advancedWidgets, this);
    initializePasDeviceList();
    pas = new PasPage(ui, model, com, pedalAssistWidgets, this);
    connect(pas, &PasPage::headingChanged, this, &MainWindow::showRowHeading);
    pas->initializePAS_UI();
}

// The torque the phase currents give, and the figures of the two assist
// levels of the PAS page.
void MainWindow::createSpinBoxWrappers()
{
    const struct
    {
        QDoubleSpinBox* reference;
        QDoubleSpinBox* target;
        SpinBoxWrapper::WrapperType type;
    } wrappers[] = {
        {ui->KvValue, ui->doubleSpinBox_6, SpinBoxWrapper::Torque},
        {ui->KvValue, ui->doubleSpinBox_7, SpinBoxWrapper::Torque},
        {ui->KvValue, ui->doubleSpinBox_23, SpinBoxWrapper::Torque},
        {ui->KvValue, ui->doubleSpinBox_27, SpinBoxWrapper::Torque},
        {ui->highAssistPowerPASSpinbox, ui->lowAssistPowerSpinbox, SpinBoxWrapper::Power},
        {ui->highAssistPowerPASSpinbox, ui->medAssistPowerSpinbox, SpinBoxWrapper::Power},
    };
    for (const auto& wrapper : wrappers)
        spinBoxWrappers << new SpinBoxWrapper(wrapper.reference, wrapper.target, wrapper.type);
    pas->setAssistLevelWrappers(spinBoxWrappers.mid(firstAssistLevelWrapper));
}

// The run reads and writes through the Dev Screen's fields; from here on
// the window shows no boxes and writes nothing of its own.
int MainWindow::windowlessRun(QCommandLineParser* parser)
{
    windowless = true;
    accessLevel->setWindowless(true);
    auto* run = new WindowlessRun(ui, model, com, devScreen, portBox, this);
    connect(run, &WindowlessRun::portChosen, this,
            [this] { disconnect(portListener, nullptr, this, nullptr); });
    connect(run, &WindowlessRun::finished, this, &MainWindow::exitWith);
    return run->windowlessRun(parser);
}

void MainWindow::exitWith(int code)
{
    // Queued, so that an outcome reported before the event loop runs still
    // ends it.
    QMetaObject::invokeMethod(
        qApp, [code] { QCoreApplication::exit(code); }, Qt::QueuedConnection);
}
