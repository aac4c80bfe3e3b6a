#ifndef TEMPERATUREFEEDBACKGRAPH_H
#define TEMPERATUREFEEDBACKGRAPH_H

#include <QGraphicsView>

// The temperature sensor voltage map editor.
class TemperatureFeedbackGraph : public QGraphicsView
{
    Q_OBJECT

public:
    explicit TemperatureFeedbackGraph(QWidget* parent);
};

#endif // TEMPERATUREFEEDBACKGRAPH_H
