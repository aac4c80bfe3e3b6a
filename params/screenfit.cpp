#include "screenfit.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <cmath>

namespace {

// The dots per inch the forms' pixel sizes were made for.
const double formDpi = 96.0;
// Widening steps for a window whose texts need more height than the screen
// has.
const double widenStep = 1.1;
// The frame kept free around a window while no window shows the one the
// window manager puts around it, at 96 dpi: a title bar and borders as
// large as common desktops draw them (the toolkit assumes as much when it
// centres a dialog).
const QMargins frameAllowance(10, 40, 10, 10);

int scaledExtent(int extent, double factor)
{
    if (extent <= 0 || extent >= QWIDGETSIZE_MAX)
        return extent;
    return int(qMin<double>(QWIDGETSIZE_MAX, std::round(extent * factor)));
}

QSize scaledSize(const QSize& size, double factor)
{
    return QSize(scaledExtent(size.width(), factor), scaledExtent(size.height(), factor));
}

// Children a form puts on a window without a layout keep their places
// relative to the grown window.
void scalePlacedChildren(QWidget* window, double factor)
{
    if (window->layout())
        return;
    const QList<QWidget*> children =
        window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        if (child->isWindow())
            continue;
        const QRect place = child->geometry();
        child->setGeometry(int(std::round(place.x() * factor)), int(std::round(place.y() * factor)),
                           scaledExtent(place.width(), factor),
                           scaledExtent(place.height(), factor));
    }
}

void scaleLimits(QWidget* widget, double factor)
{
    widget->setMinimumSize(scaledSize(widget->minimumSize(), factor));
    widget->setMaximumSize(scaledSize(widget->maximumSize(), factor));
}

QRect availableArea(const QWidget* window)
{
    const QScreen* screen = window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

// The height the window's layout needs at a width. Wrapped texts count at
// that width: the layout's minimum takes them at their narrowest.
int neededHeight(QWidget* window, int width)
{
    QLayout* layout = window->layout();
    if (!layout)
        return window->height();
    layout->activate();
    if (layout->hasHeightForWidth())
        return layout->totalHeightForWidth(width);
    return qMax(layout->sizeHint().height(), layout->totalMinimumSize().height());
}

// The frame the window manager put around a shown window; null without
// one. The platform's word: the widget hears of a frame only once it next
// moves.
QMargins shownFrame(const QWidget* window)
{
    const QWindow* handle = window->windowHandle();
    return window->isVisible() && handle ? handle->frameMargins() : QMargins();
}

// The frame the window manager will put around the window: its own once
// framed, else that of another window it has framed, else an allowance as
// large as common title bars and borders at the screen's font size.
QMargins expectedFrame(const QWidget* window)
{
    const QMargins own = shownFrame(window);
    if (!own.isNull())
        return own;
    const QList<QWidget*> windows = QApplication::topLevelWidgets();
    for (const QWidget* other : windows) {
        const QMargins margins = shownFrame(other);
        if (!margins.isNull())
            return margins;
    }
    const double f = ScreenFit::factor();
    return QMargins(scaledExtent(frameAllowance.left(), f), scaledExtent(frameAllowance.top(), f),
                    scaledExtent(frameAllowance.right(), f),
                    scaledExtent(frameAllowance.bottom(), f));
}

} // namespace

double ScreenFit::factor()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? qMax(1.0, screen->logicalDotsPerInch() / formDpi) : 1.0;
}

void ScreenFit::scaleFixedSizes(QWidget* root, double factor)
{
    if (factor <= 1.0)
        return;
    if (!root->isWindow())
        scaleLimits(root, factor);
    const QList<QWidget*> widgets = root->findChildren<QWidget*>();
    for (QWidget* widget : widgets) {
        if (!widget->isWindow())
            scaleLimits(widget, factor);
    }
}

void ScreenFit::keepFontSizes(QWidget* root)
{
    // Parents come before their children, so sizes pass down the tree.
    const QList<QWidget*> widgets = root->findChildren<QWidget*>();
    for (QWidget* widget : widgets) {
        const uint named = widget->font().resolve();
        if (!(named & QFont::FamilyResolved) || (named & QFont::SizeResolved)
            || !widget->parentWidget())
            continue;
        QFont font = widget->font();
        font.setPointSizeF(widget->parentWidget()->font().pointSizeF());
        widget->setFont(font);
    }
}

void ScreenFit::scaleDialog(QWidget* dialog)
{
    keepFontSizes(dialog);
    const double f = factor();
    if (f > 1.0) {
        scaleFixedSizes(dialog, f);
        scaleLimits(dialog, f);
        scalePlacedChildren(dialog, f);
        dialog->resize(scaledSize(dialog->size(), f));
    }
    fitToScreen(dialog);
}

void ScreenFit::fitToScreen(QWidget* window)
{
    window->ensurePolished();
    const QRect area = availableArea(window);
    const QMargins frame = expectedFrame(window);
    const int maxWidth = qMin(window->maximumWidth(), area.width() - frame.left() - frame.right());
    const int maxHeight =
        qMin(window->maximumHeight(), area.height() - frame.top() - frame.bottom());
    // Never lower than it is, unless that passes the screen.
    const int madeHeight = qMin(window->height(), maxHeight);
    int width = qBound(window->minimumWidth(), window->width(), maxWidth);
    int height = qMax(madeHeight, neededHeight(window, width));
    while (height > maxHeight && width < maxWidth) {
        width = qMin(maxWidth, int(width * widenStep));
        height = qMax(madeHeight, neededHeight(window, width));
    }
    height = qMin(height, maxHeight);
    // The layout holds a window to the height its wrapped texts take at
    // their narrowest, which may pass the screen: it is held to the width
    // found here instead, at which they fit.
    if (window->minimumHeight() > height)
        window->setMinimumSize(width, height);
    window->resize(width, height);
}
