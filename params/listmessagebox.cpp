#include "listmessagebox.h"

#include "screenfit.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QStyle>
#include <QTextEdit>

namespace {

const QLatin1String entryIndent("  ");
// Kept free between the box's text and its details.
const int detailsSpacing = 6;
// What a message box keeps beside its text besides the icon: margins and
// spacing.
const int besideIcon = 60;

bool isEntry(const QString& line)
{
    return line.startsWith(entryIndent);
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
}

void ListMessageBox::appendText(const QString& more)
{
    whole += more;
    if (isVisible())
        fitToScreen();
    else
        showEntries(shownEntries);
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

// The box has taken its size from its texts; the lists give up entries
// until it fits.
void ListMessageBox::showEvent(QShowEvent* event)
{
    QMessageBox::showEvent(event);
    fitToScreen();
}

// Each list shows at most `shown` entries; every entry of a list that shows
// fewer goes to the details.
void ListMessageBox::showEntries(int shown)
{
    const QStringList lines = whole.split(QLatin1Char('\n'));
    QStringList text;
    QStringList entryLines;
    QStringList details;
    for (int i = 0; i < lines.size();) {
        if (!isEntry(lines.at(i))) {
            text << lines.at(i++);
            continue;
        }
        QStringList entries;
        while (i < lines.size() && isEntry(lines.at(i)))
            entries << lines.at(i++).mid(entryIndent.size());
        for (const QString& entry : firstEntries(entries, shown)) {
            text << entryIndent + entry;
            entryLines << text.last();
        }
        if (entries.size() <= shown)
            continue;
        if (!details.isEmpty())
            details << QString();
        details << entries;
    }
    keepEntriesOnOneLine(entryLines);
    setText(text.join(QLatin1Char('\n')));
    setDetailedText(details.join(QLatin1Char('\n')));
}

// The box grows wider for its entries, as far as the toolkit lets a box
// grow on the screen, rather than wrap them; its other texts wrap as they
// would.
void ListMessageBox::keepEntriesOnOneLine(const QStringList& entries)
{
    auto* label = findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    if (!label)
        return;
    label->ensurePolished();
    int widest = 0;
    for (const QString& entry : entries)
        widest = qMax(widest, label->fontMetrics().horizontalAdvance(entry));
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const int besideText = style()->pixelMetric(QStyle::PM_MessageBoxIconSize) + besideIcon;
    const int room = screen ? widestBox(screen->availableGeometry().width()) - besideText : widest;
    label->setMinimumWidth(qMax(0, qMin(widest, room)));
}

int ListMessageBox::widestBox(int screenWidth)
{
    return screenWidth <= 1024 ? screenWidth : qMin(screenWidth - 480, 1000);
}

// With room kept for the details, so that they too fit when shown.
void ListMessageBox::fitToScreen()
{
    const int room = ScreenFit::roomOnScreen(this).height();
    for (int shown = shownEntries;; --shown) {
        showEntries(shown);
        if (shown <= 1 || height() + detailsHeight() <= room)
            break;
    }
    ScreenFit::moveOntoScreen(this);
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

// The box grows down as its details show, or as text joins it: it moves
// up where that passes the screen.
void ListMessageBox::resizeEvent(QResizeEvent* event)
{
    QMessageBox::resizeEvent(event);
    if (isVisible())
        ScreenFit::moveOntoScreen(this);
}
