#include "controllerreadreport.h"

#include "kelvara.h"
#include "kelvaracom.h"
#include "parameter.h"

#include <QStringList>

#include <algorithm>
#include <utility>

void ControllerReadReport::begin(Reason reason)
{
    if (why == Reason::None || reason == Reason::AnotherController)
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
}

void ControllerReadReport::noteReplaced(int address)
{
    if (isUnderWay())
        replacedEdits.insert(address);
}

void ControllerReadReport::noteReadEnded(bool succeeded)
{
    if (isUnderWay() && succeeded)
        anyReadSucceeded = true;
}

ControllerReadReport::Notice ControllerReadReport::finish(const Kelvara* model)
{
    const Reason reason = std::exchange(why, Reason::None);
    QList<int> replaced = std::exchange(replacedEdits, QSet<int>()).values();
    std::sort(replaced.begin(), replaced.end());
    Notice notice;
    if (reason == Reason::AnotherController) {
        notice.title = tr(KelvaraCom::otherControllerTitle);
        notice.text = anotherControllerText(replaced, model);
    } else if (!replaced.isEmpty()) {
        const QString changes = replacedText(replaced, model);
        notice.title = tr("Unsaved Changes Replaced");
        notice.text = reason == Reason::Reconnection
            ? tr("The controller was connected again and its values were read: %1").arg(changes)
            : tr("The controller was connected and its values were read: %1").arg(changes);
    }
    anyReadSucceeded = false;
    refusedFor = ControllerIdentity();
    heldOutsideFlash.clear();
    unansweredWrites.clear();
    flashSaveUnknown = false;
    return notice;
}

// "N unsaved changes were replaced by the controller's values." and their
// names.
QString ControllerReadReport::replacedText(const QList<int>& replaced, const Kelvara* model) const
{
    const int count = replaced.size();
    const QString changes =
        count == 1 ? tr("1 unsaved change was") : tr("%1 unsaved changes were").arg(count);
    return tr("%1 replaced by the controller's values.").arg(changes) + names(replaced, model);
}

QString ControllerReadReport::anotherControllerText(const QList<int>& replaced,
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
        text += replaced.isEmpty() ? QStringLiteral(".")
                                   : QStringLiteral(": ") + replacedText(replaced, model);
    }
    return text + outsideFlashText(model);
}

// What the controller that was read may hold outside its flash: only what
// is known is said as a fact.
QString ControllerReadReport::outsideFlashText(const Kelvara* model) const
{
    QString text;
    if (!heldOutsideFlash.isEmpty() && flashSaveUnknown) {
        text += QStringLiteral("\n\n")
            + tr("Written to the controller that was read before the other one answered. It "
                 "did not confirm the save to flash: it may or may not hold them in flash, and "
                 "they stay marked for it.")
            + names(heldOutsideFlash, model);
    } else if (!heldOutsideFlash.isEmpty()) {
        text += QStringLiteral("\n\n")
            + tr("Written to the controller that was read before the other one answered, but "
                 "not saved to its flash: it keeps them only until it is switched off, and they "
                 "stay marked for it.")
            + names(heldOutsideFlash, model);
    }
    if (!unansweredWrites.isEmpty()) {
        text += QStringLiteral("\n\n")
            + tr("Sent to the controller that was read before the other one answered, which "
                 "did not confirm them: it may hold them, not saved to its flash, and they stay "
                 "marked for it.")
            + names(unansweredWrites, model);
    }
    return text;
}

QString ControllerReadReport::names(const QList<int>& addresses, const Kelvara* model)
{
    QStringList lines;
    for (const int address : addresses)
        lines << QStringLiteral("  ") + model->getParameter(address)->getName();
    return lines.isEmpty() ? QString() : QStringLiteral("\n\n") + lines.join(QLatin1Char('\n'));
}
