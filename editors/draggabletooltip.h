#ifndef DRAGGABLETOOLTIP_H
#define DRAGGABLETOOLTIP_H

#include <QDialog>
#include <QPoint>

class QLabel;

// A help bubble: a frameless window with a paragraph of text that stays on
// top, can be dragged with the left mouse button and closes when clicked.
// It deletes itself once closed.
class DraggableTooltip : public QDialog
{
    Q_OBJECT

public:
    explicit DraggableTooltip(QWidget* parent = nullptr);

    void setString(const QString& text);
    // Places the bubble just above and left of a global point, or below it
    // by offset, or at the screen's left edge, where there is no room.
    void alignTo(QPoint anchor, int offset);

signals:
    // The user closed the bubble with a click.
    void closed();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QPoint pressPos;
    QPoint pressWindowPos;
    QLabel* label;
};

#endif // DRAGGABLETOOLTIP_H
