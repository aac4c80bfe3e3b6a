#ifndef WITHINWORDWRAP_H
#define WITHINWORDWRAP_H

#include <QObject>

class QLabel;

// A label's text wraps between words and, within a word wider than the
// label (a value, a path), anywhere: at nothing inserted into the text, so
// that what is selected or copied from it reads as given. A path breaks
// after its folders' separators first. The label keeps its wrap mode in
// the document of its text and sets it back to word wrapping whenever its
// text, font or size changes; the mode is set again after each change.
class WithinWordWrap : public QObject
{
    Q_OBJECT

public:
    // Wraps the label's text so from now on; the label is made selectable
    // where it is not, which gives it the document.
    static void apply(QLabel* label);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit WithinWordWrap(QLabel* label);
    void setWrapMode();

    QLabel* label;
    bool delivering = false;
};

#endif // WITHINWORDWRAP_H
