// The page forms in the frame, what each page shows, and the fault and
// hall texts.
#include "autotunewizard.h"

#include "autotuneregisters.h"
#include "bitvector.h"
#include "hallchecker.h"
#include "kelvara.h"
#include "kelvaracom.h"
#include "numericconversion.h"
#include "parameter.h"
#include "screenfit.h"
#include "ui_autotunewizard.h"
#include "ui_calibrationcompleted.h"
#include "ui_commerror.h"
#include "ui_connectionerror.h"
#include "ui_faulterror.h"
#include "ui_motionfaulterror.h"
#include "ui_motionwarning.h"
#include "ui_secondautotunetest.h"
#include "ui_wizardinitialscreen.h"

#include <QDoubleSpinBox>
#include <QFont>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMap>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTextBrowser>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const int hallStates = 8;

const char* const overcurrentText =
    "*Phase Overcurrent Fault. The PLL and Current Regulator Bandwidth parameters may need to be "
    "increased, or the sensorless self start settings may need to be changed.";

// A cell's border and the room around its text, top and bottom together.
const int hallCellMargins = 6;
const char* const hallTableStyle =
    "QTableWidget\n{\noutline: none;\nborder: none;\nfont-size: 10pt;\n}"
    "\n\nQTableView::item\n{\ncolor: black;\nborder: 1px solid gray;\n}";

struct HallPattern
{
    int sectors[hallStates];
    const char* text;
};

const HallPattern knownPatterns[] = {
    {{15, 2, 4, 3, 0, 1, 5, 15},
     QT_TRANSLATE_NOOP("AutotuneWizard", "Bafang standard hall pattern detected.")},
    {{15, 3, 1, 2, 5, 4, 0, 15},
     QT_TRANSLATE_NOOP("AutotuneWizard", "eZee / Crystalyte standard hall pattern detected.")},
};

} // namespace

void AutotuneWizard::emptyMainFrame()
{
    QLayout* layout = ui->mainFrame->layout();
    currentPage = nullptr;
    if (!layout)
        return;
    while (QLayoutItem* item = layout->takeAt(0)) {
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        }
        delete item;
    }
    delete layout;
}

template<class Form>
void AutotuneWizard::showPage(Form& form)
{
    // A start still waiting for its torque read belongs to the page left.
    cancelMotorCheck();
    emptyMainFrame();
    auto* page = new QWidget;
    form.setupUi(page);
    auto* layout = new QVBoxLayout;
    layout->addWidget(page);
    ui->mainFrame->setLayout(layout);
    ScreenFit::keepFontSizes(ui->mainFrame);
    ScreenFit::scaleFixedSizes(page, ScreenFit::factor());
    // At once, not at the next pass of the event loop.
    page->show();
    currentPage = page;
    fitHeightToContent();
}

// Wrapped texts at larger fonts may need more height than the dialog was
// made with: it grows to show them whole, but not past the screen, where
// its content scrolls instead.
void AutotuneWizard::fitHeightToContent()
{
    ScreenFit::fitToScreen(this);
}

template<class Form>
void AutotuneWizard::showErrorPage(Form& form, PageState state)
{
    setBusy(false, true);
    ui->next->setEnabled(false);
    showPage(form);
    pageState = state;
}

void AutotuneWizard::displayFirstTest()
{
    setBusy(false, false);
    ui->next->setText(tr("Next >"));
    ui->subtitle->setText(tr("Step 1 - Motor Winding Static Test"));
    Ui::WizardInitialScreen form;
    showPage(form);
    connectInputsAndDisplays();
    pageState = FirstPage;
    connect(form.launch, &QPushButton::clicked, this, &AutotuneWizard::startStaticTest);
    form.results->hide();
}

void AutotuneWizard::displayMotionWarning()
{
    pageState = WarningPage;
    setBusy(false, true);
    ui->next->setText(tr("Next >"));
    ui->subtitle->setText(tr("Step 2 - Spinning Motor Test"));
    Ui::MotionWarning form;
    showPage(form);
}

void AutotuneWizard::displaySecondTest()
{
    setBusy(false, true);
    ui->next->setText(tr("Next >"));
    ui->subtitle->setText(tr("Step 2 - Spinning Motor Test"));
    Ui::SecondAutotuneTest form;
    showPage(form);
    connectInputsAndDisplays();
    pageState = SpinningPage;
    connect(form.launch, &QPushButton::clicked, this, &AutotuneWizard::startDynamicTest);
    initializeTableWidget();
    form.results->hide();
}

void AutotuneWizard::displayCompletion()
{
    pageState = ClosingPage;
    ui->next->setText(tr("Finish"));
    ui->subtitle->setText(tr("Done"));
    Ui::CalibrationCompleted form;
    showPage(form);
}

void AutotuneWizard::connectInputsAndDisplays()
{
    if (!currentPage)
        return;
    const auto boxes = currentPage->findChildren<QDoubleSpinBox*>();
    for (QDoubleSpinBox* box : boxes) {
        const QVariant address = box->property("address");
        if (address.isValid())
            runner->getParameter(address.toInt())->connectDisplay(box);
    }
}

void AutotuneWizard::initializeTableWidget()
{
    auto* table = pageWidget<QTableWidget>(QStringLiteral("hallTable"));
    if (!table)
        return;
    table->setRowCount(2);
    table->setColumnCount(hallStates);
    for (QHeaderView* header : {table->horizontalHeader(), table->verticalHeader()}) {
        header->hide();
        header->setSectionResizeMode(QHeaderView::Stretch);
    }
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setStyleSheet(QLatin1String(hallTableStyle));
    // The rows share the table's height and the first holds two lines
    // ("Hall" over "[0]"): at larger fonts a page with more text above
    // would squeeze them into one.
    table->ensurePolished();
    table->setMinimumHeight(2 * (2 * table->fontMetrics().lineSpacing() + hallCellMargins));
    for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < hallStates; ++column) {
            auto* item = new QTableWidgetItem(row == 0 ? QStringLiteral("Hall [%1]").arg(column)
                                                       : QStringLiteral(" "));
            item->setTextAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
            table->setItem(row, column, item);
        }
    }
    table->setEnabled(false);
}

void AutotuneWizard::finishedDiscoverDynamicAutotune()
{
    disconnectTest();
    pageState = SpinningPage;
    HallChecker* hc = dynamicAutotune->getHallChecker();
    auto* offsetWidget = pageWidget<QWidget>(QStringLiteral("hallOffsetWidget"));
    auto* statusText = pageWidget<QLabel>(QStringLiteral("hallStatusText"));
    auto* warning = pageWidget<QLabel>(QStringLiteral("hallWarning"));
    if (offsetWidget && statusText && warning) {
        if (!hc->isHallFailure()) {
            if (auto* offset = pageWidget<QLabel>(QStringLiteral("hallOffsetValue_2")))
                offset->setText(QString::number(hc->getHallOffSet(), 'g', 6)
                                + QStringLiteral(" degrees"));
            offsetWidget->show();
            warning->hide();
        } else {
            offsetWidget->hide();
            warning->setText(hc->getWarningText());
            warning->show();
        }
        statusText->setText(hc->getStatusText());
        statusText->adjustSize();
    }
    showFinished();
    setBusy(false, true);
    populateHallInformation();
    if (auto* results = pageWidget<QWidget>(QStringLiteral("results")))
        results->show();
    fitHeightToContent();
}

void AutotuneWizard::populateHallInformation()
{
    auto* table = pageWidget<QTableWidget>(QStringLiteral("hallTable"));
    auto* patternLabel = pageWidget<QLabel>(QStringLiteral("hallStandardLabel"));
    int sectors[hallStates];
    for (int state = 0; state < hallStates; ++state) {
        sectors[state] = truncateToInt(
            runner->getParameter(AutotuneRegister::LearntHallSectors + state)->getValue());
        const bool valid = sectors[state] >= 0 && sectors[state] <= 5;
        if (table && table->item(1, state))
            table->item(1, state)->setText(valid ? QString::number(sectors[state])
                                                 : QStringLiteral("-"));
    }
    QString text = tr("Detected Hall Pattern:");
    for (const HallPattern& pattern : knownPatterns) {
        if (std::equal(sectors, sectors + hallStates, pattern.sectors))
            text = tr(pattern.text);
    }
    if (patternLabel)
        patternLabel->setText(text);
}

void AutotuneWizard::comError()
{
    Ui::CommError form;
    showErrorPage(form, CommErrorPage);
}

// The cable moved to another controller during the test: nothing of the
// test reached it, and the one tested is out of reach. A run it was left
// in is stopped once it answers again (KelvaraCom::stopDiscoveryRun()).
void AutotuneWizard::controllerChanged(bool runMayGoOn)
{
    comError();
    QString text = tr("Another controller answers than the one the test was started on: the test "
                      "was stopped, and nothing of it was written to the controller that answers.");
    if (runMayGoOn)
        text += tr(" The controller the test was started on may still be running the motor: the "
                   "stop will be sent to it as soon as it is identified again. Switch that "
                   "controller off before you touch the motor or the wheel.");
    noteOnPage(QStringLiteral("controllerNote"), text);
    if (runMayGoOn)
        followStop();
}

void AutotuneWizard::connectionError()
{
    Ui::ConnectionError form;
    showErrorPage(form, MotorNotDetectedPage);
}

void AutotuneWizard::faultError()
{
    Ui::FaultError form;
    showErrorPage(form, FaultPage);
    form.faultDescriptionLabel->setText(getFaultText());
    form.faultDescriptionLabel->updateGeometry();
}

void AutotuneWizard::motionFaultError(QString* prefix)
{
    Ui::MotionFaultError form;
    showErrorPage(form, MotionFaultPage);
    if (prefix) {
        prefix->append(getFaultText());
        form.faultText->setPlainText(*prefix);
    } else {
        form.faultText->setPlainText(getFaultText());
    }
    form.faultText->updateGeometry();
    ui->back->setText(tr("Retest"));
    connect(form.saveValues, &QPushButton::clicked, com, &KelvaraCom::writeAll);
    connect(form.clearFaults, &QPushButton::clicked, this, &AutotuneWizard::onclearFaults_clicked);
    bindMotionFaultRows();
}

// A stall, or a phase without current, sets no fault bit: where none
// explains the failure, the spinning test's own explanation does.
void AutotuneWizard::showMotionFault()
{
    QString explanation = dynamicAutotune->getErrorMessage().trimmed();
    if (explanation.isEmpty() || !getFaultText().isEmpty())
        motionFaultError(nullptr);
    else
        motionFaultError(&explanation);
}

// The rows carry their register on the row widget. The boxes take their
// range from the parameter as they are bound, so a value beyond a fixed
// range is neither clamped nor written back.
void AutotuneWizard::bindMotionFaultRows()
{
    QMap<int, QWidget*> rows;
    const auto widgets = currentPage->findChildren<QWidget*>();
    for (QWidget* widget : widgets) {
        bool isNumber = false;
        const int address = widget->property("address").toInt(&isNumber);
        if (isNumber)
            rows.insert(address, widget);
    }
    for (auto it = rows.constBegin(); it != rows.constEnd(); ++it) {
        Parameter* p = runner->getParameter(it.key());
        if (auto* label = it.value()->findChild<QLabel*>()) {
            label->setText(p->getName() + QStringLiteral("**"));
            label->setMinimumWidth(label->sizeHint().width());
            label->setText(p->getName());
            label->setToolTip(p->getTooltip());
        }
        if (auto* box = it.value()->findChild<QDoubleSpinBox*>())
            p->connectDisplay(box);
    }
}

QString AutotuneWizard::getFaultText()
{
    QString text;
    bool overcurrentShown = false;
    for (const int address : {AutotuneRegister::Faults, AutotuneRegister::Faults2}) {
        Parameter* parameter = runner->getParameter(address);
        if (parameter->getType() != ParameterDefinition::TypeBitVector)
            continue;
        auto* faults = static_cast<BitVector*>(parameter);
        const QMap<int, QString>* bits = faults->getBitDefs();
        if (!bits)
            continue;
        for (auto bit = bits->constBegin(); bit != bits->constEnd(); ++bit) {
            if (!faults->getBit(bit.key()))
                continue;
            if (!text.isEmpty())
                text += QLatin1Char('\n');
            const bool overcurrent =
                address == AutotuneRegister::Faults && (bit.key() == 1 || bit.key() == 9);
            if (overcurrent && !overcurrentShown) {
                text += tr(overcurrentText);
                overcurrentShown = true;
            } else {
                text += QLatin1Char('*') + bit.value();
            }
        }
    }
    return text;
}

void AutotuneWizard::phaseErrorHelper()
{
    const QString message = dynamicAutotune->getErrorMessage();
    if (message.contains(QStringLiteral("No phase currents detected")))
        connectionError();
    else
        phaseError(message);
}

void AutotuneWizard::phaseError(QString phase)
{
    connectionError();
    if (auto* heading = pageWidget<QLabel>(QStringLiteral("label")))
        heading->setText(tr("Motor Connection Error"));
    if (auto* text = pageWidget<QLabel>(QStringLiteral("label_2")))
        text->setText(phaseErrorString(phase));
}

// A line below the page's own content.
void AutotuneWizard::noteOnPage(const QString& objectName, const QString& text)
{
    if (!currentPage)
        return;
    auto* note = new QLabel(text);
    note->setObjectName(objectName);
    note->setWordWrap(true);
    note->setFont(QFont(QStringLiteral("Liberation Sans"), 11));
    note->setStyleSheet(QStringLiteral("color: red"));
    if (auto* box = qobject_cast<QBoxLayout*>(currentPage->layout()))
        box->insertWidget(box->count() - 1, note);
    else if (auto* grid = qobject_cast<QGridLayout*>(currentPage->layout()))
        grid->addWidget(note, grid->rowCount(), 0);
    note->show();
    notes << note;
}

void AutotuneWizard::setNoteOnPage(const QString& objectName, const QString& text)
{
    auto* note = pageWidget<QLabel>(objectName);
    if (note && text.isEmpty())
        delete note;
    else if (note)
        note->setText(text);
    else if (!text.isEmpty())
        noteOnPage(objectName, text);
}

// What a note said of an earlier run is out of date once a new run starts.
void AutotuneWizard::removeNotes()
{
    disconnect(com, &KelvaraCom::discoveryStopChanged, this, &AutotuneWizard::showStopFate);
    for (const QPointer<QLabel>& note : qAsConst(notes))
        delete note.data();
    notes.clear();
}

// Only what the model really marks: a value the link never wrote is not
// named as left unsaved.
void AutotuneWizard::noteUnsavedValues(const QList<int>& addresses)
{
    const QMap<int, int> unsaved = runner->getUnsavedValues();
    QList<int> marked;
    QStringList names;
    for (const int address : addresses) {
        if (!unsaved.contains(address))
            continue;
        marked << address;
        names << runner->getParameter(address)->getName();
    }
    if (names.isEmpty())
        return;
    noteOnPage(QStringLiteral("unsavedNote"),
               tr("Not saved to the controller's flash: %1. These values stay marked ** until you "
                  "save them.")
                   .arg(names.join(QStringLiteral(", "))));
    emit toldStayMarked(marked);
}
