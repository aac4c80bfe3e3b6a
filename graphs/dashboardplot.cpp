#include "dashboardplot.h"

#include "interruptionmarks.h"
#include "kelvara.h"
#include "parameter.h"
#include "pathmessagebox.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QSaveFile>
#include <QTimer>
#include <qcustomplot.h>

namespace {

const int samplingInterval = 350;

// Colours of newly plotted registers, handed out from the front.
const QList<QColor> graphColours = {
    Qt::red,      Qt::blue,        Qt::green,      Qt::cyan,      Qt::magenta,
    Qt::yellow,   Qt::black,       Qt::darkRed,    Qt::darkGreen, Qt::darkBlue,
    Qt::darkCyan, Qt::darkMagenta, Qt::darkYellow, Qt::gray,
};
// For a register plotted when every colour is taken; never put back.
const QColor spareColour = Qt::darkGray;

enum AxisChoice { NotPlotted, LeftAxis, RightAxis };

QString exportNumber(double value)
{
    return QString::number(value, 'g', 6);
}

} // namespace

DashboardPlot::DashboardPlot(QWidget* parent, KelvaraCom* com, Kelvara* runner, QCustomPlot* plot)
    : QWidget(parent)
    , runner(runner)
    , com(com)
    , plot(plot)
    , timer(new QTimer(this))
    , palette(graphColours)
{
    // Only a driver: kept from showing up as an empty child of the window.
    hide();
    clock.start();
    timer->setInterval(samplingInterval);
    connect(timer, &QTimer::timeout, this, &DashboardPlot::handleTimeout);

    plot->yAxis2->setVisible(true);
    plot->yAxis->setRange(0, 1);
    plot->yAxis2->setRange(0, 1);
    plot->legend->setVisible(true);
    plot->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignLeft | Qt::AlignTop);

    interruption = plot->addGraph(plot->xAxis, plot->yAxis);
    interruption->setLineStyle(QCPGraph::lsImpulse);
    interruption->setName(tr("Interruption"));
    interruption->setPen(
        QPen(QBrush(Qt::black, Qt::SolidPattern), 0, Qt::DashLine, Qt::RoundCap, Qt::RoundJoin));
    interruption->setVisible(false);
    interruption->removeFromLegend();
    marks = new InterruptionMarks(plot, plot->xAxis);
    marks->setPen(interruption->pen());

    emit startStopButtonText(tr("Start Graph"));
}

// The graphs and marks belong to the plot widget, which may be gone already.
DashboardPlot::~DashboardPlot()
{
    delete timer;
}

qint64 DashboardPlot::nowMs() const
{
    return clock.elapsed();
}

void DashboardPlot::handleTimeout()
{
    emit timeout();
}

void DashboardPlot::enableTimerStart(bool start)
{
    if (start)
        timer->start();
    else
        timer->stop();
}

bool DashboardPlot::changedToDashboard(bool autoResume)
{
    timer->start();
    running = false;
    return getTabchangeOrDisconnect() && autoResume;
}

bool DashboardPlot::changedFromDashboard()
{
    timer->stop();
    if (running)
        tabChangedWhileRunning = true;
    return running;
}

bool DashboardPlot::controllerDisconnected()
{
    if (running)
        disconnectedWhileRunning = true;
    return running;
}

bool DashboardPlot::getTabchangeOrDisconnect() const
{
    return disconnectedWhileRunning || tabChangedWhileRunning;
}

void DashboardPlot::onGraphStartStopClicked()
{
    running = !running;
    const qint64 now = nowMs();
    if (running) {
        disconnectedWhileRunning = false;
        tabChangedWhileRunning = false;
        // A resumption moves time 0 on by the length of the pause.
        startMs = timeStarted ? now - pausedAtMs + startMs : now;
        timeStarted = true;
        emit startStopButtonText(tr("Pause Graphing"));
    } else {
        interruptPending = true;
        pausedAtMs = now;
        emit startStopButtonText(tr("Resume Graphing"));
    }
}

void DashboardPlot::readDashboardValues()
{
    if (!running)
        return;
    const double time = (nowMs() - startMs) / 1000.0;
    times.push_back(time);
    if (interruptPending) {
        markInterruption(time);
        interruptedSamples.append(int(times.size()) - 1);
        interruptPending = false;
    }
    for (auto& [address, trace] : traces) {
        const double value = runner->getParameter(address)->getValue();
        trace.append(value, times);
        growAxes(trace.graph(), time, value);
    }
    // Drawn as the event loop turns: samples that come in a burst (the
    // first after a busy spell) cost one drawing.
    plot->replot(QCustomPlot::rpQueuedReplot);
}

// The axes already hold every earlier point: the new one alone can widen
// them.
void DashboardPlot::growAxes(QCPGraph* graph, double time, double value)
{
    QCPRange keys = graph->keyAxis()->range();
    keys.expand(time);
    graph->keyAxis()->setRange(keys);
    if (!qIsFinite(value))
        return;
    QCPAxis* axis = graph->valueAxis();
    widenDataRange(axis, QCPRange(value, value));
    keepOffBorder(axis);
}

// After the graphs changed: the values every graph of an axis holds, taken
// anew.
void DashboardPlot::keepDataOffBorders()
{
    dataRanges.clear();
    for (QCPAxis* axis : {plot->yAxis, plot->yAxis2}) {
        for (QCPGraph* graph : axis->graphs()) {
            bool found = false;
            const QCPRange range = graph->getValueRange(found);
            if (!found)
                continue;
            widenDataRange(axis, range);
        }
        keepOffBorder(axis);
    }
}

void DashboardPlot::widenDataRange(const QCPAxis* axis, const QCPRange& range)
{
    const auto known = dataRanges.find(axis);
    if (known == dataRanges.end()) {
        dataRanges.emplace(axis, std::make_pair(range.lower, range.upper));
        return;
    }
    known->second.first = qMin(known->second.first, range.lower);
    known->second.second = qMax(known->second.second, range.upper);
}

// A flat line (a steady 52 V) would lie on the plot's top border, where it
// is hard to see: the value axis reaches a twentieth of the data's span (of
// its value, for a flat line) beyond the data on both sides.
void DashboardPlot::keepOffBorder(QCPAxis* axis)
{
    const auto known = dataRanges.find(axis);
    if (known == dataRanges.end())
        return;
    const QCPRange data(known->second.first, known->second.second);
    const double span = data.size() > 0 ? data.size() : qMax(qAbs(data.upper), 1.0);
    QCPRange range = axis->range();
    range.expand(QCPRange(data.lower - span / 20, data.upper + span / 20));
    axis->setRange(range);
}

void DashboardPlot::markInterruption(double time)
{
    marks->append(time);

    // The legend row lands last; it heads the legend instead.
    if (interruption->addToLegend()) {
        QCPLegend* legend = plot->legend;
        legend->insertRow(0);
        legend->addElement(0, 0, legend->takeAt(legend->itemCount() - 1));
        legend->simplify();
    }
}

void DashboardPlot::dashboardAddRemovePlotParameter(QWidget* widget)
{
    if (!widget)
        return;
    const int address = widget->property("address").toInt();
    if (address == interruptKey)
        return;
    const auto* chooser = widget->findChild<QComboBox*>();
    const int axis = chooser ? chooser->currentIndex() : NotPlotted;

    hideDashParameter(address);
    if (axis == LeftAxis || axis == RightAxis) {
        QCPAxis* valueAxis = axis == LeftAxis ? plot->yAxis : plot->yAxis2;
        showDashParameter(address, plot->addGraph(plot->xAxis, valueAxis));
    }
    plot->rescaleAxes(false);
    keepDataOffBorders();
    plot->replot(QCustomPlot::rpRefreshHint);
}

void DashboardPlot::showDashParameter(int address, QCPGraph* graph)
{
    if (!graph || address == interruptKey)
        return;
    hideDashParameter(address);
    graph->setName(runner->getParameter(address)->getName());
    graph->setPen(QPen(takeColor()));
    traces.emplace(address, PlotTrace(graph, int(times.size())));
}

void DashboardPlot::hideDashParameter(int address)
{
    const auto found = traces.find(address);
    if (found == traces.end())
        return;
    QCPGraph* graph = found->second.graph();
    traces.erase(found);
    returnColor(graph->pen().color());
    plot->removeGraph(graph);
}

QColor DashboardPlot::takeColor()
{
    return palette.isEmpty() ? spareColour : palette.takeFirst();
}

void DashboardPlot::returnColor(const QColor& color)
{
    if (color != spareColour)
        palette.prepend(color);
}

void DashboardPlot::clearGraphData()
{
    if (!running)
        emit startStopButtonText(tr("Start Graph"));
    marks->clear();
    interruptPending = false;
    interruption->removeFromLegend();

    for (auto& entry : traces)
        entry.second.clear();
    interruptedSamples.clear();
    times.clear();
    dataRanges.clear();

    plot->yAxis->setRange(0, 1);
    plot->yAxis2->setRange(0, 1);
    plot->xAxis->setRange(0, 5);
    // Running on, the time axis restarts at 0 at once; paused, at the next start.
    startMs = running ? nowMs() : 0;
    timeStarted = running;
    plot->replot(QCustomPlot::rpRefreshHint);
}

// A header line of the columns, then one line per sample; every cell ends
// with a tab and a column is empty for samples taken before it was plotted.
QString DashboardPlot::exportText() const
{
    QString text = QStringLiteral("Time(s)\tInterrupted\t");
    for (const auto& entry : traces) {
        const Parameter* parameter = runner->getParameter(entry.first);
        text += parameter->getName() + '(' + parameter->getUnits() + QStringLiteral(")\t");
    }
    text += '\n';
    auto interrupted = interruptedSamples.cbegin();
    for (int sample = 0; sample < int(times.size()); ++sample) {
        const bool first = interrupted != interruptedSamples.cend() && *interrupted == sample;
        if (first)
            ++interrupted;
        text += exportNumber(times[sample]) + '\t' + (first ? '1' : '0') + '\t';
        for (const auto& entry : traces) {
            if (entry.second.hasSample(sample))
                text += exportNumber(entry.second.value(sample));
            text += '\t';
        }
        text += '\n';
    }
    return text;
}

void DashboardPlot::exportDashboardGraphData()
{
    const QString text = exportText();
    const QString fileName = QFileDialog::getSaveFileName(
        plot->parentWidget(), tr("Export to Tab Separated Values File"),
        QStringLiteral("Kelvara Plot.txt"), tr("Text files (*.txt);"));
    if (fileName.isEmpty())
        return;

    // Written aside and put in place only when complete, so a full disk
    // leaves no half file and is reported.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        reportExportError(tr("Failed to open file"), file);
        return;
    }
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.commit())
        reportExportError(tr("Failed to write file"), file);
}

// The window shows no error boxes while the Dashboard is current, so the
// export shows its own.
void DashboardPlot::reportExportError(const QString& text, const QSaveFile& file)
{
    const QString title = tr("Export Error");
    emit errorPopup(title, text);
    PathMessageBox box(QMessageBox::Warning, title, text,
                       QDir::toNativeSeparators(file.fileName()) + QStringLiteral(": ")
                           + file.errorString(),
                       plot->parentWidget());
    box.exec();
}
