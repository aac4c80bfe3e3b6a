#ifndef SCREENFIT_H
#define SCREENFIT_H

#include <QSize>

class QWidget;

// Windows made for 96 dpi on any screen. The toolkit scales every pixel by
// the factor the desktop asks for (Xft.dpi 144: 1.5). Where it does not (a
// higher DPI at a device pixel ratio of 1, with scaling switched off), the
// windows' fixed pixel sizes grow with the fonts. Either way a window keeps
// to the screen's available area with its texts whole, its content
// scrolling where it cannot.
class ScreenFit
{
public:
    // Before the application object exists: the toolkit scales by the
    // desktop's factor, fractions included.
    static void enableDesktopScaling();

    // How much larger than at 96 dpi the primary screen draws fonts; at
    // least 1.
    static double factor();

    // The minimum and maximum sizes of the widget's children, times the
    // factor; the widget's own too unless it is a window.
    static void scaleFixedSizes(QWidget* root, double factor);

    // Widgets whose form names only a font family take their parent's size
    // explicitly: under the application's style sheet, which names the
    // family for every widget, they would fall back to the platform's
    // default size, and the widgets of one kind on a window would differ.
    static void keepFontSizes(QWidget* root);

    // A dialog built from its form: its fonts keep their sizes, its size
    // and fixed sizes grow with the fonts, and so do the places and sizes
    // of the children its form puts without a layout; then it fits the
    // screen.
    static void scaleDialog(QWidget* dialog);

    // Grows the window to the height its wrapped texts need, wider where
    // that height would pass the screen's available area, and keeps it,
    // with the frame the window manager will put around it, within that
    // area. A content that needs more room than that scrolls: no control
    // gets less than its text needs.
    static void fitToScreen(QWidget* window);

    // The window keeps its size where it fits the screen's available area
    // with its frame, and is made smaller where it does not.
    static void keepWithinScreen(QWidget* window);

    // A window whose content came to need more width than it has (a
    // control widened) grows that wide, within the screen's available
    // area, also where its content scrolls.
    static void widenForContent(QWidget* window);

    // What the screen's available area leaves the window inside the frame
    // the window manager will put around it, within its maximum size.
    static QSize room(const QWidget* window);
    // The same, whatever the window's maximum size.
    static QSize roomOnScreen(const QWidget* window);

    // A window about to show opens centred over the window `over` belongs
    // to, with the frames the window manager puts around them, and moves
    // onto the screen's available area where that passes an edge. Without
    // a shown window to centre on, it only moves onto the screen.
    static void centreOver(QWidget* window, const QWidget* over);

    // A shown window that has grown past the screen's available area, with
    // its frame, moves back into it as far as its size allows.
    static void moveOntoScreen(QWidget* window);
};

#endif // SCREENFIT_H
