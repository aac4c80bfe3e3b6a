#ifndef DRAGGABLETOOLTIPMANAGER_H
#define DRAGGABLETOOLTIPMANAGER_H

#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>

class DraggableTooltip;
class Parameter;
class QPushButton;
class QWidget;

// Help bubbles of one window, at most one open per help id: "p" and the
// register address, or "p", the address, ":" and the bit for one bit of a
// bit vector. Rows are announced as they are bound; no help texts are
// supplied, so a bubble shows that no help is available.
class DraggableTooltipManager : public QObject
{
    Q_OBJECT

public:
    explicit DraggableTooltipManager(QWidget* widget);
    ~DraggableTooltipManager() override;

    QString stringId(int address) const;
    QString stringId(int address, int bit) const;

    // Rows get no help button of their own.
    void insertToolTipButton(QWidget* row, const QString& id);
    void insertToolTipButton(QWidget* row, int address);
    void insertToolTipButton(QWidget* row, int address, int bit);
    // The bit of a bit-vector row comes from the row's "bit" property.
    void insertToolTipButton(QWidget* row, Parameter* parameter);

    // Closes every open bubble.
    void clearAll();

public slots:
    // Opens the bubble of id next to the button, or closes it when open.
    void toggleTooltip(const QString& id, QPushButton* button);

private:
    QMap<QString, QString> texts;
    QWidget* widget;
    // A bubble also goes when its parent window does.
    QMap<QString, QPointer<DraggableTooltip>> openTooltips;
};

#endif // DRAGGABLETOOLTIPMANAGER_H
