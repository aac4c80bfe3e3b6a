#include "listmessagebox.h"

#include "screenfit.h"
#include "withinwordwrap.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLayout>
#include <QShowEvent>
#include <QStyle>
#include <QTextEdit>

#include <cmath>

namespace {

const QLatin1String entryIndent("  ");
// Kept free between the box's text and its details.
const int detailsSpacing = 6;
// The width the toolkit gives a message box whose text is short enough to
// keep to one line, at 96 dpi; longer texts wrap at it.
const int comfortableBoxWidth = 500;
// What the toolkit keeps beside a message box's title for its buttons.
const int besideTitle = 50;

bool isEntry(const QString& line)
{
    return line.startsWith(entryIndent);
}

// The width the label needs to show the line unwrapped: its text's
// advance, rounded up, the pixel its text layout keeps for the cursor and
// one for the rounding of a fractional scale.
int unwrappedWidth(const QLabel* label, const QString& line)
{
    const QMargins margins = label->contentsMargins();
    return int(std::ceil(QFontMetricsF(label->font()).horizontalAdvance(line))) + 2 + margins.left()
        + margins.right() + 2 * label->margin();
}

int widestLine(const QLabel* label, const QStringList& lines)
{
    int widest = 0;
    for (const QString& line : lines)
        widest = qMax(widest, unwrappedWidth(label, line));
    return widest;
}

} // namespace

ListMessageBox::ListMessageBox(Icon icon, const QString& title, const QString& text,
                               QWidget* parent)
    : QMessageBox(icon, title, QString(), Ok, parent)
    , whole(text)
{
    // Names and values show as they are, whatever characters they hold.
    setTextFormat(Qt::PlainText);
    setDefaultButton(Ok);
    showEntries(shownEntries);
    // The toolkit sizes the box anew as its details show or hide; its
    // texts are laid out again after it.
    if (auto* buttons = findChild<QDialogButtonBox*>()) {
        connect(buttons, &QDialogButtonBox::clicked, this, [this] {
            if (!isVisible())
                return;
            centred = false;
            layOutTexts();
            ScreenFit::moveOntoScreen(this);
        });
    }
}

void ListMessageBox::appendText(const QString& more)
{
    whole += more;
    if (isVisible()) {
        centred = false;
        fitToScreen();
        ScreenFit::moveOntoScreen(this);
    } else {
        showEntries(shownEntries);
    }
}

QStringList ListMessageBox::firstEntries(const QStringList& entries, int shown)
{
    if (entries.size() <= shown)
        return entries;
    return entries.mid(0, shown)
        << tr("... and %1 more").arg(QString::number(entries.size() - shown));
}

QString ListMessageBox::listed(const QStringList& entries)
{
    QStringList lines;
    for (const QString& entry : entries)
        lines << entryIndent + entry;
    return lines.join(QLatin1Char('\n'));
}

// The toolkit has sized the box for its texts as it would any message box
// and placed it over its parent; the texts are laid out anew, the lists
// giving up entries until the box fits, and it is placed again for the
// size it has come to.
void ListMessageBox::showEvent(QShowEvent* event)
{
    const bool placed = testAttribute(Qt::WA_Moved);
    // Its fonts as they will show, so that no layout request follows the
    // window onto the screen: a window manager may place a window resized
    // while it maps it at the screen's corner.
    ensurePolished();
    QMessageBox::showEvent(event);
    fitToScreen();
    centred = !placed && !event->spontaneous();
    if (centred)
        ScreenFit::centreOver(this, parentWidget());
    else
        ScreenFit::moveOntoScreen(this);
    QCoreApplication::removePostedEvents(this, QEvent::LayoutRequest);
}

// Each list shows at most `shown` entries; every entry of a list that shows
// fewer goes to the details.
void ListMessageBox::showEntries(int shown)
{
    const QStringList lines = whole.split(QLatin1Char('\n'));
    QStringList text;
    QStringList details;
    shownEntryLines.clear();
    shownOtherLines.clear();
    for (int i = 0; i < lines.size();) {
        if (!isEntry(lines.at(i))) {
            text << lines.at(i++);
            shownOtherLines << text.last();
            continue;
        }
        QStringList entries;
        while (i < lines.size() && isEntry(lines.at(i)))
            entries << lines.at(i++).mid(entryIndent.size());
        for (const QString& entry : firstEntries(entries, shown)) {
            text << entryIndent + entry;
            shownEntryLines << text.last();
        }
        if (entries.size() <= shown)
            continue;
        if (!details.isEmpty())
            details << QString();
        details << entries;
    }
    shownText = text.join(QLatin1Char('\n'));
    setText(shownText);
    // Tens of thousands of entries take the details a while to lay out:
    // once for the box, not again for each try at fitting it.
    const QString detailsText = details.join(QLatin1Char('\n'));
    if (detailsText != detailedText())
        setDetailedText(detailsText);
}

// The toolkit would size the box anew, as a message box of its own,
// whenever its layout asks; its texts are laid out here instead, so that
// the box keeps its size while a window manager maps it (one resized then
// may be put at the screen's corner).
bool ListMessageBox::event(QEvent* event)
{
    if (event->type() != QEvent::LayoutRequest || !isVisible()) {
        const bool handled = QMessageBox::event(event);
        // The toolkit sized it on its own (its style or font changed, say):
        // its texts are laid out again once that is over.
        if (event->type() == QEvent::Resize && !event->spontaneous() && isVisible()
            && size() != fittedSize)
            QCoreApplication::postEvent(this, new QEvent(QEvent::LayoutRequest));
        return handled;
    }
    const bool handled = QDialog::event(event);
    const QSize before = fittedSize;
    layOutTexts();
    // Sized anew as it maps (its fonts settled late, say): centred again.
    if (fittedSize != before && centred)
        ScreenFit::centreOver(this, parentWidget());
    return handled;
}

// With room kept for the details, so that they too fit when shown.
void ListMessageBox::fitToScreen()
{
    const int room = ScreenFit::roomOnScreen(this).height();
    for (int shown = shownEntries;; --shown) {
        showEntries(shown);
        layOutTexts();
        if (shown <= 1 || height() + detailsHeight() <= room)
            break;
    }
}

// The toolkit leaves a short text unwrapped and wraps a long one at a width
// of its own, whatever the entries need: the text is given the width its
// entries take, within the screen, or the toolkit's for its other lines
// where the entries take less, and wraps at it; the box takes the height
// that leaves its texts.
void ListMessageBox::layOutTexts()
{
    QLabel* label = textLabel();
    if (!label)
        return;
    WithinWordWrap::apply(label);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    label->setSizePolicy(policy);
    const int room = ScreenFit::roomOnScreen(this).width();
    measureBesideText(label, room);
    int text = textWidth();
    for (int excess = 0;; text -= excess) {
        label->setMinimumWidth(text);
        fitOtherTexts(text);
        // Sizes the layout keeps may be of the unwrapped text.
        layout()->invalidate();
        layout()->activate();
        excess = layout()->totalMinimumSize().width() - room;
        if (excess <= 0 || text - excess < 1)
            break;
    }
    const QFontMetrics titleMetrics(QApplication::font("QMdiSubWindowTitleBar"));
    const int titleWidth = titleMetrics.horizontalAdvance(windowTitle()) + besideTitle;
    const int width = qMin(room, qMax(layout()->totalMinimumSize().width(), titleWidth));
    fittedSize = QSize(width, layout()->totalHeightForWidth(width));
    setFixedSize(fittedSize);
    // Asked for by the changes above, and answered.
    QCoreApplication::removePostedEvents(this, QEvent::LayoutRequest);
}

// As wide as the widest entry, where the screen has room for it, and no
// narrower than the toolkit makes a box for its other lines.
int ListMessageBox::textWidth() const
{
    const QLabel* label = textLabel();
    const int comfortable = int(comfortableBoxWidth * ScreenFit::factor()) - besides;
    const int entries = widestLine(label, shownEntryLines);
    const int others = widestLine(label, shownOtherLines);
    return qMax(1, qMin(textRoom(), qMax(entries, qMin(others, comfortable))));
}

int ListMessageBox::textRoom() const
{
    return ScreenFit::roomOnScreen(this).width() - besides;
}

// The margins, icon and spacing of the box beside its text: what the box
// needs beyond a text wider than anything else in it.
void ListMessageBox::measureBesideText(QLabel* label, int room)
{
    layout()->invalidate();
    layout()->activate();
    const int probe = qMax(room, layout()->totalMinimumSize().width());
    label->setMinimumWidth(probe);
    layout()->invalidate();
    layout()->activate();
    besides = qMax(0, layout()->totalMinimumSize().width() - probe);
}

QLabel* ListMessageBox::textLabel() const
{
    return findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
}

// What showing the details adds to the box's height; none once shown.
int ListMessageBox::detailsHeight() const
{
    const auto* details = findChild<QTextEdit*>();
    if (!details || details->isVisibleTo(this) || !details->parentWidget())
        return 0;
    const int spacing = style()->pixelMetric(QStyle::PM_LayoutVerticalSpacing, nullptr, this);
    return details->parentWidget()->sizeHint().height() + qMax(detailsSpacing, spacing);
}
