#ifndef VOLTAGECUTOFFSLIDER_H
#define VOLTAGECUTOFFSLIDER_H

#include "multislider.h"

class Kelvara;
class MultiSliderShading;
class SliderThumb;

// The battery-voltage slider of 19 to 90 V: from bottom to top its thumbs
// set where the low-voltage rollback ends (register 142) and starts (141),
// and where the maximum-regen-voltage rollback starts (194) and ends (195).
// Bands show the zones: red, orange, green, orange, red.
//
// The thumbs show the registers, a value beyond the track at its end; only
// a thumb the user drags writes its register, within the stretch that
// leaves the others room on the track and within their limits. The
// registers keep their order 0.5 V apart: a value the user sets (dragged,
// typed, or moved by a new rated voltage) pushes its neighbours away as far
// as their limits let them, and is held back where they cannot make room.
// Where the limits are too close for all four, the rule ends at them. The
// device model settles the order with this rule as it works out the page's
// values; before the first read the slider applies it to each edit.
class VoltageCutoffSlider : public MultiSlider
{
    Q_OBJECT

public:
    explicit VoltageCutoffSlider(QWidget* parent);

    // Adds the thumbs and bands and binds them to the registers; once.
    void initialize(Kelvara* device);

public slots:
    void updateThumb1Value();
    void updateThumb2Value();
    void updateThumb3Value();
    void updateThumb4Value();
    void updateThumb1Param();
    void updateThumb2Param();
    void updateThumb3Param();
    void updateThumb4Param();
    void updateLowerRedShading();
    void updateLowerOrangeShading();
    void updateGreenShading();
    void updateUpperOrangeShading();
    void updateUpperRedShading();

private:
    // Thumbs 1 to 4 at indices 0 to 3.
    SliderThumb* thumb(int index) const;
    double registerValue(int index) const;
    // The order of two neighbouring values, the gap between them: how far
    // the upper one falls short of it. The device model keeps it too.
    double shortfall(double lower, double upper) const;
    bool inOrder(double lower, double upper) const;
    void limits(int index, double* low, double* high) const;
    void followRegister(int index);
    // The device model settles the order: the register was set.
    void settle(int changed);
    void placeThumbs();
    void keepOrder(int changed);
    // Where the value may go so that the others keep their gaps within
    // [low, high] and their limits; false where there is no such place.
    bool room(int index, double low, double high, double* from, double* to) const;
    double heldValue(int changed) const;
    void push(int index, double value);
    void startDrag(int index);
    void writeDragged(int index);

    Kelvara* device = nullptr;
    SliderThumb* thumb1 = nullptr;
    SliderThumb* thumb2 = nullptr;
    SliderThumb* thumb3 = nullptr;
    SliderThumb* thumb4 = nullptr;
    MultiSliderShading* lowerRedShading = nullptr;
    MultiSliderShading* lowerOrangeShading = nullptr;
    MultiSliderShading* greenShading = nullptr;
    MultiSliderShading* upperOrangeShading = nullptr;
    MultiSliderShading* upperRedShading = nullptr;
    double gap = 0.5;
    bool keepingOrder = false;
    // The stretch of the track the dragged thumb may write.
    double dragFrom = 0.0;
    double dragTo = 0.0;
};

#endif // VOLTAGECUTOFFSLIDER_H
