#ifndef INTERRUPTIONMARKS_H
#define INTERRUPTIONMARKS_H

#include <QPen>
#include <QVector>
#include <qcustomplot.h>

// The Dashboard plot's interruption marks: a vertical line across the axis
// rectangle at each time on the key axis where graphing resumed.
//
// A repaint costs the same however many marks are kept: one item draws
// them all, marks that fall on one pixel column are drawn once, and on a
// plain raster the lines are laid down in one fill of a tile holding one
// period of the pen's dashes for every column (a line item per mark made
// every later sample dearer). They look as straight line items without
// antialiasing would.
class InterruptionMarks : public QCPAbstractItem
{
    Q_OBJECT

public:
    InterruptionMarks(QCustomPlot* plot, QCPAxis* keyAxis);

    QPen pen() const { return m_pen; }
    void setPen(const QPen& pen);

    // Kept in ascending order.
    const QVector<double>& times() const { return m_times; }
    void append(double time);
    void clear();

    // Where the marks shown in rect lie in pixels, ascending, one for each
    // pixel column.
    QVector<double> shownPositions(const QRect& rect) const;

    // Marks are never selected.
    double selectTest(const QPointF& pos, bool onlySelectable,
                      QVariant* details = nullptr) const override;

protected:
    void draw(QCPPainter* painter) override;

private:
    bool canTile(const QCPPainter* painter) const;
    QVector<bool> dashRows() const;
    void drawTiled(QCPPainter* painter, const QRect& rect, const QVector<double>& positions) const;
    void drawLines(QCPPainter* painter, const QRect& rect, const QVector<double>& positions) const;

    QCPAxis* m_keyAxis;
    QPen m_pen;
    QVector<double> m_times;
};

#endif // INTERRUPTIONMARKS_H
