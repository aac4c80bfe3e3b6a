#ifndef ELIDEDLABEL_H
#define ELIDEDLABEL_H

#include <QLabel>

// A one-line label that shows as much of its text as its width holds,
// ending in "..." when cut; text() keeps the whole text, and a cut text
// shows whole in the label's tooltip.
class ElidedLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    // The text the label shows at its present width.
    QString shownText() const;
    // The width that shows its text whole, and at least the widest text
    // it is meant to show (setWidestText()).
    int wholeTextWidth() const;
    void setWidestText(const QString& text);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QString widestText;
};

#endif // ELIDEDLABEL_H
