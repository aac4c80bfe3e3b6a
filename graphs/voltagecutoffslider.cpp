#include "voltagecutoffslider.h"

VoltageCutoffSlider::VoltageCutoffSlider(QWidget* parent)
    : QGraphicsView(parent)
{
    setMinimumSize(80, 400);
}
