#include "voltagecutoffslider.h"

#include "graphbinding.h"
#include "kelvara.h"
#include "multislidershading.h"
#include "parameter.h"
#include "sliderthumb.h"

#include <QScopedValueRollback>

namespace {

const int lowestVolts = 19;
const int highestVolts = 90;
// Thumbs 1 to 4, from the lowest voltage up.
const int thumbAddresses[4] = {142, 141, 194, 195};
const int labelHeights[4] = {0, -40, -70, -107};

// Thumbs closer than the gap by less than this are taken as exactly apart:
// values that went through pixels are not exact.
const double gapTolerance = 1e-9;

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
}

SliderThumb* VoltageCutoffSlider::thumb(int index) const
{
    SliderThumb* const thumbs[4] = {thumb1, thumb2, thumb3, thumb4};
    return thumbs[index];
}

void VoltageCutoffSlider::followRegister(int index)
{
    if (writingBack[index])
        return;
    catchUpOtherThumbs(index);
    const int address = thumbAddresses[index];
    thumb(index)->setPosition(GraphBinding::value(device, address));
    // The register keeps what the track can show (19 to 90 V).
    QScopedValueRollback<bool> guard(writingBack[index], true);
    GraphBinding::write(device, address, thumb(index)->getPosition());
}

// The other thumbs stand where their registers are now before this one
// pushes any: a new rated voltage rescales all four one after the other, and
// a neighbour whose register has not announced itself yet must not be pushed
// from where its thumb was.
void VoltageCutoffSlider::catchUpOtherThumbs(int index)
{
    QScopedValueRollback<bool> guard(catchingUp, true);
    for (int k = 0; k < 4; ++k) {
        if (k != index)
            thumb(k)->setPosition(GraphBinding::value(device, thumbAddresses[k]));
    }
}

// False while a controller read is applied, or other thumbs catch up with
// their registers: the thumb only shows the value.
bool VoltageCutoffSlider::writeRegister(int index)
{
    if (catchingUp || GraphBinding::takingControllerValues(device))
        return false;
    GraphBinding::write(device, thumbAddresses[index], thumb(index)->getPosition());
    return true;
}

void VoltageCutoffSlider::ensureGap(SliderThumb* lower, SliderThumb* upper, double gap,
                                    bool pushUpper)
{
    if (lower->getPosition() + gap <= upper->getPosition() + gapTolerance)
        return;
    if (pushUpper) {
        if (lower->getPosition() + gap > upper->getMax()) {
            upper->setPosition(upper->getMax());
            lower->setPosition(upper->getMax() - gap);
        } else {
            upper->setPosition(lower->getPosition() + gap);
        }
    } else {
        if (lower->getMin() > upper->getPosition() - gap) {
            lower->setPosition(lower->getMin());
            upper->setPosition(lower->getMin() + gap);
        } else {
            lower->setPosition(upper->getPosition() - gap);
        }
    }
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
    if (writeRegister(0))
        ensureGap(thumb1, thumb2, gap, true);
}

void VoltageCutoffSlider::updateThumb2Param()
{
    if (!writeRegister(1))
        return;
    ensureGap(thumb1, thumb2, gap, false);
    ensureGap(thumb2, thumb3, gap, true);
}

void VoltageCutoffSlider::updateThumb3Param()
{
    if (!writeRegister(2))
        return;
    ensureGap(thumb2, thumb3, gap, false);
    ensureGap(thumb3, thumb4, gap, true);
}

void VoltageCutoffSlider::updateThumb4Param()
{
    if (writeRegister(3))
        ensureGap(thumb3, thumb4, gap, false);
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
