// The first few of the seeded sequences tst_pagevalues judges on the device
// model (PageProperty), in the real window against the simulated
// controller: values typed into rows, thumbs and nodes dragged, files
// opened, each save judged from the simulator's log.

#include "graphwindow.h"
#include "pageproperty.h"

using namespace GraphWindow;

// The window as a page of PageProperty.
struct WindowPage
{
    explicit WindowPage(Fixture* w)
        : w(w)
    {
        PageModel::keepBoxes(w->f->model(), &boxes);
    }

    Kelvara& device() { return *w->f->model(); }
    QMap<int, int> controllerValues() const
    {
        QMap<int, int> values;
        for (int address = 0; address <= 510; ++address)
            values.insert(address, w->f->simulator->registerValue(address));
        return values;
    }
    // The controller holds these values, read by the window.
    void read(const QMap<int, int>& values)
    {
        for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
            if (w->f->simulator->registerValue(it.key()) != it.value())
                w->f->simulator->setRegisterValue(it.key(), it.value());
        }
        QVERIFY(w->f->readAll());
    }

    // Typed into its row; a value the row shows already gives nothing.
    bool type(int address, double value)
    {
        const bool shown = PageModel::showsAs(device().getParameter(address),
                                              w->f->spinOf(address)->value(), value);
        w->f->type(address, value);
        return !shown;
    }
    void typeOnce(int address, double value)
    {
        if (!type(address, value)) {
            w->f->type(address, value + 1);
            w->f->type(address, value);
        }
    }
    // Its node or thumb dragged with the mouse through the values; the value
    // the drag wrote last is the one it gave.
    bool drag(int address, const QList<double>& through, double* given)
    {
        const QList<int> thumbs{142, 141, 194, 195};
        const QMap<int, int> nodes{{216, 0}, {215, 1}, {151, 3}, {214, 4}, {213, 6}};
        const int graph = thumbs.contains(address) ? Slider : Throttle;
        const double start = device().getParameter(214)->getValue();
        QList<QPointF> points;
        for (double value : through) {
            const double x = address == 151 ? start + value : value;
            const double y = address == 213 || address == 215 ? 100 : 0;
            points << w->scenePoint(graph, graph == Slider ? QPointF(0, value) : QPointF(x, y));
        }
        w->f->showPage(pageOf(graph));
        const auto* moves = device().findChild<MovedValues*>();
        const quint64 before = moves->givenValues().lastOrder();
        dragThrough(w->item(graph, graph == Slider ? thumbs.indexOf(address) : nodes[address]),
                    points);
        QCoreApplication::processEvents();
        const GivenValues::Value* value = moves->givenValues().find(address);
        if (!value || value->order <= before)
            return false;
        *given = value->display;
        return true;
    }
    void openFile(const QMap<int, int>& entries)
    {
        QByteArray file;
        for (auto it = entries.constBegin(); it != entries.constEnd(); ++it)
            file += entry(QByteArray::number(it.key()).constData(),
                          QByteArray::number(it.value()).constData());
        w->openFile(file);
    }
    QMap<int, int> save() { return w->f->save(); }

    Fixture* w;
    QList<PageModel::Box> boxes;
};

class TestWindowPageValues : public QObject
{
    Q_OBJECT
    Fixture w;
    std::unique_ptr<WindowPage> page;
    QMap<int, int> sample;

private slots:
    void initTestCase()
    {
        QVERIFY(w.start());
        page = std::make_unique<WindowPage>(&w);
        sample = page->controllerValues();
    }
    void cleanupTestCase()
    {
        page.reset();
        w.finish();
    }
    // The sample controller as it was, and nothing left to write.
    void cleanup() { page->read(sample); }

    // The first few of the seeded sequences.
    void sampleOfSequences()
    {
        PageProperty<WindowPage> property(page.get(), page.get());
        for (int seed = 1; seed <= 6; ++seed) {
            const QString wrong = property.runSeed(seed, sample);
            QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        }
    }
};

QTEST_MAIN(TestWindowPageValues)
#include "tst_windowpagevalues.moc"
