#ifndef BOXCHECKS_H
#define BOXCHECKS_H

// What keeps a box from reading whole where it opens: a label that shows
// less than its text (a line, or a word of a wrapped text, wider than the
// label, or the text taller), the box with the frame the window manager
// put around it passing the screen's available area, and the box away from
// the centre of the window it opens over, where being centred would pass
// no edge of the screen. Call once the window manager has framed the box.

#include <QtWidgets>

namespace BoxChecks {

// The window with the frame the window manager put around it: the platform
// hears of a frame before the widget does.
inline QRect withFrame(const QWidget* window)
{
    const QWindow* handle = window->windowHandle();
    return handle ? window->geometry().marginsAdded(handle->frameMargins()) : window->geometry();
}

// The widest word of a wrapped label's text: its line breaks nowhere else.
inline int widestWord(const QLabel* label)
{
    const bool rich = label->textFormat() == Qt::RichText
        || (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()));
    const QString text =
        rich ? QTextDocumentFragment::fromHtml(label->text()).toPlainText() : label->text();
    int widest = 0;
    for (const QString& word : text.split(QRegularExpression("\\s+")))
        widest = qMax(widest, label->fontMetrics().horizontalAdvance(word));
    return widest;
}

// The fault when the label shows less than its text, else empty.
inline QString cutLabel(const QLabel* label)
{
    if (label->text().isEmpty() || !label->pixmap(Qt::ReturnByValue).isNull())
        return {};
    const QSize needed = label->wordWrap()
        ? QSize(widestWord(label), label->heightForWidth(label->width()))
        : label->sizeHint();
    // A pixel short is the rounding of a fractional scale.
    if (needed.width() <= label->width() + 1 && needed.height() <= label->height() + 1)
        return {};
    return QString("%1 \"%2\" %3 x %4 for %5 x %6")
        .arg(label->objectName(), label->text().left(60))
        .arg(label->width())
        .arg(label->height())
        .arg(needed.width())
        .arg(needed.height());
}

inline QStringList cutLabels(const QWidget* window)
{
    QStringList cut;
    for (const QLabel* label : window->findChildren<QLabel*>()) {
        if (label->isVisibleTo(window) && label->width() > 0 && !cutLabel(label).isEmpty())
            cut << cutLabel(label);
    }
    return cut;
}

inline QStringList offScreen(const QWidget* window)
{
    const QRect outer = withFrame(window);
    const QRect area = window->screen()->availableGeometry();
    if (area.contains(outer))
        return {};
    return {QString("%1 \"%2\" at %3 %4 %5 x %6 passes the screen's %7 x %8")
                .arg(window->objectName(), window->windowTitle())
                .arg(outer.x())
                .arg(outer.y())
                .arg(outer.width())
                .arg(outer.height())
                .arg(area.width())
                .arg(area.height())};
}

// Centred over the window `over` belongs to, frames included, and moved
// from there onto the screen's available area where that passes an edge.
inline QStringList offCentre(const QWidget* box, const QWidget* over)
{
    const QRect outer = withFrame(box);
    const QRect area = box->screen()->availableGeometry();
    QRect expected(QPoint(), outer.size());
    expected.moveCenter(withFrame(over->window()).center());
    expected.moveRight(qMin(expected.right(), area.right()));
    expected.moveBottom(qMin(expected.bottom(), area.bottom()));
    expected.moveLeft(qMax(expected.left(), area.left()));
    expected.moveTop(qMax(expected.top(), area.top()));
    // Frames and centres rounded at a fractional scale; the toolkit places
    // its own boxes before their frame is known, a title bar higher.
    const int slack = 3;
    const int titleBar = outer.top() - box->geometry().top();
    const QPoint off = outer.topLeft() - expected.topLeft();
    if (qAbs(off.x()) <= slack && off.y() <= slack && off.y() >= -slack + titleBar)
        return {};
    return {QString("\"%1\" at %2 %3, not %4 %5 over \"%6\"")
                .arg(box->windowTitle())
                .arg(outer.x())
                .arg(outer.y())
                .arg(expected.x())
                .arg(expected.y())
                .arg(over->window()->windowTitle())};
}

// Everything above: the box reads whole, centred over `over`.
inline QStringList boxFaults(const QWidget* box, const QWidget* over)
{
    return cutLabels(box) + offScreen(box) + offCentre(box, over);
}

} // namespace BoxChecks

#endif // BOXCHECKS_H
