#include "draggabletooltipmanager.h"

#include "draggabletooltip.h"
#include "parameter.h"

#include <QCursor>
#include <QPushButton>
#include <QVariant>

DraggableTooltipManager::DraggableTooltipManager(QWidget* widget)
    : widget(widget)
{
}

DraggableTooltipManager::~DraggableTooltipManager()
{
    clearAll();
}

QString DraggableTooltipManager::stringId(int address) const
{
    return QLatin1Char('p') + QString::number(address);
}

QString DraggableTooltipManager::stringId(int address, int bit) const
{
    return stringId(address) + QLatin1Char(':') + QString::number(bit);
}

void DraggableTooltipManager::insertToolTipButton(QWidget*, const QString&) {}

void DraggableTooltipManager::insertToolTipButton(QWidget* row, int address)
{
    insertToolTipButton(row, stringId(address));
}

void DraggableTooltipManager::insertToolTipButton(QWidget* row, int address, int bit)
{
    insertToolTipButton(row, stringId(address, bit));
}

void DraggableTooltipManager::insertToolTipButton(QWidget* row, Parameter* parameter)
{
    if (!row || !parameter)
        return;
    if (parameter->getType() == ParameterDefinition::TypeBitVector)
        insertToolTipButton(row, parameter->getAddress(), row->property("bit").toInt());
    else
        insertToolTipButton(row, parameter->getAddress());
}

void DraggableTooltipManager::toggleTooltip(const QString& id, QPushButton* button)
{
    if (DraggableTooltip* open = openTooltips.take(id)) {
        open->close();
        return;
    }
    auto* tooltip = new DraggableTooltip(widget);
    const QString fallback = QStringLiteral("No help available [") + id + QLatin1Char(']');
    tooltip->setString(texts.value(id, fallback));
    connect(
        tooltip, &DraggableTooltip::closed, tooltip,
        [this, id, tooltip] {
            if (openTooltips.value(id) == tooltip)
                openTooltips.remove(id);
        },
        Qt::DirectConnection);
    // Above and left of the button when there is room, else below it.
    if (button)
        tooltip->alignTo(button->mapToGlobal(QPoint(0, 0)), button->height());
    else
        tooltip->alignTo(QCursor::pos(), 0);
    tooltip->show();
    openTooltips.insert(id, tooltip);
}

void DraggableTooltipManager::clearAll()
{
    const QStringList ids = openTooltips.keys();
    for (const QString& id : ids) {
        if (DraggableTooltip* open = openTooltips.take(id))
            open->close();
    }
}
