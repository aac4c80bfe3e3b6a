#ifndef DRAGGABLEGRAPHTEXT_H
#define DRAGGABLEGRAPHTEXT_H

#include "draggablegraphrect.h"
#include "scenetextitem.h"

#include <QFont>
#include <QString>

// A text in a value rectangle of a graph, widened by 60 pixels on each side.
class DraggableGraphText : public DraggableGraphRect, public SceneTextItem
{
public:
    DraggableGraphText(double xStart, double yStart, double xEnd, double yEnd, QString text,
                       Qt::Alignment flags, int domain, int range, int plotWidth, int plotHeight);

    QList<QRectF> textRects(const QPaintDevice* device) const override;

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

protected:
    // The item sits at the rectangle's top-left corner.
    void xStartSet(double value) override;
    void yEndSet(double value) override;

private:
    static QFont textFont(const QPaintDevice* device);

    QString text;
    int flags;
};

#endif // DRAGGABLEGRAPHTEXT_H
