#ifndef DASHBOARDPLOT_H
#define DASHBOARDPLOT_H

#include "plottrace.h"

#include <QColor>
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QVector>
#include <QWidget>

#include <deque>
#include <map>
#include <utility>

class InterruptionMarks;
class Kelvara;
class KelvaraCom;
class QCPAxis;
class QCPGraph;
class QCPRange;
class QCustomPlot;
class QSaveFile;
class QTimer;

// Drives the Dashboard's live plot: while graphing runs, each sample adds the
// model's current value of every plotted register against time. Paused time
// is cut out of the time axis and the first sample after a pause draws a
// dashed vertical line with an "Interruption" legend row. Every sample can be
// exported as tab-separated text.
//
// A sample costs the same however long graphing has run and however often it
// was interrupted: the axes grow by the new values alone, each graph draws a
// bounded summary of its values (see PlotTrace), and one item draws the
// interruption marks (see InterruptionMarks).
//
// The plot widget belongs to the form; this object only drives it and is
// never shown itself.
class DashboardPlot : public QWidget
{
    Q_OBJECT

public:
    // com is held for the owner; nothing here talks to the controller.
    DashboardPlot(QWidget* parent, KelvaraCom* com, Kelvara* runner, QCustomPlot* plot);
    ~DashboardPlot() override;

    // One sample of every plotted register; nothing unless graphing runs.
    void readDashboardValues();

    // Each returns whether graphing ran, noting why it has to be paused;
    // the caller then pauses it with onGraphStartStopClicked().
    bool controllerDisconnected();
    bool changedFromDashboard();
    // Starts the sampling timer; true when graphing was interrupted by a
    // disconnection or tab change and autoResume is set.
    bool changedToDashboard(bool autoResume);
    bool getTabchangeOrDisconnect() const;
    void enableTimerStart(bool start);

    void hideDashParameter(int address);
    void showDashParameter(int address, QCPGraph* graph);

signals:
    void errorPopup(QString title, QString text);
    void startStopButtonText(QString text);
    void timeout();

public slots:
    void exportDashboardGraphData();
    void onGraphStartStopClicked();
    void clearGraphData();
    // Puts the register of a Dashboard row on the axis its chooser names.
    void dashboardAddRemovePlotParameter(QWidget* widget);
    void handleTimeout();

protected:
    // Milliseconds on a monotonic clock, so that a change of the wall clock
    // never bends the time axis.
    virtual qint64 nowMs() const;

private:
    // Keeps a margin above and below the data on the value axes.
    void keepDataOffBorders();
    void markInterruption(double time);
    void growAxes(QCPGraph* graph, double time, double value);
    void widenDataRange(const QCPAxis* axis, const QCPRange& range);
    void keepOffBorder(QCPAxis* axis);
    QColor takeColor();
    void returnColor(const QColor& color);
    QString exportText() const;
    void reportExportError(const QString& text, const QSaveFile& file);

    Kelvara* runner;
    KelvaraCom* com;
    QCustomPlot* plot;
    QTimer* timer;
    bool running = false;
    bool interruptPending = false;
    bool disconnectedWhileRunning = false;
    bool tabChangedWhileRunning = false;
    // Time 0 of the plot on nowMs(); meaningful once timeStarted.
    qint64 startMs = 0;
    bool timeStarted = false;
    qint64 pausedAtMs = 0;
    // Never drawn: lends its pen to the interruption marks and its legend row.
    QCPGraph* interruption = nullptr;
    InterruptionMarks* marks = nullptr;
    // The plotted registers by address, in the export's column order.
    std::map<int, PlotTrace> traces;
    std::deque<double> times;
    // The samples taken first after a pause, in order.
    QVector<int> interruptedSamples;
    QList<QColor> palette;
    // The lowest and highest value plotted on each value axis.
    std::map<const QCPAxis*, std::pair<double, double>> dataRanges;
    const int interruptKey = -1;
    QElapsedTimer clock;
};

#endif // DASHBOARDPLOT_H
