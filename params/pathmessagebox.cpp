#include "pathmessagebox.h"

#include "screenfit.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

namespace {

const int labelSlack = 4;

// The parts of the line, each ending after a separator (the last one
// however it ends).
QStringList partsAfterSeparators(const QString& line)
{
    QStringList parts;
    int start = 0;
    for (int i = 0; i < line.size(); ++i) {
        if (line.at(i) == QLatin1Char('/') || line.at(i) == QLatin1Char('\\')) {
            parts << line.mid(start, i + 1 - start);
            start = i + 1;
        }
    }
    if (start < line.size())
        parts << line.mid(start);
    return parts;
}

// The line broken after separators into lines of at most width pixels; a
// name wider than that alone is broken where it must.
QString brokenAtSeparators(const QString& line, const QFontMetrics& metrics, int width)
{
    QStringList lines{QString()};
    for (const QString& part : partsAfterSeparators(line)) {
        if (!lines.last().isEmpty() && metrics.horizontalAdvance(lines.last() + part) > width)
            lines << QString();
        for (const QChar c : part) {
            if (!lines.last().isEmpty() && metrics.horizontalAdvance(lines.last() + c) > width)
                lines << QString();
            lines.last() += c;
        }
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace

PathMessageBox::PathMessageBox(Icon icon, const QString& title, const QString& text,
                               const QString& pathLine, QWidget* parent)
    : ListMessageBox(icon, title, text, parent)
    , pathLine(pathLine)
{
    setInformativeText(pathLine);
}

// As wide as the toolkit lets a box grow for a line it cannot wrap, or as
// the box's text, within the screen.
void PathMessageBox::breakLines(int width)
{
    auto* line = findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!line || !screen)
        return;
    const int screenWidth = screen->availableGeometry().width();
    const int widestBox = screenWidth <= 1024 ? screenWidth : qMin(screenWidth - 480, 1000);
    const int besides = ScreenFit::roomOnScreen(this).width() - textRoom();
    // Less the pixels the label keeps beside its text.
    const int pathWidth = qMin(textRoom(), qMax(width, widestBox - besides)) - labelSlack;
    line->setWordWrap(false);
    line->setText(brokenAtSeparators(pathLine, line->fontMetrics(), pathWidth));
}
