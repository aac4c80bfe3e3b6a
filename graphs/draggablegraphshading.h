#ifndef DRAGGABLEGRAPHSHADING_H
#define DRAGGABLEGRAPHSHADING_H

#include <QColor>
#include <QGraphicsItem>
#include <QString>

// A translucent value rectangle of a graph with its label in the band above
// the plot, joined to the rectangle by leader lines. Edges set outside the
// axis range are ignored.
class DraggableGraphShading : public QGraphicsItem
{
public:
    DraggableGraphShading(double xStart, double yStart, double xEnd, double yEnd, QColor color,
                          QString label, double labelStart, double labelEnd, int domain,
                          int range, int plotWidth, int plotHeight, int labelBand);

    void setXStart(double value);
    void setYStart(double value);
    void setXEnd(double value);
    void setYEnd(double value);
    void setColor(QColor newColor);
    double getXStart() const;
    double getXEnd() const;

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    bool storeX(double value, int* pixel);
    bool storeY(double value, int* pixel);
    QRectF labelRect() const;

    int xStartPixel = 0;
    int yStartPixel = 0;
    int xEndPixel = 0;
    int yEndPixel = 0;
    int domain;
    int range;
    int plotWidth;
    int plotHeight;
    int labelBand;
    QColor color;
    QString label;
    QString labelFontFamily;
    int labelStartPixel;
    int labelEndPixel;
};

#endif // DRAGGABLEGRAPHSHADING_H
