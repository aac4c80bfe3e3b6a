#ifndef MULTISLIDERSHADING_H
#define MULTISLIDERSHADING_H

#include <QColor>
#include <QGraphicsItem>

// A coloured band along a multi-thumb slider's track between two values.
// Edges set outside the range are ignored.
class MultiSliderShading : public QGraphicsItem
{
public:
    MultiSliderShading(double start, double end, QColor color, int min, int max);

    void setStart(double value);
    void setEnd(double value);
    void setColor(QColor newColor);

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    bool inRange(double value) const { return value >= rangeMin && value <= rangeMax; }

    int startPixel = 0;
    int endPixel = 0;
    int rangeMin;
    int rangeMax;
    QColor color;
};

#endif // MULTISLIDERSHADING_H
