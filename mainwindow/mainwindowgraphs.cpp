// The graph editors of the pages, the Temperature page's sensor list and
// the PAS page's level table, bound to the device model once at start-up.

#include "mainwindow.h"

#include "assistlevelgraph.h"
#include "paspage.h"
#include "sensorlessstartinggraph.h"
#include "temperaturefeedbackgraph.h"
#include "temperaturepage.h"
#include "throttlegraph.h"
#include "ui_mainwindow.h"

#include <QComboBox>
#include <QLabel>
#include <QSlider>

void MainWindow::initDraggableGraphs()
{
    // The form holds one of each, also on a page that is not shown as a tab.
    ui->tabWidget->findChild<ThrottleGraph*>()->initialize(model);
    ui->tabWidget->findChild<SensorlessStartingGraph*>()->initialize(model);
    ui->tabWidget->findChild<TemperatureFeedbackGraph*>()->initialize(model);
    temperature->initTemperatureSensors();

    auto* assistGraph = ui->tabWidget->findChild<AssistLevelGraph*>();
    assistGraph->initialize(model);
    auto* rpmSlider = ui->tabWidget->findChild<QSlider*>(QStringLiteral("rpmSlider"));
    auto* rpmDisplay = ui->tabWidget->findChild<QLabel*>(QStringLiteral("rpmSliderDisplay"));
    if (rpmSlider) {
        connect(rpmSlider, &QSlider::valueChanged, assistGraph, &AssistLevelGraph::recalculateRPM);
        if (rpmDisplay)
            connect(rpmSlider, &QSlider::valueChanged, rpmDisplay, qOverload<int>(&QLabel::setNum));
        rpmSlider->setMaximum(750);
        rpmSlider->setValue(300);
    }
    auto* levels =
        ui->pedalAssistParameters->findChild<QComboBox*>(QStringLiteral("numAssistLevels"));
    if (levels) {
        connect(levels, &QComboBox::currentTextChanged, assistGraph,
                &AssistLevelGraph::changeNumAssistLevels);
        // A choice made before the graph was bound shows at once.
        if (!levels->currentText().isEmpty())
            assistGraph->changeNumAssistLevels(levels->currentText());
    }
    pas->connectAssistLevelAnchors();
}
