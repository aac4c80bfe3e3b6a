// The live plot's pauses, clearing, colours and export, on a clock the test sets.

#include "dashboardplot.h"
#include "interruptionmarks.h"
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

// A plot on a window of its own with two registers of known values.
struct PlotRig
{
    PlotRig()
    {
        model.getParameter(266)->setRegisterValue(123);
        model.getParameter(261)->setRegisterValue(25);
    }
    // A Dashboard row whose chooser puts the register on an axis (0: none).
    void plotRow(int address, int axis)
    {
        auto* row = new QWidget(&window);
        row->setProperty("address", address);
        (new QComboBox(row))->addItems({"Don't Plot", "Left Axis", "Right Axis"});
        row->findChild<QComboBox*>()->setCurrentIndex(axis);
        plot->dashboardAddRemovePlotParameter(row);
    }
    void clickAt(qint64 ms) { plot->now = ms, plot->onGraphStartStopClicked(); }
    void sampleAt(qint64 ms) { plot->now = ms, plot->readDashboardValues(); }
    QByteArray exported()
    {
        QTemporaryDir dir;
        std::optional<ModalWatcher> watcher(std::in_place, QString(), dir.filePath("plot.txt"));
        plot->exportDashboardGraphData();
        watcher.reset();
        QFile file(dir.filePath("plot.txt"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    InterruptionMarks* marks() const { return qobject_cast<InterruptionMarks*>(surface->item(0)); }

    Kelvara model;
    QWidget window;
    QCustomPlot* surface = new QCustomPlot(&window);
    ClockedPlot* plot = new ClockedPlot(&window, nullptr, &model, surface);
};

class TestDashboardPlot : public QObject
{
    Q_OBJECT

private slots:
    void pausedTimeIsCutOutAndMarked()
    {
        PlotRig rig;
        QStringList buttonTexts;
        connect(rig.plot, &DashboardPlot::startStopButtonText,
                [&](QString text) { buttonTexts << text; });

        rig.plotRow(266, 1);
        rig.clickAt(1000), rig.sampleAt(1350), rig.clickAt(11000), rig.sampleAt(12000);
        rig.clickAt(71000);
        rig.plotRow(261, 2), rig.plotRow(264, 1), rig.sampleAt(71350);
        QCOMPARE(buttonTexts, QStringList({"Pause Graphing", "Resume Graphing", "Pause Graphing"}));
        QVERIFY(rig.marks());
        QCOMPARE(rig.marks()->times(), QVector<double>{10.35});
        QCOMPARE(
            rig.exported(),
            QByteArray("Time(s)\tInterrupted\tMotor Temperature(\xc2\xb0"
                       "C)\tinvalid()\t"
                       "Battery Current(A)\t\n0.35\t0\t\t\t12.3\t\n10.35\t1\t25\t-1\t12.3\t\n"));
    }

    // Reset Graph drops every sample, the pause lines and the "Interruption"
    // row; time starts again at 0, at once while running, else at the next start.
    void clearStartsAfresh_data()
    {
        QTest::addColumn<bool>("running");
        QTest::newRow("running") << true;
        QTest::newRow("paused") << false;
    }

    void clearStartsAfresh()
    {
        QFETCH(bool, running);
        PlotRig rig;
        rig.plotRow(266, 1);
        rig.clickAt(1000), rig.sampleAt(1350), rig.clickAt(2000), rig.clickAt(5000);
        rig.sampleAt(5350);
        if (!running)
            rig.clickAt(6000);
        rig.plot->now = 9000;
        rig.plot->clearGraphData();
        QVERIFY(rig.marks() && rig.marks()->times().isEmpty());
        QCOMPARE(rig.surface->legend->itemCount(), 1); // Battery Current alone
        if (!running)
            rig.clickAt(9000);
        rig.sampleAt(9350);
        QCOMPARE(rig.exported(),
                 QByteArray("Time(s)\tInterrupted\tBattery Current(A)\t\n"
                            "0.35\t0\t12.3\t\n"));
    }

    // A register taken off the plot gives its colour back to the next one
    // plotted; once the palette is used up, a register is drawn dark grey.
    void coloursAreReused_data()
    {
        QTest::addColumn<QList<int>>("plotted"); // in turn; negative: taken off
        QTest::addColumn<QColor>("last");        // of the last one plotted
        QList<int> fourteen;
        for (int address = 256; address < 270; ++address)
            fourteen << address;
        QTest::newRow("second") << QList<int>{261, 264} << QColor(Qt::blue);
        QTest::newRow("given back") << QList<int>{261, 264, 266, -261, 270} << QColor(Qt::red);
        QTest::newRow("last given back first")
            << QList<int>{261, 264, 266, -261, -266, 270} << QColor(Qt::green);
        QTest::newRow("palette used up") << fourteen + QList<int>{270} << QColor(Qt::darkGray);
        QTest::newRow("grey not given back")
            << fourteen + QList<int>{270, -256, -270, 271} << QColor(Qt::red);
    }

    void coloursAreReused()
    {
        QFETCH(QList<int>, plotted);
        PlotRig rig;
        for (int address : plotted)
            rig.plotRow(qAbs(address), address > 0 ? 1 : 0);
        QTEST(rig.surface->graph(rig.surface->graphCount() - 1)->pen().color(), "last");
    }

    // The marks look as a straight line through each would: dashed, across
    // the axis rectangle, on the nearest whole pixel, drawn once where many
    // share a pixel, and not at all off the time axis; also when drawn
    // magnified (an export), as lines.
    void marksLookLikeStraightLines_data()
    {
        QTest::addColumn<QVector<double>>("times");
        QTest::addColumn<double>("from"); // the time axis shown
        QTest::addColumn<double>("to");
        QTest::addColumn<bool>("apart"); // each on a pixel of its own
        QVector<double> crowded;
        for (int i = 0; i < 300; ++i)
            crowded << 5 + i * 0.0123;
        QVector<double> day;
        for (int i = 0; i < 2000; ++i)
            day << 86400.0 * (i + 1) / 2001;
        QTest::newRow("one") << QVector<double>{10.35} << 0.0 << 20.0 << true;
        QTest::newRow("apart") << QVector<double>{0.35, 3.5, 9.1, 19.6} << 0.0 << 20.0 << true;
        QTest::newRow("crowded") << crowded << 0.0 << 20.0 << false;
        QTest::newRow("off the axis") << QVector<double>{1, 12, 30} << 10.0 << 20.0 << true;
        QTest::newRow("a day of them") << day << 0.0 << 86400.0 << false;
    }

    void marksLookLikeStraightLines()
    {
        QFETCH(QVector<double>, times);
        QFETCH(double, from);
        QFETCH(double, to);
        PlotRig rig;
        rig.window.resize(700, 300);
        rig.surface->resize(700, 300);
        rig.surface->legend->setVisible(false);
        rig.plot->onGraphStartStopClicked();
        for (double time : times) {
            rig.plot->onGraphStartStopClicked(), rig.plot->onGraphStartStopClicked();
            rig.sampleAt(qint64(time * 1000));
        }
        rig.surface->xAxis->setRange(from, to);
        const QVector<double> marked = rig.marks()->times();
        QCOMPARE(marked.size(), times.size());
        const QImage withMarks = rig.surface->toPixmap().toImage();
        const QImage magnified = rig.surface->toPixmap(700, 300, 2.0).toImage();

        rig.marks()->setVisible(false);
        const QImage bare = rig.surface->toPixmap().toImage();
        const QPen pen = rig.marks()->pen();
        for (double time : marked) {
            auto* line = new QCPItemStraightLine(rig.surface);
            line->point1->setCoords(time, 0);
            line->point2->setCoords(time, 2);
            line->setPen(pen);
            line->setAntialiased(false);
        }
        QVERIFY(withMarks != bare);
        QCOMPARE(withMarks, rig.surface->toPixmap().toImage());
        QFETCH(bool, apart);
        if (apart)
            QCOMPARE(magnified, rig.surface->toPixmap(700, 300, 2.0).toImage());
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
