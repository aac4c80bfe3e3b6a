#ifndef DRAGGABLEGRAPHTEXT_H
#define DRAGGABLEGRAPHTEXT_H

#include <QGraphicsItem>
#include <QString>

// A text in a value rectangle of a graph, widened by 60 pixels on each side.
class DraggableGraphText : public QGraphicsItem
{
public:
    DraggableGraphText(double xStart, double yStart, double xEnd, double yEnd, QString text,
                       Qt::Alignment flags, int domain, int range, int plotWidth, int plotHeight);

    // setXStart() also moves the item's x, setYEnd() its y.
    void setXStart(double value);
    void setYStart(double value);
    void setXEnd(double value);
    void setYEnd(double value);

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    bool storeX(double value, int* pixel);
    bool storeY(double value, int* pixel);

    int xStartPixel = 0;
    int yStartPixel = 0;
    int xEndPixel = 0;
    int yEndPixel = 0;
    int domain;
    int range;
    int plotWidth;
    int plotHeight;
    QString text;
    int flags;
};

#endif // DRAGGABLEGRAPHTEXT_H
