#ifndef QLED_H
#define QLED_H

#include <QColor>
#include <QGraphicsView>

class QGraphicsEllipseItem;
class QGraphicsScene;
class QPainter;
class QRectF;

// A small round indicator lamp: a black ring whose inside takes the colour
// the caller sets. It knows nothing of what it indicates.
class QLed : public QGraphicsView
{
    Q_OBJECT

public:
    explicit QLed(QWidget* parent);

    void setColor(QColor color);

    // Takes its rectangle by value, so it is no override of the view's own
    // background drawing; the base version stays in use.
    using QGraphicsView::drawBackground;
    void drawBackground(QPainter* painter, QRectF rect);

private:
    QGraphicsScene* scene;
    QGraphicsEllipseItem* ellipse;
};

#endif // QLED_H
