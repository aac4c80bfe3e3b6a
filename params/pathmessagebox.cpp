#include "pathmessagebox.h"

#include "screenfit.h"
#include "withinwordwrap.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

namespace {

const int labelSlack = 4;

} // namespace

PathMessageBox::PathMessageBox(Icon icon, const QString& title, const QString& text,
                               const QString& pathLine, QWidget* parent)
    : ListMessageBox(icon, title, text, parent)
    , pathLine(pathLine)
{
    setInformativeText(pathLine);
}

// The path wraps at most as wide as the toolkit lets a box grow for a line
// it cannot wrap, or as the box's text, within the screen.
void PathMessageBox::fitOtherTexts(int width)
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
    WithinWordWrap::apply(line);
    const int unwrapped = line->fontMetrics().horizontalAdvance(pathLine);
    line->setMinimumWidth(qMax(1, qMin(pathWidth, unwrapped)) + labelSlack);
}
