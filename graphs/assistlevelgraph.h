#ifndef ASSISTLEVELGRAPH_H
#define ASSISTLEVELGRAPH_H

#include <QGraphicsView>

// The pedal-assist power graph editor.
class AssistLevelGraph : public QGraphicsView
{
    Q_OBJECT

public:
    explicit AssistLevelGraph(QWidget* parent);
};

#endif // ASSISTLEVELGRAPH_H
