#include "withinwordwrap.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QTextDocument>
#include <QTextOption>

namespace {

// The events on which the label sets its wrap mode anew.
bool resetsWrapMode(QEvent::Type type)
{
    return type == QEvent::Resize || type == QEvent::FontChange
        || type == QEvent::ApplicationFontChange || type == QEvent::StyleChange
        || type == QEvent::ContentsRectChange;
}

} // namespace

WithinWordWrap::WithinWordWrap(QLabel* label)
    : QObject(label)
    , label(label)
{
    label->installEventFilter(this);
}

void WithinWordWrap::apply(QLabel* label)
{
    auto* wrap = label->findChild<WithinWordWrap*>(QString(), Qt::FindDirectChildrenOnly);
    if (!wrap)
        wrap = new WithinWordWrap(label);
    wrap->setWrapMode();
}

// The label has the event first, then the mode is set again: the label
// would otherwise lay its text out by words alone before it next paints.
bool WithinWordWrap::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != label || delivering || !resetsWrapMode(event->type()))
        return false;
    delivering = true;
    QCoreApplication::sendEvent(label, event);
    delivering = false;
    setWrapMode();
    return true;
}

void WithinWordWrap::setWrapMode()
{
    if (!label->wordWrap())
        label->setWordWrap(true);
    if (!label->findChild<QTextDocument*>())
        label->setTextInteractionFlags(label->textInteractionFlags() | Qt::TextSelectableByMouse);
    // Lays its text out, setting the wrap mode of its own.
    label->heightForWidth(qMax(1, label->width()));
    auto* document = label->findChild<QTextDocument*>();
    if (!document)
        return;
    QTextOption option = document->defaultTextOption();
    if (option.wrapMode() == QTextOption::WrapAtWordBoundaryOrAnywhere)
        return;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    document->setDefaultTextOption(option);
    label->update();
}
