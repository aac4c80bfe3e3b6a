#include "screenfit.h"

#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QStyle>
#include <QWidget>

#include <cmath>

namespace {

// The dots per inch the forms' pixel sizes were made for.
const double formDpi = 96.0;
// Widening steps for a window whose texts need more height than the screen
// has.
const double widenStep = 1.1;

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

// The height the window's layout needs at a width.
int neededHeight(QWidget* window, int width)
{
    QLayout* layout = window->layout();
    if (!layout)
        return window->height();
    layout->activate();
    const int height = layout->hasHeightForWidth() ? layout->totalHeightForWidth(width)
                                                   : layout->sizeHint().height();
    return qMax(height, layout->totalMinimumSize().height());
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
        dialog->resize(scaledSize(dialog->size(), f));
    }
    fitToScreen(dialog);
}

void ScreenFit::fitToScreen(QWidget* window)
{
    window->ensurePolished();
    const QRect area = availableArea(window);
    // The frame a window manager adds is not known before it is shown: room
    // for a title bar is kept.
    const int titleBar = window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window);
    const int maxWidth = qMin(window->maximumWidth(), area.width());
    const int maxHeight = qMin(window->maximumHeight(), area.height() - titleBar);
    int width = qBound(window->minimumWidth(), window->width(), maxWidth);
    int height = qMax(window->height(), neededHeight(window, width));
    while (height > maxHeight && width < maxWidth) {
        width = qMin(maxWidth, int(width * widenStep));
        height = qMax(window->height(), neededHeight(window, width));
    }
    window->resize(width, qMin(height, maxHeight));
}
