#ifndef SLIDERTHUMB_H
#define SLIDERTHUMB_H

#include "dragreturn.h"

#include <QGraphicsItem>
#include <QList>
#include <QObject>

class MultiSlider;
class SliderThumbLine;

// A draggable thumb of a multi-thumb slider. It only slides along the track
// and stays within its bounds, whether dragged or placed by code; every real
// move emits positionChanged() and carries its leader lines along.
class SliderThumb : public QObject, public QGraphicsItem
{
    Q_OBJECT
    Q_INTERFACES(QGraphicsItem)

public:
    SliderThumb(MultiSlider* slider, double value, int min, int max);

    // A value that is not a number leaves the thumb where it is.
    void setPosition(double value);
    double getPosition() const;
    void setMin(double value);
    void setMax(double value);
    // The bounds in whole numbers.
    double getMin() const;
    double getMax() const;
    // The mouse holds the thumb: the user is dragging it.
    bool isHeld() const;
    // The drag last released ended within a pixel of where it began.
    bool releasedNearStart() const { return dragReturn.endedNearStart(); }

    void addThumbLine(SliderThumbLine* line);
    QList<SliderThumbLine*> thumbLines() const { return lines; }

    QRectF boundingRect() const override;
    QPainterPath shape() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

signals:
    void positionChanged();
    void clicked();
    void released();

protected:
    QVariant itemChange(GraphicsItemChange change, const QVariant& value) override;
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent* event) override;
    // A drag that ends without a release (the grab taken away) ends as one.
    bool sceneEvent(QEvent* event) override;

private:
    double pixel(double value) const;

    MultiSlider* slider;
    QList<SliderThumbLine*> lines;
    int rangeMin;
    int rangeMax;
    // Scene y bounds: minPixel for low values (the larger number).
    int minPixel = 0;
    int maxPixel = -200;
    bool pressed = false;
    DragReturn dragReturn;
};

#endif // SLIDERTHUMB_H
