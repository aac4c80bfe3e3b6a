#ifndef SCENETEXT_H
#define SCENETEXT_H

#include <QFont>
#include <QList>
#include <QRectF>
#include <QString>

class QGraphicsView;
class QPaintDevice;

// The texts of a graph's scene grow with the page's fonts. A font in points
// grows with the screen's DPI while the scene's pixel sizes would not, so
// labels would pile up: the items draw with fonts as large in scene units as
// at 96 dpi, and the view scales the whole scene by factor() instead.
class SceneText
{
public:
    // How much larger than at 96 dpi a device draws a font of given points.
    static double factor(const QPaintDevice* device);
    // A font as large in scene units as the points are at 96 dpi.
    static QFont font(const QString& family, qreal points, const QPaintDevice* device,
                      int weight = -1);

    // Where the ink of a text lies: drawn from its baseline start, or
    // placed in a rectangle with alignment flags.
    static QRectF inkAt(const QFont& font, const QPaintDevice* device, const QPointF& baseline,
                        const QString& text);
    static QRectF inkIn(const QFont& font, const QPaintDevice* device, const QRectF& rect,
                        int flags, const QString& text);

    // The ink of every text of the view's items, in scene coordinates.
    static QList<QRectF> sceneTexts(const QGraphicsView* view);
};

#endif // SCENETEXT_H
