#ifndef THROTTLEGRAPH_H
#define THROTTLEGRAPH_H

#include <QGraphicsView>

// The throttle and brake input map editor.
class ThrottleGraph : public QGraphicsView
{
    Q_OBJECT

public:
    explicit ThrottleGraph(QWidget* parent);
};

#endif // THROTTLEGRAPH_H
