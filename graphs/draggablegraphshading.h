#ifndef DRAGGABLEGRAPHSHADING_H
#define DRAGGABLEGRAPHSHADING_H

#include "draggablegraphrect.h"
#include "scenetextitem.h"

#include <QColor>
#include <QFont>
#include <QString>

// A translucent value rectangle of a graph with its label in the band above
// the plot, joined to the rectangle by leader lines.
class DraggableGraphShading : public DraggableGraphRect, public SceneTextItem
{
public:
    DraggableGraphShading(double xStart, double yStart, double xEnd, double yEnd, QColor color,
                          QString label, double labelStart, double labelEnd, int domain, int range,
                          int plotWidth, int plotHeight, int labelBand);

    void setColor(QColor newColor);
    double getXStart() const;
    double getXEnd() const;

    QList<QRectF> textRects(const QPaintDevice* device) const override;

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    QRectF labelRect() const;
    QFont labelFont(const QPaintDevice* device) const;

    int labelBand;
    QColor color;
    QString label;
    QString labelFontFamily;
    int labelStartPixel;
    int labelEndPixel;
};

#endif // DRAGGABLEGRAPHSHADING_H
