#include "draggablegraphrect.h"

#include "numericconversion.h"

DraggableGraphRect::DraggableGraphRect(int domain, int range, int plotWidth, int plotHeight)
    : domain(domain)
    , range(range)
    , plotWidth(plotWidth)
    , plotHeight(plotHeight)
{
    setAcceptedMouseButtons(Qt::NoButton);
}

bool DraggableGraphRect::storeX(double value, int* pixel)
{
    prepareGeometryChange();
    if (!(value >= 0 && value <= domain))
        return false;
    *pixel = truncateToInt(plotWidth * value / domain);
    return true;
}

bool DraggableGraphRect::storeY(double value, int* pixel)
{
    prepareGeometryChange();
    if (!(value >= 0 && value <= range))
        return false;
    *pixel = truncateToInt(-(plotHeight * value) / range);
    return true;
}

void DraggableGraphRect::setXStart(double value)
{
    if (storeX(value, &xStartPixel))
        xStartSet(value);
}

void DraggableGraphRect::setYStart(double value)
{
    storeY(value, &yStartPixel);
}

void DraggableGraphRect::setXEnd(double value)
{
    storeX(value, &xEndPixel);
}

void DraggableGraphRect::setYEnd(double value)
{
    if (storeY(value, &yEndPixel))
        yEndSet(value);
}
