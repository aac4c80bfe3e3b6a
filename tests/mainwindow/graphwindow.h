#ifndef GRAPHWINDOW_H
#define GRAPHWINDOW_H

// The real window, shown and connected to the sample controller, for the
// graph editors and the battery-voltage slider: their views and items, the
// "Values Limited" boxes they set off, and controller values a case
// replaces, put back after it.

#include "assistlevelgraph.h"
#include "draggablegraphnode.h"
#include "graphtesting.h"
#include "multislider.h"
#include "sensorlessstartinggraph.h"
#include "sliderthumb.h"
#include "temperaturefeedbackgraph.h"
#include "throttlegraph.h"
#include "voltagecutoffslider.h"
#include "windowfixture.h"
#include "xmltranslatortesting.h"

namespace GraphWindow {

using namespace WindowFixture;

enum Graph { Throttle, Sensorless, Assist, Slider, Temperature };

// The page of each graph.
inline QString pageOf(int graph)
{
    const char* const pages[] = {"advancedScreen", "advancedScreen", "pasScreen", "releaseScreen",
                                 "temperatureScreen"};
    return pages[graph];
}

using RegisterMap = QMap<int, int>;

// The addresses a "Values Limited" text names, in its order.
inline QList<int> namedIn(const QString& text)
{
    static const QRegularExpression address(" \\((\\d+)\\): ");
    QList<int> named;
    for (const QString& line : text.split('\n')) {
        const QRegularExpressionMatch match = address.match(line);
        if (line.startsWith("  ") && match.hasMatch())
            named << match.captured(1).toInt();
    }
    return named;
}

// The paragraph of a "Values Limited" text that holds the line, from its
// heading on; empty where no paragraph holds it.
inline QString paragraphOf(const QString& text, const QString& line)
{
    for (const QString& paragraph : text.split("\n\n")) {
        if ((paragraph + '\n').contains("\n  " + line + '\n'))
            return paragraph;
    }
    return QString();
}

// "address=value ...", for messages that name every value.
inline QString describe(const QMap<int, int>& registers)
{
    QStringList entries;
    for (auto it = registers.constBegin(); it != registers.constEnd(); ++it)
        entries << QString("%1=%2").arg(it.key()).arg(it.value());
    return entries.join(' ');
}

struct Fixture
{
    // Shown and connected; every box goes to the watcher.
    bool start()
    {
        boxes = std::make_unique<ModalWatcher>();
        f = std::make_unique<SimulatedWindow>();
        if (!f->start())
            return false;
        f->window->show();
        return QTest::qWaitForWindowExposed(f->window.get());
    }
    void finish()
    {
        f.reset();
        boxes.reset();
    }

    // The controller holds these values from now on, read by the window;
    // putBack() puts back what it held before.
    bool useController(const QMap<int, int>& registers)
    {
        for (auto it = registers.constBegin(); it != registers.constEnd(); ++it) {
            rememberController({it.key()});
            f->simulator->setRegisterValue(it.key(), it.value());
        }
        return registers.isEmpty() || f->readAll();
    }
    // A save is to change these registers of the controller: putBack()
    // puts back their values.
    void rememberController(const QList<int>& addresses)
    {
        for (int address : addresses) {
            if (!replaced.contains(address))
                replaced.insert(address, int(f->simulator->registerValue(address)));
        }
    }
    // The sample controller as it was, read again where anything is left
    // to write.
    bool putBack()
    {
        for (auto it = replaced.constBegin(); it != replaced.constEnd(); ++it)
            f->simulator->setRegisterValue(it.key(), it.value());
        const bool read = !replaced.isEmpty() || !f->model()->getUnsavedValues().isEmpty();
        replaced.clear();
        return !read || f->readAll();
    }

    QGraphicsView* view(int graph) const
    {
        switch (graph) {
        case Throttle:
            return f->window->findChild<ThrottleGraph*>();
        case Sensorless:
            return f->window->findChild<SensorlessStartingGraph*>();
        case Assist:
            return f->window->findChild<AssistLevelGraph*>();
        case Slider:
            return f->window->findChild<VoltageCutoffSlider*>();
        default:
            return f->window->findChild<TemperatureFeedbackGraph*>();
        }
    }

    // Nodes and thumbs in the order their graph made them.
    QGraphicsItem* item(int graph, int index) const
    {
        if (graph == Slider)
            return itemsOf<SliderThumb>(view(graph)).value(index);
        return itemsOf<DraggableGraphNode>(view(graph)).value(index);
    }

    // The scene point of a graph's values (x and y; the slider's on y).
    QPointF scenePoint(int graph, const QPointF& values) const
    {
        if (graph == Slider)
            return QPointF(0, MultiSlider::pixelOf(values.y(), 19, 90));
        auto* g = static_cast<DraggableGraph*>(view(graph));
        return QPointF(g->plotWidth() * values.x() / g->getDomain(),
                       -g->plotHeight() * values.y() / g->getRange());
    }

    // The texts of the "Values Limited" boxes so far, once the moves of
    // what was done last have been told.
    QStringList limitedTexts() const
    {
        QCoreApplication::processEvents();
        QStringList texts;
        for (int i = 0; i < boxes->count(); ++i) {
            if (boxes->titles().at(i) == "Values Limited")
                texts << boxes->texts().at(i);
        }
        return texts;
    }

    // File > Open Parameter File of a file holding these entries.
    void openFile(const QByteArray& entries)
    {
        auto* dialogs = new FakeDialogs;
        dialogs->openAnswer = home.filePath("values.xml");
        writeFile(dialogs->openAnswer, parameterDocument(entries));
        f->window->findChild<XMLTranslator*>()->setDialogs(dialogs);
        f->find<QAction>("importXML")->trigger();
        QCoreApplication::processEvents();
    }

    // Address -> value of File > Export Parameter File, all values.
    QMap<int, int> exportAll()
    {
        auto* dialogs = new FakeDialogs;
        dialogs->exportAnswer = XMLTranslator::ExportAll;
        dialogs->saveAnswer = home.filePath("export.xml");
        f->window->findChild<XMLTranslator*>()->setDialogs(dialogs);
        f->find<QAction>("exportXML")->trigger();
        QMap<int, int> values;
        for (const auto& fileEntry : fileEntries(dialogs->saveAnswer))
            values.insert(fileEntry.first, fileEntry.second);
        return values;
    }

    QTemporaryDir home;
    std::unique_ptr<ModalWatcher> boxes;
    std::unique_ptr<SimulatedWindow> f;
    // Controller values a case replaced: address -> the sample's value.
    QMap<int, int> replaced;
};

} // namespace GraphWindow

#endif // GRAPHWINDOW_H
