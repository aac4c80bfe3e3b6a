// The live plot's pauses and its export, on a clock the test sets.

#include "dashboardplot.h"
#include "kelvara.h"
#include "modalwatcher.h"
#include "parameter.h"
#include "plottrace.h"

#include <QtTest>
#include <qcustomplot.h>

#include <optional>

struct ClockedPlot : DashboardPlot
{
    using DashboardPlot::DashboardPlot;
    qint64 now = 0;
    qint64 nowMs() const override { return now; }
};

class TestDashboardPlot : public QObject
{
    Q_OBJECT

private slots:
    void pausedTimeIsCutOutAndMarked()
    {
        Kelvara model;
        model.getParameter(266)->setRegisterValue(123);
        model.getParameter(261)->setRegisterValue(25);
        QWidget window;
        auto* surface = new QCustomPlot(&window);
        auto* plot = new ClockedPlot(&window, nullptr, &model, surface);
        QStringList buttonTexts;
        connect(plot, &DashboardPlot::startStopButtonText,
                [&](QString text) { buttonTexts << text; });
        auto plotRow = [&](int address, int axis) {
            auto* row = new QWidget(&window);
            row->setProperty("address", address);
            (new QComboBox(row))->addItems({"Don't Plot", "Left Axis", "Right Axis"});
            row->findChild<QComboBox*>()->setCurrentIndex(axis);
            plot->dashboardAddRemovePlotParameter(row);
        };
        auto clickAt = [&](qint64 ms) { plot->now = ms, plot->onGraphStartStopClicked(); };
        auto sampleAt = [&](qint64 ms) { plot->now = ms, plot->readDashboardValues(); };

        plotRow(266, 1);
        clickAt(1000), sampleAt(1350), clickAt(11000), sampleAt(12000), clickAt(71000);
        plotRow(261, 2), plotRow(264, 1), sampleAt(71350);
        QCOMPARE(buttonTexts, QStringList({"Pause Graphing", "Resume Graphing", "Pause Graphing"}));
        QCOMPARE(qobject_cast<QCPItemStraightLine*>(surface->item(0))->point1->coords().x(), 10.35);

        QTemporaryDir dir;
        std::optional<ModalWatcher> watcher(std::in_place, QString(), dir.filePath("plot.txt"));
        plot->exportDashboardGraphData();
        watcher.reset();
        QFile file(dir.filePath("plot.txt"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(
            file.readAll(),
            QByteArray("Time(s)\tInterrupted\tMotor Temperature(\xc2\xb0"
                       "C)\tinvalid()\t"
                       "Battery Current(A)\t\n0.35\t0\t\t\t12.3\t\n10.35\t1\t25\t-1\t12.3\t\n"));

        // A file that cannot be written is told in a box of the plot's own.
        QSignalSpy errors(plot, &DashboardPlot::errorPopup);
        ModalWatcher failing(QString(), dir.filePath("missing/plot.txt"));
        plot->exportDashboardGraphData();
        QCOMPARE(failing.titles(),
                 QStringList({"Export to Tab Separated Values File", "Export Error"}));
        QCOMPARE(errors.value(0), (QVariantList{"Export Error", "Failed to open file"}));
    }

    // A long run keeps every value for the export but draws a bounded
    // summary that still holds the first and last samples and every peak.
    void longRunDrawsBoundedSummary()
    {
        Kelvara model;
        Parameter* current = model.getParameter(266);
        QWidget window;
        auto* surface = new QCustomPlot(&window);
        auto* plot = new ClockedPlot(&window, nullptr, &model, surface);
        auto* row = new QWidget(&window);
        row->setProperty("address", 266);
        (new QComboBox(row))->addItems({"Don't Plot", "Left Axis"});
        row->findChild<QComboBox*>()->setCurrentIndex(1);
        plot->dashboardAddRemovePlotParameter(row);
        plot->onGraphStartStopClicked();
        const int samples = 20 * PlotTrace::maxBuckets + 7;
        for (int i = 0; i < samples; ++i) {
            current->setRegisterValue(i == 1234 ? 5000 : i == 2345 ? 5 : 100 + i % 50);
            plot->now = 350 * i;
            plot->readDashboardValues();
        }
        QCPGraph* graph = surface->graph(1);
        QVERIFY(graph->dataCount() <= 4 * PlotTrace::maxBuckets);
        QList<QPair<double, double>> drawn;
        for (auto point = graph->data()->constBegin(); point != graph->data()->constEnd(); ++point)
            drawn << qMakePair(point->key, point->value);
        const auto at = [](int sample) { return 350 * sample / 1000.0; };
        QCOMPARE(drawn.first(), qMakePair(0.0, 10.0));
        QCOMPARE(drawn.last(), qMakePair(at(samples - 1), (100 + (samples - 1) % 50) / 10.0));
        QVERIFY(drawn.contains(qMakePair(at(1234), 500.0)));
        QVERIFY(drawn.contains(qMakePair(at(2345), 0.5)));
        const double margin = (500 - 0.5) / 20; // the data kept off the borders
        QCOMPARE(surface->yAxis->range(), QCPRange(0.5 - margin, 500 + margin));

        QTemporaryDir dir;
        ModalWatcher watcher(QString(), dir.filePath("plot.txt"));
        plot->exportDashboardGraphData();
        QFile file(dir.filePath("plot.txt"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines.size(), samples + 2);
        QCOMPARE(lines.at(1 + 1234), QByteArray("431.9\t0\t500\t"));
    }
};

QTEST_MAIN(TestDashboardPlot)
#include "tst_dashboardplot.moc"
