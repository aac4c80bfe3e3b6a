#include "dropdownwidths.h"

#include "screenfit.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QHelpEvent>
#include <QLayout>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QToolTip>
#include <QVector>

#include <algorithm>
#include <numeric>

namespace {

int horizontal(const QMargins& margins)
{
    return margins.left() + margins.right();
}

// The width that frames and layout margins take from a widget and its
// parents up to, not including, `until` (or up to the window).
int marginsFrom(const QWidget* widget, const QWidget* until)
{
    int width = 0;
    for (const QWidget* w = widget; w && w != until; w = w->parentWidget()) {
        width += horizontal(w->contentsMargins());
        if (w->layout())
            width += horizontal(w->layout()->contentsMargins());
        if (w->isWindow())
            break;
    }
    return width;
}

// The widget that holds all the drop-downs of a row.
const QWidget* commonParent(const QList<QComboBox*>& boxes)
{
    const QWidget* common = boxes.first()->parentWidget();
    while (common) {
        const bool holdsAll = std::all_of(boxes.cbegin(), boxes.cend(), [common](QComboBox* box) {
            return common->isAncestorOf(box);
        });
        if (holdsAll)
            return common;
        common = common->parentWidget();
    }
    return nullptr;
}

// The narrower ones whole; the others share what is left alike.
QList<int> share(const QList<int>& needed, int room)
{
    QVector<int> order(needed.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(),
              [&needed](int a, int b) { return needed[a] < needed[b]; });
    QList<int> widths = needed;
    int left = room;
    int count = needed.size();
    for (const int i : qAsConst(order)) {
        widths[i] = qMax(0, qMin(needed[i], left / count));
        left -= widths[i];
        --count;
    }
    return widths;
}

} // namespace

DropDownWidths::DropDownWidths(QWidget* window)
    : QObject(window)
    , window(window)
{
    window->installEventFilter(this);
}

void DropDownWidths::addRow(const QList<QComboBox*>& boxes)
{
    if (boxes.isEmpty())
        return;
    rows << boxes;
    for (QComboBox* box : boxes) {
        formWidths.insert(box, box->maximumWidth());
        // Its size hint is its longest entry's width, whatever it holds.
        box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        box->installEventFilter(this);
        const QAbstractItemModel* entries = box->model();
        connect(entries, &QAbstractItemModel::rowsInserted, this, &DropDownWidths::fit);
        connect(entries, &QAbstractItemModel::rowsRemoved, this, &DropDownWidths::fit);
        connect(entries, &QAbstractItemModel::modelReset, this, &DropDownWidths::fit);
    }
}

void DropDownWidths::fit()
{
    const int room = ScreenFit::roomOnScreen(window).width();
    for (const QList<QComboBox*>& row : qAsConst(rows))
        fitRow(row, room - widthBeside(row));
    ScreenFit::widenForContent(window);
}

bool DropDownWidths::showsWhole(const QComboBox* box, const QString& text)
{
    return showsWhole(box, text, box->width());
}

bool DropDownWidths::showsWhole(const QComboBox* box, const QString& text, int width)
{
    QStyleOptionComboBox option;
    option.initFrom(box);
    option.rect.setWidth(width);
    option.editable = box->isEditable();
    const QRect field = box->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                     QStyle::SC_ComboBoxEditField, box);
    return box->fontMetrics().horizontalAdvance(text) <= field.width();
}

// The closed drop-down's name in full where its field cuts it; the window
// moves back onto the screen where its drop-downs widened it past it.
bool DropDownWidths::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == window && event->type() == QEvent::Resize && window->isVisible())
        ScreenFit::moveOntoScreen(window);
    if (event->type() != QEvent::ToolTip)
        return QObject::eventFilter(watched, event);
    auto* box = qobject_cast<QComboBox*>(watched);
    if (!box || showsWhole(box, box->currentText()))
        return QObject::eventFilter(watched, event);
    QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), box->currentText(), box);
    return true;
}

void DropDownWidths::fitRow(const QList<QComboBox*>& boxes, int room)
{
    QList<int> needed;
    for (const QComboBox* box : boxes)
        needed << box->sizeHint().width();
    const QList<int> widths = share(needed, room);
    for (int i = 0; i < boxes.size(); ++i) {
        // The layout gives it at least this width, and never more than
        // the form allowed or its entries need.
        boxes[i]->setMinimumWidth(widths[i]);
        boxes[i]->setMaximumWidth(qMax(widths[i], formWidths.value(boxes[i])));
        markCutEntries(boxes[i], widths[i]);
        // Each layout up to the window's learns of it now, not level by
        // level as the toolkit's requests reach them.
        for (QWidget* w = boxes[i]->parentWidget(); w && !w->isWindow(); w = w->parentWidget())
            w->updateGeometry();
    }
}

// What the row's width holds beside its drop-downs: the frames and margins
// around each and around the row, and the spacing between them.
int DropDownWidths::widthBeside(const QList<QComboBox*>& boxes) const
{
    const QWidget* common = commonParent(boxes);
    int width = marginsFrom(common, nullptr);
    for (const QComboBox* box : boxes)
        width += marginsFrom(box->parentWidget(), common);
    if (common && common->layout())
        width += qMax(0, common->layout()->spacing()) * (boxes.size() - 1);
    return width;
}

// At the least width the box gets: at that width the list shows no less.
void DropDownWidths::markCutEntries(QComboBox* box, int width)
{
    for (int i = 0; i < box->count(); ++i) {
        const QString text = box->itemText(i);
        box->setItemData(i, showsWhole(box, text, width) ? QVariant() : QVariant(text),
                         Qt::ToolTipRole);
    }
}
