#ifndef SENSORLESSSTARTINGGRAPH_H
#define SENSORLESSSTARTINGGRAPH_H

#include <QGraphicsView>

// The sensorless start profile editor.
class SensorlessStartingGraph : public QGraphicsView
{
    Q_OBJECT

public:
    explicit SensorlessStartingGraph(QWidget* parent);
};

#endif // SENSORLESSSTARTINGGRAPH_H
