#ifndef VOLTAGECUTOFFSLIDER_H
#define VOLTAGECUTOFFSLIDER_H

#include <QGraphicsView>

// The battery-voltage cutoff slider.
class VoltageCutoffSlider : public QGraphicsView
{
    Q_OBJECT

public:
    explicit VoltageCutoffSlider(QWidget* parent);
};

#endif // VOLTAGECUTOFFSLIDER_H
