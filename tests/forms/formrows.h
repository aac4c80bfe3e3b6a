#ifndef FORMROWS_H
#define FORMROWS_H

// Finds the parameter rows of a page the way the main window does: every
// widget below a QFrame of the page's container whose "address" converts
// to an integer is a row, keyed by (address, bit), bit -1 when absent.

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFrame>
#include <QLabel>

namespace FormRows {

using Key = QPair<int, int>;

inline bool isRow(const QWidget* widget)
{
    bool ok = false;
    widget->property("address").toInt(&ok);
    return ok;
}

inline Key rowKey(const QWidget* row)
{
    bool ok = false;
    const int bit = row->property("bit").toInt(&ok);
    return {row->property("address").toInt(), ok ? bit : -1};
}

// Each row once, in the order of discovery: nested frames meet a row twice.
inline QList<QWidget*> findRows(const QWidget* container)
{
    QList<QWidget*> rows;
    for (const QFrame* frame : container->findChildren<QFrame*>()) {
        for (QWidget* widget : frame->findChildren<QWidget*>()) {
            if (isRow(widget) && !rows.contains(widget))
                rows.append(widget);
        }
    }
    return rows;
}

inline QLabel* rowLabel(const QWidget* row)
{
    return row->findChild<QLabel*>();
}

// The widget the main window binds: a spin box, else a combo box, else a
// check box.
inline QWidget* rowEditor(const QWidget* row)
{
    if (auto* spinBox = row->findChild<QDoubleSpinBox*>())
        return spinBox;
    if (auto* comboBox = row->findChild<QComboBox*>())
        return comboBox;
    return row->findChild<QCheckBox*>();
}

} // namespace FormRows

#endif // FORMROWS_H
