// The live plot's pauses and its export, on a clock the test sets.

#include "dashboardplot.h"
#include "kelvara.h"
#include "modalwatcher.h"
#include "parameter.h"

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
};

QTEST_MAIN(TestDashboardPlot)
#include "tst_dashboardplot.moc"
