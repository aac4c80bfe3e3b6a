#ifndef SCREENFIT_H
#define SCREENFIT_H

class QWidget;

// Windows made for 96 dpi on a screen that draws their fonts larger without
// scaling the pixels (a higher DPI at a device pixel ratio of 1): their
// fixed pixel sizes grow with the fonts, and a window keeps to the screen's
// available area with its texts whole.
class ScreenFit
{
public:
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
    // area.
    static void fitToScreen(QWidget* window);
};

#endif // SCREENFIT_H
