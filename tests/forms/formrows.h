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
#include <QList>
#include <QPair>
#include <QVariant>
#include <QWidget>

namespace FormRows {

using Key = QPair<int, int>;

inline bool isRow(const QWidget* widget)
{
    const QVariant address = widget->property("address");
    bool ok = false;
    address.toInt(&ok);
    return address.isValid() && ok;
}

inline Key rowKey(const QWidget* row)
{
    bool ok = false;
    const int bit = row->property("bit").toInt(&ok);
    return {row->property("address").toInt(), ok ? bit : -1};
}

// Each row once, in the order of discovery. A row below nested frames is met
// more than once by the scan; the main window's map keeps one entry for it.
inline QList<QWidget*> findRows(const QWidget* container)
{
    QList<QWidget*> rows;
    const auto frames = container->findChildren<QFrame*>();
    for (const QFrame* frame : frames) {
        const auto widgets = frame->findChildren<QWidget*>();
        for (QWidget* widget : widgets) {
            if (isRow(widget) && !rows.contains(widget))
                rows.append(widget);
        }
    }
    return rows;
}

// The first label below the row, direct children first.
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
