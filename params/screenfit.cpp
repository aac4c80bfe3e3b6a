#include "screenfit.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>

#include <algorithm>
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
// The scroll area that holds a window's content once it needs more room
// than the screen has.
const char* const scrollingContentName = "screenFitScrollArea";

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

// The height the window's layout asks for at a width, wrapped texts
// counting at that width; never less than its minimum.
int preferredHeight(QWidget* window, int width)
{
    QLayout* layout = window->layout();
    if (!layout)
        return window->height();
    layout->activate();
    const int minimum = layout->totalMinimumSize().height();
    if (layout->hasHeightForWidth())
        return qMax(minimum, layout->totalHeightForWidth(width));
    return qMax(layout->sizeHint().height(), minimum);
}

// The height below which the window's layout would squeeze a control at a
// width. Its minimum takes wrapped texts at their narrowest, where they
// need more height than at this width.
int leastHeight(QWidget* window, int width)
{
    QLayout* layout = window->layout();
    if (!layout)
        return window->minimumHeight();
    layout->activate();
    if (!layout->hasHeightForWidth())
        return layout->totalMinimumSize().height();
    const QMargins margins = window->contentsMargins();
    return layout->minimumHeightForWidth(width - margins.left() - margins.right()) + margins.top()
        + margins.bottom();
}

// The width below which the window's layout would squeeze a control.
int neededWidth(QWidget* window)
{
    QLayout* layout = window->layout();
    return layout ? layout->totalMinimumSize().width() : window->minimumWidth();
}

bool contentScrolls(const QWidget* window)
{
    return window->findChild<QScrollArea*>(QLatin1String(scrollingContentName),
                                           Qt::FindDirectChildrenOnly);
}

// Moves the window's layout, with its widgets, onto a page of a scroll
// area that becomes the window's only content.
void scrollContent(QWidget* window)
{
    QLayout* layout = window->layout();
    if (!layout || contentScrolls(window))
        return;
    auto* content = new QWidget;
    content->setLayout(layout);
    auto* area = new QScrollArea(window);
    area->setObjectName(QLatin1String(scrollingContentName));
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setWidget(content);
    auto* outer = new QVBoxLayout(window);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(area);
    // The window's own limits were made for the content, which now scrolls.
    window->setMinimumSize(0, 0);
}

// How far the rectangle moves onto the area. The far edges first, so that
// one larger than the area keeps its top left corner on it.
QPoint shiftOnto(const QRect& outer, const QRect& area)
{
    QPoint shift(qMin(0, area.right() - outer.right()), qMin(0, area.bottom() - outer.bottom()));
    shift.rx() += qMax(0, area.left() - (outer.left() + shift.x()));
    shift.ry() += qMax(0, area.top() - (outer.top() + shift.y()));
    return shift;
}

// The frame the window manager put around a shown window; null without
// one. The platform's word: the widget hears of a frame only once it next
// moves.
QMargins shownFrame(const QWidget* window)
{
    const QWindow* handle = window->windowHandle();
    if (!window->isVisible() || !handle)
        return QMargins();
    const QMargins frame = handle->frameMargins();
    // Measured while the window manager had not yet resized its frame to a
    // window that just grew, a side comes out negative: no frame is known.
    if (frame.left() < 0 || frame.top() < 0 || frame.right() < 0 || frame.bottom() < 0)
        return QMargins();
    // At a fractional scale the platform rounds each side of the frame to
    // whole pixels, a part of one off at times: a window as high or wide as
    // the screen allows would end a screen pixel past its far edge.
    const qreal ratio = handle->devicePixelRatio();
    if (frame.isNull() || qFuzzyCompare(ratio, std::round(ratio)))
        return frame;
    return frame + QMargins(0, 0, 1, 1);
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

void ScreenFit::enableDesktopScaling()
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    // Not rounded to a whole factor: 1.5 made 2 would lay the windows out
    // on a screen of half the size, where they do not fit. The offscreen
    // platform's 100 dpi is no desktop's wish: there the pixels stay.
    const bool offscreen = qgetenv("QT_QPA_PLATFORM").startsWith("offscreen");
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        offscreen ? Qt::HighDpiScaleFactorRoundingPolicy::Round
                  : Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
}

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
    const QSize space = room(window);
    int width = qBound(window->minimumWidth(), window->width(), space.width());
    // Wider where the screen is too low for the texts wrapped at this width.
    for (int wider = width; leastHeight(window, width) > space.height() && wider < space.width();) {
        wider = qMin(space.width(), int(wider * widenStep));
        if (leastHeight(window, wider) <= space.height())
            width = wider;
    }
    // Never lower than it is, unless that passes the screen.
    const int madeHeight = qMin(window->height(), space.height());
    const int least = leastHeight(window, width);
    int height =
        qMin(space.height(), std::max({madeHeight, least, preferredHeight(window, width)}));
    const bool tooHigh = least > space.height();
    const bool tooWide = width > space.width() || neededWidth(window) > space.width();
    if (tooHigh || tooWide) {
        scrollContent(window);
        width = qMin(width, space.width());
        const int scrollBar = window->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        height = tooHigh ? space.height() : qMin(space.height(), height + scrollBar);
    } else if (window->minimumHeight() > height) {
        // The layout holds the window to the height its wrapped texts take
        // at their narrowest; it is held to the width found here instead,
        // at which they fit.
        window->setMinimumSize(width, height);
    }
    window->resize(width, height);
}

void ScreenFit::widenForContent(QWidget* window)
{
    int needed = neededWidth(window);
    if (const auto* area = window->findChild<QScrollArea*>(QLatin1String(scrollingContentName),
                                                           Qt::FindDirectChildrenOnly)) {
        needed = neededWidth(area->widget()) + 2 * area->frameWidth();
        if (area->verticalScrollBar()->isVisible())
            needed += area->verticalScrollBar()->sizeHint().width();
    }
    needed = qMin(needed, room(window).width());
    if (needed > window->minimumWidth())
        window->setMinimumWidth(needed);
}

void ScreenFit::keepWithinScreen(QWidget* window)
{
    window->resize(window->size().boundedTo(room(window)));
}

QSize ScreenFit::room(const QWidget* window)
{
    return roomOnScreen(window).boundedTo(window->maximumSize());
}

QSize ScreenFit::roomOnScreen(const QWidget* window)
{
    const QRect area = availableArea(window);
    const QMargins frame = expectedFrame(window);
    return QSize(area.width() - frame.left() - frame.right(),
                 area.height() - frame.top() - frame.bottom());
}

void ScreenFit::centreOver(QWidget* window, const QWidget* over)
{
    const QWidget* anchor = over ? over->window() : nullptr;
    if (!anchor || !anchor->isVisible() || anchor == window) {
        moveOntoScreen(window);
        return;
    }
    // Framed as the window it opens over is; the frame the window manager
    // will put around it where that is not known yet.
    const QMargins anchorFrame = shownFrame(anchor);
    const QMargins frame = anchorFrame.isNull() ? shownFrame(window) : anchorFrame;
    QRect outer(QPoint(), window->size().grownBy(frame));
    outer.moveCenter(anchor->geometry().marginsAdded(anchorFrame).center());
    const QRect client = outer.marginsRemoved(frame);
    const QPoint shift =
        shiftOnto(client.marginsAdded(expectedFrame(window)), availableArea(window));
    // A window not framed yet takes the place of its frame for its own.
    const QPoint knownFrame = window->geometry().topLeft() - window->pos();
    window->move(client.topLeft() + shift - knownFrame);
}

void ScreenFit::moveOntoScreen(QWidget* window)
{
    const QPoint shift =
        shiftOnto(window->geometry().marginsAdded(expectedFrame(window)), availableArea(window));
    // Relative to where the widget believes it is, which may not know its
    // frame yet.
    if (!shift.isNull())
        window->move(window->pos() + shift);
}
