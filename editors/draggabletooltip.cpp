#include "draggabletooltip.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>

namespace {

const int labelWidth = 400;
// A press and release this close together (in pixels, x plus y) is a click.
const int clickDistance = 7;

} // namespace

DraggableTooltip::DraggableTooltip(QWidget* parent)
    : QDialog(parent,
              Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                  | Qt::NoDropShadowWindowHint)
{
    setAttribute(Qt::WA_DeleteOnClose);
    label = new QLabel(QStringLiteral("test text"), this);
    label->show();
    label->setFixedWidth(labelWidth);
    label->setWordWrap(true);
    // Every mouse event goes to the bubble, which does the dragging.
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(label);
}

void DraggableTooltip::setString(const QString& text)
{
    label->setText(text);
    label->resize(label->sizeHint());
    resize(sizeHint());
}

void DraggableTooltip::alignTo(QPoint anchor, int offset)
{
    // Before the window exists Qt reports its frame a pixel short.
    const QSize frame = testAttribute(Qt::WA_WState_Created) ? frameSize() : size();
    const int y = frame.height() < anchor.y() ? anchor.y() - frame.height() : anchor.y() + offset;
    const int x = frame.width() < anchor.x() ? anchor.x() - frame.width() : 0;
    move(x, y);
}

void DraggableTooltip::mousePressEvent(QMouseEvent* event)
{
    pressPos = event->pos();
    pressWindowPos = pos();
}

void DraggableTooltip::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton)) {
        close();
        emit closed();
        return;
    }
    raise();
    move(pos() + (event->pos() - pressPos));
}

void DraggableTooltip::mouseReleaseEvent(QMouseEvent*)
{
    if ((pos() - pressWindowPos).manhattanLength() <= clickDistance) {
        close();
        emit closed();
    }
}
