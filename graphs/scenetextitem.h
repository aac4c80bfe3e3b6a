#ifndef SCENETEXTITEM_H
#define SCENETEXTITEM_H

#include <QList>
#include <QRectF>

class QPaintDevice;

// An item of a graph's scene that draws texts: where their ink lies, in the
// item's coordinates, with the fonts it paints on the device.
class SceneTextItem
{
public:
    virtual ~SceneTextItem() = default;
    virtual QList<QRectF> textRects(const QPaintDevice* device) const = 0;
};

#endif // SCENETEXTITEM_H
