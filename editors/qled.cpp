#include "qled.h"

#include <QBrush>
#include <QGraphicsEllipseItem>
#include <QGraphicsScene>
#include <QPen>

QLed::QLed(QWidget* parent)
    : QGraphicsView(parent)
{
    scene = new QGraphicsScene(this);
    scene->setItemIndexMethod(QGraphicsScene::NoIndex);
    scene->setSceneRect(0, 0, 20, 20);
    setScene(scene);

    setCacheMode(CacheBackground);
    setViewportUpdateMode(BoundingRectViewportUpdate);
    setRenderHint(QPainter::Antialiasing);
    setTransformationAnchor(AnchorUnderMouse);
    scale(1.0, 1.0);

    // May stretch sideways in a layout, never in height; the scene is not
    // scaled, so the ring keeps its size and stays centred.
    setMinimumSize(20, 20);
    setMaximumSize(500, 20);

    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setStyleSheet("background: transparent; border-style: none;");

    ellipse = scene->addEllipse(1, 1, 18, 18, QPen(), QBrush(Qt::transparent, Qt::SolidPattern));
}

void QLed::setColor(QColor color)
{
    ellipse->setBrush(QBrush(color, Qt::SolidPattern));
}

void QLed::drawBackground(QPainter* painter, QRectF rect)
{
    Q_UNUSED(painter)
    Q_UNUSED(rect)
}
