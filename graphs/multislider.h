#ifndef MULTISLIDER_H
#define MULTISLIDER_H

#include <QColor>
#include <QGraphicsView>
#include <QString>

class MultiSliderShading;
class SliderThumb;
class SliderThumbLine;

// A vertical slider with any number of thumbs on one track, drawn on a small
// scene: the track runs from the range's minimum at scene y 0 up to its
// maximum at y -200, with coloured bands between chosen values and leader
// lines from thumbs to label positions beside it. Binding thumbs to values
// is the subclass's business.
class MultiSlider : public QGraphicsView
{
    Q_OBJECT

public:
    static constexpr int trackLength = 200;

    explicit MultiSlider(QWidget* parent);
    ~MultiSlider() override;

    // 0, or -1 when a range is set already.
    int setRange(int min, int max, QString units);
    // Null before setRange() and for a value outside the range.
    SliderThumb* addThumb(double value);
    SliderThumbLine* addThumbLine(SliderThumb* thumb, int y, bool onLeft);
    MultiSliderShading* addShading(double start, double end, QColor color);

    // Scene y of a value on a track of the range, and back.
    static double pixelOf(double value, int rangeMin, int rangeMax);
    static double valueOf(double pixel, int rangeMin, int rangeMax);

signals:
    void range_changed(int min, int max);

protected:
    MultiSlider(QWidget* parent, double xScale, double yScale, const QSize& minimumSize);

    void drawBackground(QPainter* painter, const QRectF& rect) override;

    QGraphicsScene* sliderScene = nullptr;
    int rangeMin = 0;
    int rangeMax = 0;
    bool rangeSet = false;
};

#endif // MULTISLIDER_H
