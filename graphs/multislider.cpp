#include "multislider.h"

#include "multislidershading.h"
#include "scenetext.h"
#include "sliderthumb.h"
#include "sliderthumbline.h"
#include "slidertrack.h"

MultiSlider::MultiSlider(QWidget* parent)
    : MultiSlider(parent, 1.0, 1.0, QSize(60, 240))
{
}

MultiSlider::MultiSlider(QWidget* parent, double xScale, double yScale, const QSize& minimumSize)
    : QGraphicsView(parent)
{
    sliderScene = new QGraphicsScene(this);
    sliderScene->setItemIndexMethod(QGraphicsScene::NoIndex);
    sliderScene->setSceneRect(-30, -220, 60, 240);
    setScene(sliderScene);
    setCacheMode(CacheBackground);
    setViewportUpdateMode(FullViewportUpdate);
    setRenderHint(QPainter::Antialiasing);
    setTransformationAnchor(AnchorUnderMouse);
    // The end labels' font grows with the screen's DPI: the track with it.
    const double textScale = SceneText::factor(this);
    scale(xScale * textScale, yScale * textScale);
    setMinimumSize(minimumSize);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setStyleSheet(QStringLiteral("background: transparent; border-style: none;"));
}

MultiSlider::~MultiSlider() = default;

double MultiSlider::pixelOf(double value, int rangeMin, int rangeMax)
{
    return (value - rangeMin) * -trackLength / (rangeMax - rangeMin);
}

double MultiSlider::valueOf(double pixel, int rangeMin, int rangeMax)
{
    return rangeMin + (rangeMax - rangeMin) * pixel / -trackLength;
}

int MultiSlider::setRange(int min, int max, QString units)
{
    if (rangeSet)
        return -1;
    sliderScene->addItem(new SliderTrack(this, min, max, units));
    rangeMin = min;
    rangeMax = max;
    rangeSet = true;
    return 0;
}

SliderThumb* MultiSlider::addThumb(double value)
{
    if (!rangeSet || !(value >= rangeMin && value <= rangeMax))
        return nullptr;
    auto* thumb = new SliderThumb(this, value, rangeMin, rangeMax);
    sliderScene->addItem(thumb);
    return thumb;
}

SliderThumbLine* MultiSlider::addThumbLine(SliderThumb* thumb, int y, bool onLeft)
{
    if (!thumb)
        return nullptr;
    auto* line = new SliderThumbLine(thumb, y, onLeft);
    sliderScene->addItem(line);
    return line;
}

MultiSliderShading* MultiSlider::addShading(double start, double end, QColor color)
{
    if (!rangeSet)
        return nullptr;
    auto* shading = new MultiSliderShading(start, end, color, rangeMin, rangeMax);
    sliderScene->addItem(shading);
    return shading;
}

void MultiSlider::drawBackground(QPainter*, const QRectF&)
{
    // Transparent: the page shows through.
}
