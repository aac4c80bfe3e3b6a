#include "voltagecutoffslider.h"

#include "graphbinding.h"
#include "kelvara.h"
#include "multislidershading.h"
#include "parameter.h"
#include "sliderthumb.h"

#include <QGraphicsScene>
#include <QScopedValueRollback>

#include <limits>

namespace {

const int lowestVolts = 19;
const int highestVolts = 90;
// Thumbs 1 to 4, from the lowest voltage up.
const int thumbAddresses[4] = {142, 141, 194, 195};
const int labelHeights[4] = {0, -40, -70, -107};

const QColor red(255, 0, 0, 100);
const QColor orange(255, 165, 0, 100);
const QColor green(0, 255, 0, 100);

} // namespace

VoltageCutoffSlider::VoltageCutoffSlider(QWidget* parent)
    : MultiSlider(parent, 0.9, 0.85, QSize(80, 400))
{
    rangeMin = lowestVolts;
    rangeMax = highestVolts;
}

void VoltageCutoffSlider::initialize(Kelvara* device)
{
    this->device = device;
    setRange(lowestVolts, highestVolts, QStringLiteral("V"));
    // Placeholders until the registers report their values.
    thumb1 = addThumb(rangeMin);
    thumb2 = addThumb(rangeMin + gap);
    thumb3 = addThumb(rangeMin + 2 * gap);
    thumb4 = addThumb(rangeMin + 3 * gap);
    for (int k = 0; k < 4; ++k)
        addThumbLine(thumb(k), labelHeights[k], true);

    lowerRedShading = addShading(rangeMin, thumb1->getPosition(), red);
    lowerOrangeShading = addShading(thumb1->getPosition(), thumb2->getPosition(), orange);
    greenShading = addShading(thumb2->getPosition(), thumb3->getPosition(), green);
    upperOrangeShading = addShading(thumb3->getPosition(), thumb4->getPosition(), orange);
    upperRedShading = addShading(thumb4->getPosition(), rangeMax, red);

    using Slot = void (VoltageCutoffSlider::*)();
    const Slot valueSlots[4] = {
        &VoltageCutoffSlider::updateThumb1Value, &VoltageCutoffSlider::updateThumb2Value,
        &VoltageCutoffSlider::updateThumb3Value, &VoltageCutoffSlider::updateThumb4Value};
    const Slot paramSlots[4] = {
        &VoltageCutoffSlider::updateThumb1Param, &VoltageCutoffSlider::updateThumb2Param,
        &VoltageCutoffSlider::updateThumb3Param, &VoltageCutoffSlider::updateThumb4Param};
    for (int k = 0; k < 4; ++k) {
        connect(device->getParameter(thumbAddresses[k]), &Parameter::valueChanged, this,
                valueSlots[k]);
        connect(thumb(k), &SliderThumb::positionChanged, this, paramSlots[k]);
    }
    connect(thumb1, &SliderThumb::positionChanged, this,
            &VoltageCutoffSlider::updateLowerRedShading);
    connect(thumb1, &SliderThumb::positionChanged, this,
            &VoltageCutoffSlider::updateLowerOrangeShading);
    connect(thumb2, &SliderThumb::positionChanged, this,
            &VoltageCutoffSlider::updateLowerOrangeShading);
    connect(thumb2, &SliderThumb::positionChanged, this, &VoltageCutoffSlider::updateGreenShading);
    connect(thumb3, &SliderThumb::positionChanged, this, &VoltageCutoffSlider::updateGreenShading);
    connect(thumb3, &SliderThumb::positionChanged, this,
            &VoltageCutoffSlider::updateUpperOrangeShading);
    connect(thumb4, &SliderThumb::positionChanged, this,
            &VoltageCutoffSlider::updateUpperOrangeShading);
    connect(thumb4, &SliderThumb::positionChanged, this,
            &VoltageCutoffSlider::updateUpperRedShading);
    for (int k = 0; k < 4; ++k) {
        connect(thumb(k), &SliderThumb::clicked, this, [this, k] { startDrag(k); });
        GraphBinding::tellMovesOnRelease(device, thumb(k), this);
    }
    for (int k = 0; k < 3; ++k) {
        const int lower = thumbAddresses[k];
        const int upper = thumbAddresses[k + 1];
        device->keepOrder(
            {lower, upper},
            [this, lower, upper](const ValueOrders::ValueOf& value) {
                return shortfall(value(lower), value(upper));
            },
            [this](int changed) { settle(changed); });
    }
    placeThumbs();
}

double VoltageCutoffSlider::shortfall(double lower, double upper) const
{
    return lower + gap - upper;
}

bool VoltageCutoffSlider::inOrder(double lower, double upper) const
{
    return ValueOrders::keeps(shortfall(lower, upper));
}

SliderThumb* VoltageCutoffSlider::thumb(int index) const
{
    SliderThumb* const thumbs[4] = {thumb1, thumb2, thumb3, thumb4};
    return thumbs[index];
}

double VoltageCutoffSlider::registerValue(int index) const
{
    return GraphBinding::value(device, thumbAddresses[index]);
}

// The register's limits, as far as it has finite ones.
void VoltageCutoffSlider::limits(int index, double* low, double* high) const
{
    const Parameter* parameter = device->getParameter(thumbAddresses[index]);
    *low = -std::numeric_limits<double>::max();
    *high = std::numeric_limits<double>::max();
    parameter->minimumValue(low);
    parameter->maximumValue(high);
}

void VoltageCutoffSlider::followRegister(int index)
{
    if (!keepingOrder && GraphBinding::rulesActOnChange(device))
        keepOrder(index);
    placeThumbs();
}

void VoltageCutoffSlider::settle(int changed)
{
    for (int k = 0; k < 4; ++k) {
        if (thumbAddresses[k] == changed && !keepingOrder)
            keepOrder(k);
    }
}

// Every thumb where its register is, a value beyond the track at its end.
void VoltageCutoffSlider::placeThumbs()
{
    for (int k = 0; k < 4; ++k) {
        if (!GraphBinding::atValue(registerValue(k), thumb(k)->getPosition()))
            thumb(k)->setPosition(registerValue(k));
    }
}

// The changed value stays where it is, unless its neighbours cannot make
// room for it within their limits: then it is held where they can. The
// neighbours are pushed first, so that the value they are pushed by is the
// one the user set.
void VoltageCutoffSlider::keepOrder(int changed)
{
    const QScopedValueRollback<bool> guard(keepingOrder, true);
    const double held = heldValue(changed);
    double previous = held;
    for (int k = changed + 1; k < 4; ++k) {
        if (inOrder(previous, registerValue(k)))
            break;
        push(k, previous + gap);
        previous = registerValue(k);
    }
    previous = held;
    for (int k = changed - 1; k >= 0; --k) {
        if (inOrder(registerValue(k), previous))
            break;
        push(k, previous - gap);
        previous = registerValue(k);
    }
    if (!GraphBinding::atValue(held, registerValue(changed)))
        GraphBinding::write(device, thumbAddresses[changed], held);
}

bool VoltageCutoffSlider::room(int index, double low, double high, double* from, double* to) const
{
    *from = low + index * gap;
    *to = high - (3 - index) * gap;
    for (int k = 0; k < 4; ++k) {
        double kLow = 0.0;
        double kHigh = 0.0;
        limits(k, &kLow, &kHigh);
        if (k <= index)
            *from = qMax(*from, kLow + (index - k) * gap);
        if (k >= index)
            *to = qMin(*to, kHigh - (k - index) * gap);
    }
    return *from <= *to;
}

// Where the changed value leaves its neighbours room within their limits;
// where the limits leave no such place, the value as it is.
double VoltageCutoffSlider::heldValue(int changed) const
{
    const double value = registerValue(changed);
    const double unbounded = std::numeric_limits<double>::max() / 4;
    double from = 0.0;
    double to = 0.0;
    return room(changed, -unbounded, unbounded, &from, &to) ? qBound(from, value, to) : value;
}

// As far as the register's limits let it go.
void VoltageCutoffSlider::push(int index, double value)
{
    double low = 0.0;
    double high = 0.0;
    limits(index, &low, &high);
    GraphBinding::write(device, thumbAddresses[index], qBound(low, value, high));
}

// A dragged thumb pushes the others no further than the track's ends and
// their limits: at the top they stack 0.5 V apart below 90 V.
void VoltageCutoffSlider::startDrag(int index)
{
    if (!room(index, rangeMin, rangeMax, &dragFrom, &dragTo)) {
        dragFrom = rangeMin;
        dragTo = rangeMax;
    }
}

void VoltageCutoffSlider::writeDragged(int index)
{
    SliderThumb* dragged = thumb(index);
    if (!dragged->isHeld() || GraphBinding::atValue(registerValue(index), dragged->getPosition()))
        return;
    GraphBinding::writeOwn(device, thumbAddresses[index],
                           qBound(dragFrom, dragged->getPosition(), dragTo));
}

void VoltageCutoffSlider::updateThumb1Value()
{
    followRegister(0);
}

void VoltageCutoffSlider::updateThumb2Value()
{
    followRegister(1);
}

void VoltageCutoffSlider::updateThumb3Value()
{
    followRegister(2);
}

void VoltageCutoffSlider::updateThumb4Value()
{
    followRegister(3);
}

void VoltageCutoffSlider::updateThumb1Param()
{
    writeDragged(0);
}

void VoltageCutoffSlider::updateThumb2Param()
{
    writeDragged(1);
}

void VoltageCutoffSlider::updateThumb3Param()
{
    writeDragged(2);
}

void VoltageCutoffSlider::updateThumb4Param()
{
    writeDragged(3);
}

void VoltageCutoffSlider::updateLowerRedShading()
{
    lowerRedShading->setEnd(thumb1->getPosition());
}

void VoltageCutoffSlider::updateLowerOrangeShading()
{
    lowerOrangeShading->setStart(thumb1->getPosition());
    lowerOrangeShading->setEnd(thumb2->getPosition());
}

void VoltageCutoffSlider::updateGreenShading()
{
    greenShading->setStart(thumb2->getPosition());
    greenShading->setEnd(thumb3->getPosition());
}

void VoltageCutoffSlider::updateUpperOrangeShading()
{
    upperOrangeShading->setStart(thumb3->getPosition());
    upperOrangeShading->setEnd(thumb4->getPosition());
}

void VoltageCutoffSlider::updateUpperRedShading()
{
    upperRedShading->setStart(thumb4->getPosition());
}
