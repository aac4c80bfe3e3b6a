#ifndef DRAGGABLEGRAPHSHADING_H
#define DRAGGABLEGRAPHSHADING_H

#include "draggablegraphrect.h"

#include <QColor>
#include <QString>

// A translucent value rectangle of a graph with its label in the band above
// the plot, joined to the rectangle by leader lines.
class DraggableGraphShading : public DraggableGraphRect
{
public:
    DraggableGraphShading(double xStart, double yStart, double xEnd, double yEnd, QColor color,
                          QString label, double labelStart, double labelEnd, int domain, int range,
                          int plotWidth, int plotHeight, int labelBand);

    void setColor(QColor newColor);
    double getXStart() const;
    double getXEnd() const;

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    QRectF labelRect() const;

    int labelBand;
    QColor color;
    QString label;
    QString labelFontFamily;
    int labelStartPixel;
    int labelEndPixel;
};

#endif // DRAGGABLEGRAPHSHADING_H
