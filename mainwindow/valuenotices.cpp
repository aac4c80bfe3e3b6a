#include "valuenotices.h"

#include "boxquote.h"
#include "enumparameter.h"
#include "kelvara.h"
#include "kelvaracom.h"
#include "parameter.h"

#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <cmath>

ValueNotices::ValueNotices(Kelvara* model, KelvaraCom* link, QObject* parent)
    : QObject(parent)
    , model(model)
    , link(link)
{
    connect(link, &KelvaraCom::readAllComplete, this, &ValueNotices::takeReadAll);
    // The controller connected next may be another one, or hold other values.
    connect(link, &KelvaraCom::controllerDisconnected, this, [this] { toldOutsideLimits.clear(); });
    connect(model, &Kelvara::valuesMoved, this, &ValueNotices::tellMoves);
}

QMap<int, int> ValueNotices::valuesOutsideLimits() const
{
    QMap<int, int> outside;
    const QMap<int, int> held = model->getSavedValues();
    const QMap<int, Parameter*> parameters = model->getAllParameters();
    for (auto it = parameters.constBegin(); it != parameters.constEnd(); ++it) {
        const Parameter* parameter = model->getParameter(it.key());
        if (parameter != it.value() || !parameter->isWriteable() || !held.contains(it.key()))
            continue;
        const int raw = held.value(it.key());
        if (!parameter->isWithinLimits(raw) || isUnlisted(parameter, raw))
            outside.insert(it.key(), raw);
    }
    return outside;
}

// A value of a list register that its list does not name: its drop-down
// shows no entry.
bool ValueNotices::isUnlisted(const Parameter* parameter, int raw)
{
    if (parameter->getType() != ParameterDefinition::TypeEnum)
        return false;
    const auto* list = static_cast<const EnumParameter*>(parameter);
    return list->getEnumDefs() && !list->getEnumDefs()->isEmpty() && !list->isLabelled(raw);
}

// Once the reads under way are over, and outside the link's report.
void ValueNotices::takeReadAll()
{
    if (link->getStatus() != KelvaraCom::StatusSuccess || !model->isValid()
        || link->isReadAllQueued() || outsideLimitsQueued)
        return;
    outsideLimitsQueued = true;
    QTimer::singleShot(0, this, &ValueNotices::tellOutsideLimits);
}

// Each value once for a connection; a box names them all whenever one is new.
void ValueNotices::tellOutsideLimits()
{
    outsideLimitsQueued = false;
    const QMap<int, int> outside = valuesOutsideLimits();
    bool anyNew = false;
    for (auto it = outside.constBegin(); it != outside.constEnd() && !anyNew; ++it)
        anyNew = toldOutsideLimits.value(it.key(), it.value() + 1) != it.value();
    toldOutsideLimits = outside;
    if (anyNew)
        emit notice(tr("Values Outside Limits"), outsideLimitsText(outside));
}

QString ValueNotices::outsideLimitsText(const QMap<int, int>& values) const
{
    QStringList lines;
    for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
        const Parameter* parameter = model->getParameter(it.key());
        const double shown = parameter->asValue(it.value());
        const QString held = withUnits(parameter, parameter->toldValue(it.value()));
        if (isUnlisted(parameter, it.value())) {
            lines << tr("  %1: the controller holds %2, which its list (%3) does not name, "
                        "the page shows no entry")
                         .arg(nameOf(it.key()), held,
                              static_cast<const EnumParameter*>(parameter)->listedValues());
        } else {
            lines << tr("  %1: the controller holds %2, the page shows %3")
                         .arg(nameOf(it.key()), held, withUnits(parameter, shown));
        }
    }
    return tr("The controller holds values beyond the limits of the suite:\n%1\n\n"
              "The page shows the nearest limit, or no entry for a value a list does not name. "
              "Save Parameters leaves each value as the controller holds it until you change "
              "it, and values that depend on it are shown as the controller means them.")
        .arg(lines.join(QLatin1Char('\n')));
}

void ValueNotices::tellMoves(const QList<MovedValue>& moves)
{
    emit notice(tr("Values Limited"), movedText(moves));
}

// One paragraph for each reason values moved, the values Save writes
// apart from those it does not (the controller holds them so already).
QString ValueNotices::movedText(const QList<MovedValue>& moves) const
{
    QStringList parts;
    for (const MoveKind kind : {Entered, FromFile, Limited, Ordered}) {
        for (const bool written : {true, false}) {
            const QStringList lines = linesOf(moves, kind, written);
            if (!lines.isEmpty())
                parts << headingOf(kind, written) + QLatin1Char('\n')
                        + lines.join(QLatin1Char('\n'));
        }
        if (kind == Ordered && (anyOf(moves, Limited) || anyOf(moves, Ordered))) {
            parts << tr("\"Before\" is the value you or a file gave the register, or else the "
                        "value the controller holds, read with the values set now. Each goes back "
                        "to it as soon as the values that moved it no longer demand it.");
        }
    }
    // Values entered that were not taken at all: nothing of them is written.
    const QStringList refused = linesOf(moves, Refused, false);
    if (!refused.isEmpty()) {
        parts << tr("These values could not be taken, as the values their scale depends on give "
                    "them none; each register keeps what it held, and Save Parameters does not "
                    "write the value entered:\n%1")
                     .arg(refused.join(QLatin1Char('\n')));
    }
    return parts.join(QStringLiteral("\n\n"));
}

bool ValueNotices::anyOf(const QList<MovedValue>& moves, MoveKind kind)
{
    return std::any_of(moves.begin(), moves.end(),
                       [kind](const MovedValue& move) { return kindOf(move) == kind; });
}

QString ValueNotices::headingOf(MoveKind kind, bool written)
{
    QString why;
    switch (kind) {
    case Limited:
        why = tr("Limits set by other values moved these values");
        break;
    case Ordered:
        why = tr("The order these values keep with others moved them as other values changed");
        break;
    case Entered:
        why = tr("These values entered would break the order they keep with others, or a graph's "
                 "bounds: each is held where it keeps them");
        break;
    default:
        why = tr("The file's values of these registers lie beyond their limits or what the "
                 "register holds, or would break the order they keep with others: each is held "
                 "where it keeps them");
        break;
    }
    return why
        + (written ? tr(", and Save Parameters will write them as they are now:")
                   : tr(", as the controller holds them already; Save Parameters does not write "
                        "them:"));
}

// Each value once, under the reason it moved; two values that would read
// alike are told with their raw values as well.
QStringList ValueNotices::linesOf(const QList<MovedValue>& moves, MoveKind kind, bool written) const
{
    const QMap<int, int> unsaved = model->getUnsavedValues();
    QStringList lines;
    for (const MovedValue& move : moves) {
        if (kindOf(move) != kind || (kind != Refused && unsaved.contains(move.address) != written))
            continue;
        const Parameter* parameter = model->getParameter(move.address);
        QString before = move.beforeDigits.isEmpty()
            ? withUnits(parameter, move.before)
            : withUnits(parameter, fileNumber(parameter, move.beforeDigits));
        QString after = withUnits(parameter, move.after);
        if (before == after && !move.refused) {
            before += tr(" (raw %1)").arg(move.rawBefore);
            after += tr(" (raw %1)").arg(move.rawAfter);
        }
        lines << movedLine(move).arg(nameOf(move.address), before, after);
    }
    return lines;
}

ValueNotices::MoveKind ValueNotices::kindOf(const MovedValue& move)
{
    if (move.refused)
        return Refused;
    if (move.fromFile)
        return FromFile;
    if (move.entered)
        return Entered;
    return move.byOrder ? Ordered : Limited;
}

QString ValueNotices::movedLine(const MovedValue& move)
{
    if (move.fromFile)
        return tr("  %1: %2 in the file, %3 now");
    if (move.entered)
        return tr("  %1: %2 entered, %3 now");
    return tr("  %1: %2 before, %3 now");
}

QString ValueNotices::nameOf(int address) const
{
    return model->getParameter(address)->getName() + QStringLiteral(" (") + QString::number(address)
        + QLatin1Char(')');
}

// Whole numbers in full (a file may give any), others to 6 digits.
QString ValueNotices::withUnits(const Parameter* parameter, double value)
{
    const bool whole = std::fabs(value) < 1e15 && value == std::trunc(value);
    return withUnits(parameter,
                     whole ? QString::number(value, 'f', 0) : QString::number(value, 'g', 6));
}

QString ValueNotices::withUnits(const Parameter* parameter, const QString& number)
{
    return parameter->getUnits().isEmpty() ? number
                                           : number + QLatin1Char(' ') + parameter->getUnits();
}

// A file's whole number beyond an int, of any length: its digits, as a box
// quotes them, where the register shows raw values as they are; else its
// leading digits through the scale, to 6 digits, with the power of ten.
QString ValueNotices::fileNumber(const Parameter* parameter, const QString& digits)
{
    const double zero = parameter->unroundedValue(0);
    const double perRaw = parameter->unroundedValue(1) - zero;
    if ((zero == 0.0 && perRaw == 1.0) || !std::isfinite(perRaw) || perRaw == 0.0)
        return BoxQuote::cut(digits);
    const bool negative = digits.startsWith(QLatin1Char('-'));
    const QString magnitude = digits.mid(negative ? 1 : 0);
    double value = QString(QStringLiteral("0.") + magnitude.left(17)).toDouble() * perRaw;
    const int shift = int(std::floor(std::log10(std::fabs(value))));
    value /= std::pow(10.0, shift);
    const int exponent = magnitude.size() + shift;
    return QString::number(negative ? -value : value, 'g', 6)
        + (exponent < 0 ? QStringLiteral("e-") : QStringLiteral("e+"))
        + QStringLiteral("%1").arg(std::abs(exponent), 2, 10, QLatin1Char('0'));
}
