// The Dashboard page: polling and plotting only while shown, the export,
// the hall table, and the actions it switches.

#include "dashboardplot.h"
#include "windowfixture.h"

#include <QAction>
#include <QPushButton>
#include <QTableWidget>
#include <qcustomplot.h>

using namespace WindowFixture;

class TestDashboardPage : public QObject
{
    Q_OBJECT
    SimulatedWindow f;

    int polls() const { return requestFrames(f.simulator->requests(), 3).count(qMakePair(258, 74)); }
    QCustomPlot* plot() const { return f.find<QCustomPlot>("dashboardPlot"); }
    QString graphText() const { return f.find<QPushButton>("dashboardStartStopButton")->text(); }
    QCPGraph* current() const { return plot()->graph(plot()->graphCount() - 1); } // Battery Current
    QCPGraphDataContainer::const_iterator last() const { return current()->data()->constEnd() - 1; }
    QStringList exported(const QString& fileName, QStringList* boxes)
    {
        ModalWatcher watcher(QString(), fileName);
        f.find<QPushButton>("dashboardExportPlot")->click();
        *boxes = watcher.titles();
        QFile file(fileName);
        return file.open(QIODevice::ReadOnly) ? QString(file.readAll()).split('\n') : QStringList();
    }

private slots:
    void initTestCase() { QVERIFY(f.start()); }

    void pollsOnlyWhileShown()
    {
        f.showPage("dashboardScreen");
        f.simulator->setRegisterValue(256, 5800); // a type without the Temperature page
        QVERIFY(f.readAll());
        QCOMPARE(f.find<QTabWidget>("tabWidget")->indexOf(f.find("temperatureScreen")), -1);
        QCOMPARE(f.window->dashboardIndex(), 2);
        f.simulator->clearLog();
        QTRY_VERIFY(polls() >= 2);

        f.showPage("releaseScreen");
        QVERIFY(waitIdle(f.window.get()));
        f.simulator->clearLog();
        QTest::qWait(800); // two polling intervals
        QCOMPARE(polls(), 0);
    }

    void plotsLiveValuesWhileShown()
    {
        f.showPage("dashboardScreen");
        f.simulator->setRegisterValue(266, 123);
        f.find<QPushButton>("dashboardStartStopButton")->click();
        QCOMPARE(current()->name(), QString("Battery Current"));
        QTRY_VERIFY(current()->dataCount() > 0 && last()->value == 12.3);
        // One timer beats the poll and the sample: five samples take four intervals.
        QElapsedTimer clock;
        clock.start();
        const int samples = current()->dataCount();
        QTRY_VERIFY(current()->dataCount() >= samples + 5);
        QVERIFY2(clock.elapsed() >= 4 * 330, qPrintable(QString::number(clock.elapsed())));

        f.showPage("releaseScreen");
        QCOMPARE(graphText(), QString("Resume Graphing"));
        QVERIFY(!f.window->findChild<DashboardPlot*>()->findChild<QTimer*>()->isActive());
        const double pausedAt = last()->key;
        f.showPage("dashboardScreen");
        QCOMPARE(graphText(), QString("Pause Graphing"));
        QTRY_COMPARE(plot()->itemCount(), 1);
        const auto* line = static_cast<QCPItemStraightLine*>(plot()->item(0));
        QVERIFY(line->point1->coords().x() > pausedAt && line->point1->coords().x() < pausedAt + 1);
        QCOMPARE(static_cast<QCPPlottableLegendItem*>(plot()->legend->item(0))->plottable()->name(),
                 QString("Interruption"));
    }

    void clearsAndExports()
    {
        f.find<QPushButton>("clearGraphsButton")->click();
        QCOMPARE(plot()->itemCount() + current()->dataCount(), 0);
        QTRY_VERIFY(current()->dataCount() >= 2);
        QTemporaryDir dir;
        QStringList boxes;
        const QStringList lines = exported(dir.filePath("plot.txt"), &boxes);
        QCOMPARE(lines.value(0), QString("Time(s)\tInterrupted\tMotor RPM(RPM)\tBattery Voltage(V)\tBattery Current(A)\t"));
        QVERIFY(lines.size() >= 4);
        QCOMPARE(lines.value(1).split('\t').mid(1), QString("0|0|52|12.3|").split('|'));
        QVERIFY(lines.value(1).split('\t').value(0).toDouble() < 1);
        // A failed export is shown once, by the plot: the window keeps its box off this page.
        QVERIFY(exported(dir.filePath("missing/plot.txt"), &boxes).isEmpty());
        QCOMPARE(boxes, QStringList({"Export to Tab Separated Values File", "Export Error"}));
    }

    void hallTableFollowsSectorsAndInputs()
    {
        const QList<int> sectors = {15, 0, 2, 1, 4, 5, 3, 15};
        for (int state = 0; state < 8; ++state)
            f.simulator->setRegisterValue(80 + state, sectors.at(state));
        f.showPage("releaseScreen");
        QVERIFY(f.readAll());
        f.showPage("dashboardScreen");
        auto* table = f.find<QTableWidget>("hallTableWidget");
        QStringList shown;
        for (int column = 0; column < 8; ++column)
            shown << table->item(1, column)->text();
        QCOMPARE(shown.join('|'), QString("001|011|010|110|100|101|000|111"));
        for (int state : {3, 5, 6}) {
            f.simulator->setRegisterValue(276, state | 0x40); // bit 6 is no hall input
            QTRY_COMPARE(table->selectionModel()->selectedColumns().value(0).column(), sectors.at(state));
        }
    }

    // Autotune and the exports need a controller, whichever way they come back.
    void actionsNeedAControllerOffThePage()
    {
        const QStringList names = {"autotuneAction", "exportXML", "advanced_Export", "importXML"};
        f.showPage("dashboardScreen");
        for (const QString& name : names)
            QVERIFY(!f.find<QAction>(name)->isEnabled());
        f.window->controllerDisconnected();
        f.showPage("releaseScreen");
        for (const QString& name : names)
            QCOMPARE(f.find<QAction>(name)->isEnabled(), name == "importXML");
    }
};

QTEST_MAIN(TestDashboardPage)
#include "tst_dashboardpage.moc"
