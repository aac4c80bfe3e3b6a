#include "scenetext.h"

#include "scenetextitem.h"

#include <QFontMetricsF>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QPaintDevice>

namespace {

// The dots per inch the scenes' pixel sizes were made for.
const double sceneDpi = 96.0;

} // namespace

double SceneText::factor(const QPaintDevice* device)
{
    return device ? qMax(1.0, device->logicalDpiY() / sceneDpi) : 1.0;
}

QFont SceneText::font(const QString& family, qreal points, const QPaintDevice* device, int weight)
{
    QFont font(family);
    font.setPointSizeF(points / factor(device));
    if (weight >= 0)
        font.setWeight(weight);
    return font;
}

QRectF SceneText::inkAt(const QFont& font, const QPaintDevice* device, const QPointF& baseline,
                        const QString& text)
{
    return QFontMetricsF(font, const_cast<QPaintDevice*>(device))
        .tightBoundingRect(text)
        .translated(baseline);
}

QRectF SceneText::inkIn(const QFont& font, const QPaintDevice* device, const QRectF& rect,
                        int flags, const QString& text)
{
    const QFontMetricsF metrics(font, const_cast<QPaintDevice*>(device));
    const QRectF box = metrics.boundingRect(rect, flags, text);
    if (text.contains(QLatin1Char('\n')))
        return box;
    // One line: from the top of its glyphs to their baseline and below.
    const QRectF ink = metrics.tightBoundingRect(text);
    return QRectF(box.left(), box.top() + metrics.ascent() + ink.top(), box.width(), ink.height());
}

QList<QRectF> SceneText::sceneTexts(const QGraphicsView* view)
{
    QList<QRectF> rects;
    const auto items = view->scene()->items(Qt::AscendingOrder);
    for (const QGraphicsItem* item : items) {
        const auto* texts = dynamic_cast<const SceneTextItem*>(item);
        if (!texts || !item->isVisible())
            continue;
        for (const QRectF& rect : texts->textRects(view->viewport()))
            rects << item->mapRectToScene(rect);
    }
    return rects;
}
