#include "controllerreadreport.h"

#include "kelvara.h"
#include "kelvaracom.h"
#include "parameter.h"

#include <QStringList>

#include <algorithm>
#include <utility>

void ControllerReadReport::begin(Reason reason)
{
    if (why == Reason::None || why == Reason::Read || reason == Reason::AnotherController)
        why = reason;
}

void ControllerReadReport::noteRefusal(const ControllerIdentity& read,
                                       const QList<int>& outsideFlash, const QList<int>& unanswered,
                                       bool flashSaveUnconfirmed)
{
    refusedFor = read;
    heldOutsideFlash.clear();
    unansweredWrites.clear();
    for (const int address : outsideFlash)
        (unanswered.contains(address) ? unansweredWrites : heldOutsideFlash) << address;
    flashSaveUnknown = flashSaveUnconfirmed;
    toldKept.note(read, outsideFlash);
}

void ControllerReadReport::noteToldKept(const ControllerIdentity& controller,
                                        const QList<int>& addresses)
{
    toldKept.note(controller, addresses);
}

void ControllerReadReport::noteFlashSaved(const ControllerIdentity& controller)
{
    toldKept.forget(controller);
}

void ControllerReadReport::noteReplaced(int address)
{
    if (isUnderWay() && why != Reason::Read)
        replacedEdits.insert(address);
}

void ControllerReadReport::noteMatched(int address)
{
    if (isUnderWay() && why != Reason::Read)
        matchedEdits.insert(address);
}

bool ControllerReadReport::noteKeptReplaced(int address, const ControllerIdentity& shown)
{
    const bool told = toldKept.take(shown, address);
    if (!isUnderWay())
        return told;
    if (why != Reason::Read || told)
        replacedEdits.insert(address);
    return false;
}

void ControllerReadReport::noteReadEnded(bool succeeded)
{
    if (isUnderWay() && succeeded)
        anyReadSucceeded = true;
}

ControllerReadReport::Notice ControllerReadReport::finish(const Kelvara* model)
{
    const Reason reason = std::exchange(why, Reason::None);
    const QSet<int> replacedSet = std::exchange(replacedEdits, QSet<int>());
    // An edit typed again and found held is told as replaced all the same.
    const QList<int> matched = sorted(std::exchange(matchedEdits, QSet<int>()) - replacedSet);
    const QList<int> replaced = sorted(replacedSet);
    const QString changes = changesText(replaced, matched, model);
    Notice notice;
    if (reason == Reason::AnotherController) {
        notice.title = tr(KelvaraCom::otherControllerTitle);
        notice.text = anotherControllerText(changes, model) + outsideFlashText(replaced, model);
    } else if (reason == Reason::Read && !replaced.isEmpty()) {
        notice = keptReplacedNotice(replaced, model);
    } else if (!changes.isEmpty()) {
        notice.title = tr("Unsaved Changes Replaced");
        if (reason == Reason::Reconnection)
            notice.text = tr("The controller was connected again and its values were read: %1");
        else
            notice.text = tr("The controller was connected and its values were read: %1");
        notice.text = notice.text.arg(changes);
    }
    anyReadSucceeded = false;
    refusedFor = ControllerIdentity();
    heldOutsideFlash.clear();
    unansweredWrites.clear();
    flashSaveUnknown = false;
    return notice;
}

ControllerReadReport::Notice ControllerReadReport::keptReplacedNotice(const QList<int>& replaced,
                                                                      const Kelvara* model,
                                                                      bool oneRegister)
{
    Notice notice;
    notice.title = tr("Unsaved Changes Replaced");
    notice.text = oneRegister ? tr("The controller's value was read: it does not hold the value "
                                   "kept marked for it. %1")
                              : tr("The controller's values were read: it does not hold the values "
                                   "kept marked for it. %1");
    notice.text = notice.text.arg(replacedText(replaced, model));
    return notice;
}

QList<int> ControllerReadReport::sorted(const QSet<int>& addresses)
{
    QList<int> list = addresses.values();
    std::sort(list.begin(), list.end());
    return list;
}

// The edits the reads took from the page: replaced, or held by the
// controller read and so no longer marked. Empty when there were none.
QString ControllerReadReport::changesText(const QList<int>& replaced, const QList<int>& matched,
                                          const Kelvara* model) const
{
    QString text = replaced.isEmpty() ? QString() : replacedText(replaced, model);
    if (!matched.isEmpty())
        text += (text.isEmpty() ? QString() : QStringLiteral("\n\n")) + matchedText(matched, model);
    return text;
}

// "N unsaved changes were replaced by the controller's values." and their
// names.
QString ControllerReadReport::replacedText(const QList<int>& replaced, const Kelvara* model)
{
    const int count = replaced.size();
    const QString changes =
        count == 1 ? tr("1 unsaved change was") : tr("%1 unsaved changes were").arg(count);
    return tr("%1 replaced by the controller's values.").arg(changes) + names(replaced, model);
}

QString ControllerReadReport::matchedText(const QList<int>& matched, const Kelvara* model) const
{
    const int count = matched.size();
    const QString changes = count == 1
        ? tr("1 unsaved change equals the controller's own value and is")
        : tr("%1 unsaved changes equal the controller's own values and are").arg(count);
    return tr("%1 no longer marked.").arg(changes) + names(matched, model);
}

QString ControllerReadReport::anotherControllerText(const QString& changes,
                                                    const Kelvara* model) const
{
    QString text = tr("A controller other than the one that was read answered, so nothing was "
                      "written to it.");
    if (!anyReadSucceeded) {
        text += tr(" Its values could not be read: the values shown are still those of the "
                   "controller that was read.");
    } else {
        const bool sameAgain = refusedFor.isSameController(ControllerIdentity::of(model));
        text += sameAgain ? tr(" Then the controller that was read answered again, and its "
                               "values were read")
                          : tr(" Its values were read");
        text += changes.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + changes;
    }
    return text;
}

// What the controller that was read may hold outside its flash: only what
// is known is said as a fact. A value its read showed it does not hold is
// told as replaced instead.
QString ControllerReadReport::outsideFlashText(const QList<int>& replaced,
                                               const Kelvara* model) const
{
    QList<int> held = heldOutsideFlash;
    QList<int> unanswered = unansweredWrites;
    for (const int address : replaced) {
        held.removeAll(address);
        unanswered.removeAll(address);
    }
    QString text;
    if (!held.isEmpty()) {
        text +=
            QStringLiteral("\n\n")
            + sentValuesText(
                flashSaveUnknown ? SentValues::WrittenFlashSaveUnknown : SentValues::Written, false)
            + names(held, model);
    }
    if (!unanswered.isEmpty()) {
        text += QStringLiteral("\n\n") + sentValuesText(SentValues::Unconfirmed, false)
            + names(unanswered, model);
    }
    return text;
}

QString ControllerReadReport::sentValuesText(SentValues sent, bool oneValue)
{
    switch (sent) {
    case SentValues::Written:
        return oneValue ? tr("The value was written to the controller that was read before the "
                             "other one answered, but not saved to its flash: it keeps it only "
                             "until it is switched off.")
                        : tr("Written to the controller that was read before the other one "
                             "answered, but not saved to its flash: it keeps them only until it "
                             "is switched off, and they stay marked for it.");
    case SentValues::WrittenFlashSaveUnknown:
        return oneValue ? tr("The value was written to the controller that was read before the "
                             "other one answered. It did not confirm the save to flash: it may or "
                             "may not hold the value in flash.")
                        : tr("Written to the controller that was read before the other one "
                             "answered. It did not confirm the save to flash: it may or may not "
                             "hold them in flash, and they stay marked for it.");
    case SentValues::Unconfirmed:
        return oneValue ? tr("The value was sent to the controller that was read before the "
                             "other one answered, which did not confirm it: it may hold the "
                             "value, not saved to its flash.")
                        : tr("Sent to the controller that was read before the other one "
                             "answered, which did not confirm them: it may hold them, not saved "
                             "to its flash, and they stay marked for it.");
    }
    return QString();
}

QString ControllerReadReport::names(const QList<int>& addresses, const Kelvara* model)
{
    QStringList lines;
    for (const int address : addresses)
        lines << QStringLiteral("  ") + model->getParameter(address)->getName();
    return lines.isEmpty() ? QString() : QStringLiteral("\n\n") + lines.join(QLatin1Char('\n'));
}
