#ifndef SLIDERTRACK_H
#define SLIDERTRACK_H

#include "scenetextitem.h"

#include <QFont>
#include <QGraphicsItem>
#include <QString>

class MultiSlider;

// The track of a multi-thumb slider with its ticks and end labels.
class SliderTrack : public QGraphicsItem, public SceneTextItem
{
public:
    SliderTrack(MultiSlider* slider, int rangeMin, int rangeMax, QString units);

    QList<QRectF> textRects(const QPaintDevice* device) const override;

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

    QString topLabel() const { return QString::number(rangeMax) + units; }
    QString bottomLabel() const { return QString::number(rangeMin) + units; }

private:
    static QFont labelFont(const QPaintDevice* device);
    // Baseline starts of the end labels.
    QPointF topLabelAt() const;
    QPointF bottomLabelAt() const;

    MultiSlider* slider;
    int rangeMin;
    int rangeMax;
    QString units;
};

#endif // SLIDERTRACK_H
