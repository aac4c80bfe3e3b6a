#include "draggablegraphspinbox.h"

#include "numericconversion.h"

DraggableGraphSpinbox::DraggableGraphSpinbox(double x, int width, int height, int domain, int,
                                             int plotWidth, int plotHeight, int labelBand)
    : position(truncateToInt(plotWidth * x / domain - width / 2),
               -(height / 2 + plotHeight + labelBand))
{
    setButtonSymbols(QAbstractSpinBox::NoButtons);
    setMaximumSize(width, height);
    setReadOnly(true);
    setDecimals(3);
    hide();
    move(position);
}
