#ifndef DROPDOWNWIDTHS_H
#define DROPDOWNWIDTHS_H

#include <QHash>
#include <QList>
#include <QObject>

class QComboBox;
class QWidget;

// Drop-downs of a window as wide as their longest entry, within the room
// the screen's available area leaves the window; drop-downs that stand
// side by side in one row share it. None gets narrower than its form made
// it. A name cut to that room shows whole as the drop-down's tooltip, and
// as its entry's in the list. The widths follow the entries as they
// change.
class DropDownWidths : public QObject
{
    Q_OBJECT

public:
    explicit DropDownWidths(QWidget* window);

    // Drop-downs that stand side by side in one row of the window.
    void addRow(const QList<QComboBox*>& boxes);
    void fit();

    // Whether the drop-down shows the text whole in its field, at its
    // width or at the one given.
    static bool showsWhole(const QComboBox* box, const QString& text);
    static bool showsWhole(const QComboBox* box, const QString& text, int width);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitRow(const QList<QComboBox*>& boxes, int room);
    int widthBeside(const QList<QComboBox*>& boxes) const;
    static void markCutEntries(QComboBox* box, int width);

    QWidget* window;
    QList<QList<QComboBox*>> rows;
    // The widest each drop-down was in the form.
    QHash<const QComboBox*, int> formWidths;
};

#endif // DROPDOWNWIDTHS_H
