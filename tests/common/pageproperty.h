#ifndef PAGEPROPERTY_H
#define PAGEPROPERTY_H

// What Save writes of the values that follow the rated voltage and those
// the graphs keep in order depends only on the controller's values, the
// values the user gave and the values now in force: whatever way led there,
// it writes what the shortest way to them writes (the rated voltage typed
// once, then each value given once, in the order given), and each value it
// writes is one the user gave or one a box named among those Save writes.
// Judged at every save of a sequence of steps on a page: the device model
// (PageModel), or the window. A page reads all of a controller's values
// (read()), types, drags (giving the value the drag wrote last, if any),
// opens files, saves, and keeps the boxes the model asked for.

#include "pagemodel.h"
#include "pagesequences.h"

template<typename Page>
class PageProperty
{
public:
    using Step = PageSequences::Step;
    using Given = PageSequences::Given;

    // The shortest way is taken on its own page, or on the same one, which
    // then reads the controller as the save left it again.
    PageProperty(Page* page, Page* shortest)
        : page(page)
        , shortest(shortest)
    {
    }

    // The seeded sequence, every other one on the controller that breaks
    // the orders itself; empty where every save holds.
    QString runSeed(int seed, const QMap<int, int>& sample)
    {
        const QString steps = PageSequences::sequence(quint32(seed), 4 + seed % 13);
        const bool breaking = seed % 2 == 0;
        const QString wrong =
            run(steps, breaking ? PageSequences::breakingController(sample) : sample);
        return wrong.isEmpty() ? wrong
                               : QStringLiteral("seed %1%2: %3: %4")
                                     .arg(seed)
                                     .arg(breaking ? " (orders broken)" : "")
                                     .arg(steps, wrong);
    }

    // The steps (as parseSteps() reads them) on the page read from the
    // controller; empty where every save holds, else what went wrong at
    // which step.
    QString run(const QString& text, const QMap<int, int>& controller)
    {
        const QList<Step> steps = PageSequences::parseSteps(text);
        page->read(controller);
        Given given;
        QMap<int, int> readOrSaved;
        int boxesSince = 0;
        // The controller's values are the page's own: nothing given or told.
        const auto ownValues = [&] {
            given = Given();
            readOrSaved = page->controllerValues();
            boxesSince = page->boxes.size();
        };
        ownValues();
        for (int k = 0; k < steps.size(); ++k) {
            const Step& step = steps.at(k);
            if (step.kind == Step::Read) {
                page->read(page->controllerValues());
                ownValues();
            } else if (step.kind == Step::Save) {
                const QList<PageModel::Box> boxes = page->boxes.mid(boxesSince);
                lastWritten = page->save();
                const QString wrong = judge(lastWritten, given, boxes, readOrSaved);
                if (!wrong.isEmpty())
                    return QStringLiteral("at step %1, %2").arg(k + 1).arg(wrong);
                // A save of nothing leaves the values given as they are.
                if (!lastWritten.isEmpty())
                    ownValues();
            } else {
                take(step, &given);
            }
        }
        return QString();
    }

    // What the last save of the last run wrote.
    QMap<int, int> lastWrites() const { return lastWritten; }

private:
    void take(const Step& step, Given* given)
    {
        const Parameter* parameter = page->device().getParameter(step.address);
        double value = step.value;
        switch (step.kind) {
        case Step::TypeBack:
            value = parameter->asValue(page->device().controllerValue(step.address));
            Q_FALLTHROUGH();
        case Step::Type:
            if (page->type(step.address, value))
                given->give(step.address, false, parameter->roundValue(value));
            break;
        case Step::Drag:
            if (page->drag(step.address, step.through, &value))
                given->give(step.address, false, value);
            break;
        default:
            page->openFile(step.entries);
            for (auto it = step.entries.constBegin(); it != step.entries.constEnd(); ++it)
                given->give(it.key(), true, it.value());
            break;
        }
    }

    QString judge(const QMap<int, int>& written, const Given& given,
                  const QList<PageModel::Box>& boxes, const QMap<int, int>& controller)
    {
        for (auto it = written.constBegin(); it != written.constEnd(); ++it) {
            if (!isGiven(it.key(), it.value(), given)
                && !isToldWritten(it.key(), it.value(), given, boxes))
                return QStringLiteral("Save wrote %1=%2, neither given nor told")
                    .arg(it.key())
                    .arg(it.value());
        }
        const QMap<int, int> after = page->controllerValues();
        const QMap<int, int> shortestWrites = shortestWay(given, controller);
        if (shortest == page)
            page->read(after);
        if (written != shortestWrites) {
            return QStringLiteral("Save wrote %1, the shortest way %2")
                .arg(PageSequences::describe(written), PageSequences::describe(shortestWrites));
        }
        return QString();
    }

    QMap<int, int> shortestWay(const Given& given, const QMap<int, int>& controller)
    {
        shortest->read(controller);
        for (const int address : given.shortestOrder()) {
            const Given::Value value = given.values.value(address);
            if (value.raw)
                shortest->openFile({{address, int(value.value)}});
            else
                shortest->typeOnce(address, value.value);
        }
        return shortest->save();
    }

    // The value given, held at the register's own limits as its row holds it.
    bool isGiven(int address, int raw, const Given& given) const
    {
        if (!given.values.contains(address))
            return false;
        const Given::Value value = given.values.value(address);
        const Parameter* parameter = page->device().getParameter(address);
        if (value.raw)
            return raw == parameter->limitedRaw(int(value.value));
        double shown = value.value;
        double limit = 0.0;
        if (parameter->maximumValue(&limit))
            shown = qMin(shown, limit);
        if (parameter->minimumValue(&limit))
            shown = qMax(shown, limit);
        return PageModel::showsAs(parameter, parameter->asValue(raw), shown);
    }

    // A box named the register with this value, among those Save writes; a
    // value given as shown, with the value it shows.
    bool isToldWritten(int address, int raw, const Given& given,
                       const QList<PageModel::Box>& boxes) const
    {
        const bool shownValue = given.values.contains(address) && !given.values[address].raw;
        const double shows = page->device().getParameter(address)->asValue(raw);
        for (const PageModel::Box& box : boxes) {
            for (const MovedValue& move : box.moves) {
                if (move.address == address && box.unsaved.contains(address)
                    && (move.rawAfter == raw || (shownValue && move.after == shows)))
                    return true;
            }
        }
        return false;
    }

    Page* page;
    Page* shortest;
    QMap<int, int> lastWritten;
};

#endif // PAGEPROPERTY_H
