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
                                       const QList<int>& outsideFlash)
{
    refusedFor = read;
    heldOutsideFlash = outsideFlash;
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
    if (!heldOutsideFlash.isEmpty()) {
        text += QStringLiteral("\n\n")
            + tr("Written to the controller that was read before the other one answered, but "
                 "not saved to its flash: it keeps them only until it is switched off, and they "
                 "stay marked for it.")
            + names(heldOutsideFlash, model);
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
