#ifndef BOXCHECKS_H
#define BOXCHECKS_H

#include <QtWidgets>

namespace BoxChecks {

// The window with the frame the window manager put around it: the platform
// hears of a frame before the widget does.
inline QRect withFrame(const QWidget* window)
{
    const QWindow* handle = window->windowHandle();
    const QMargins frame = handle ? handle->frameMargins() : QMargins();
    // A side measured before the window manager framed a window that just
    // grew comes out negative: the window alone is all that is known.
    if (frame.left() < 0 || frame.top() < 0 || frame.right() < 0 || frame.bottom() < 0)
        return window->geometry();
    return window->geometry().marginsAdded(frame);
}

// What keeps a box from reading whole where it opens, once the window
// manager has framed it: a label that shows less than its text (a line, or
// a word of a text wrapped only between words, wider than the label, or
// the text taller; a pixel short is the rounding of a fractional scale),
// a break point of its own in the text, the box with its frame passing the screen's available area, and, unless `over` is null,
// the box away from the centre of the window `over` belongs to where being
// centred passes no edge of the screen. The toolkit places its own boxes
// before their frame is known, a title bar higher.
inline QStringList boxFaults(const QWidget* box, const QWidget* over)
{
    QStringList faults;
    for (const QLabel* label : box->findChildren<QLabel*>()) {
        if (!label->isVisibleTo(box) || !label->pixmap(Qt::ReturnByValue).isNull())
            continue;
        const QString text =
            label->textFormat() != Qt::PlainText && Qt::mightBeRichText(label->text())
            ? QTextDocumentFragment::fromHtml(label->text()).toPlainText()
            : label->text();
        // A label whose text wraps within words where it must shows every
        // word; any other shows a word wider than itself cut.
        const QTextDocument* document = label->findChild<QTextDocument*>();
        const auto wraps =
            document ? document->defaultTextOption().wrapMode() : QTextOption::WordWrap;
        const bool withinWords = wraps == QTextOption::WrapAtWordBoundaryOrAnywhere
            || wraps == QTextOption::WrapAnywhere;
        int widestWord = 0;
        if (!withinWords) {
            for (const QString& word : text.split(QRegularExpression("\\s+")))
                widestWord = qMax(widestWord, label->fontMetrics().horizontalAdvance(word));
        }
        // A break point of its own would be copied with the text.
        if (text.contains(QChar(0x200b)))
            faults << QString("\"%1\" holds a zero width space").arg(text.left(60));
        const QSize needed = label->wordWrap()
            ? QSize(widestWord, label->heightForWidth(label->width()))
            : label->sizeHint();
        if (!text.isEmpty()
            && (needed.width() > label->width() + 1 || needed.height() > label->height() + 1))
            faults << QString("\"%1\" %2 x %3 for %4 x %5")
                          .arg(text.left(60))
                          .arg(label->width())
                          .arg(label->height())
                          .arg(needed.width())
                          .arg(needed.height());
    }
    const QRect outer = withFrame(box);
    const QRect area = box->screen()->availableGeometry();
    const auto where = [](const QRect& place) {
        return QString("%1 %2 %3 x %4")
            .arg(place.x())
            .arg(place.y())
            .arg(place.width())
            .arg(place.height());
    };
    if (!area.contains(outer))
        faults << "\"" + box->windowTitle() + "\" at " + where(outer) + " passes the screen";
    if (!over)
        return faults;
    QRect centred(QPoint(), outer.size());
    centred.moveCenter(withFrame(over->window()).center());
    centred.moveRight(qMin(centred.right(), area.right()));
    centred.moveBottom(qMin(centred.bottom(), area.bottom()));
    centred.moveLeft(qMax(centred.left(), area.left()));
    centred.moveTop(qMax(centred.top(), area.top()));
    const QPoint off = outer.topLeft() - centred.topLeft();
    const int titleBar = box->geometry().top() - outer.top();
    if (qAbs(off.x()) > 3 || off.y() > 3 || off.y() < -3 - titleBar)
        faults << "\"" + box->windowTitle() + "\" at " + where(outer) + ", not " + where(centred);
    return faults;
}

} // namespace BoxChecks

#endif // BOXCHECKS_H
