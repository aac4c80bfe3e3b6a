#ifndef VOLTAGECUTOFFSLIDER_H
#define VOLTAGECUTOFFSLIDER_H

#include "multislider.h"

class Kelvara;
class MultiSliderShading;
class SliderThumb;

// The battery-voltage slider of 19 to 90 V: from bottom to top its thumbs
// set where the low-voltage rollback ends (register 142) and starts (141),
// and where the maximum-regen-voltage rollback starts (194) and ends (195).
// Bands show the zones: red, orange, green, orange, red. A dragged or edited
// thumb pushes its neighbours so that adjacent thumbs stay 0.5 V apart.
class VoltageCutoffSlider : public MultiSlider
{
    Q_OBJECT

public:
    explicit VoltageCutoffSlider(QWidget* parent);

    // Adds the thumbs and bands and binds them to the registers; once.
    void initialize(Kelvara* device);
    void ensureGap(SliderThumb* lower, SliderThumb* upper, double gap, bool pushUpper);

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
    void followRegister(int index);
    void catchUpOtherThumbs(int index);
    bool writeRegister(int index);

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
    bool writingBack[4] = {};
    bool catchingUp = false;
};

#endif // VOLTAGECUTOFFSLIDER_H
