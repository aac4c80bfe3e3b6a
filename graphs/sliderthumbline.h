#ifndef SLIDERTHUMBLINE_H
#define SLIDERTHUMBLINE_H

#include <QGraphicsItem>

class SliderThumb;

// A leader line from a thumb's side to a fixed label height beside the track.
class SliderThumbLine : public QGraphicsItem
{
public:
    // Registers itself with the thumb.
    SliderThumbLine(SliderThumb* source, int y, bool onLeft);

    void adjust();
    SliderThumb* sourceThumb() const { return source; }

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    int stubEnd() const;

    SliderThumb* source;
    bool onLeft;
    QPointF sourcePoint;
    QPointF destPoint;
};

#endif // SLIDERTHUMBLINE_H
