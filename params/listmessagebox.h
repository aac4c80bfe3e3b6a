#ifndef LISTMESSAGEBOX_H
#define LISTMESSAGEBOX_H

#include <QMessageBox>
#include <QString>
#include <QStringList>

class QLabel;

// A message box whose text lists entries (values, names, files), one a
// line: a run of lines that begin with two blanks is a list. Its other
// lines wrap to the box's width; an entry keeps to one line where the
// screen has room for it, the box growing as wide as that takes; one wider
// than the screen wraps, within a word where it must, at nothing added to
// it (WithinWordWrap). However long its lists, the box keeps within the
// screen's available area, its OK button on the screen: a list longer than
// the box has room for shows its first entries and "... and N more", and
// the box's details hold every entry, one click away. It opens centred over the window it belongs to.
class ListMessageBox : public QMessageBox
{
    Q_OBJECT

public:
    // The most entries of a list the box shows where the screen has room.
    static const int shownEntries = 10;

    ListMessageBox(Icon icon, const QString& title, const QString& text, QWidget* parent = nullptr);

    // The text as given, every entry of its lists included.
    QString wholeText() const { return whole; }
    // Adds to the text, also while the box is shown.
    void appendText(const QString& more);

    // The entries as a list of a box's text: one a line, marked.
    static QString listed(const QStringList& entries);

protected:
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;
    // The widest the box's texts may be laid out: the screen's available
    // area less the box's frame, margins and icon.
    int textRoom() const;
    // Texts laid out by rules of their own are fitted to the width the
    // box's text takes, before the box takes its size from them.
    virtual void fitOtherTexts(int width) { Q_UNUSED(width) }

private:
    // The first entries and, when some are left out, "... and N more".
    static QStringList firstEntries(const QStringList& entries, int shown);
    void showEntries(int shown);
    void fitToScreen();
    void layOutTexts();
    int textWidth() const;
    void measureBesideText(QLabel* label, int room);
    int detailsHeight() const;
    QLabel* textLabel() const;

    QString whole;
    QSize fittedSize;
    int besides = 0;
    // Placed by showing, centred over its window, and not sized since for
    // a change of its own (details shown, text added).
    bool centred = false;
    // The text shown, and its lines apart as entries and other lines.
    QString shownText;
    QStringList shownEntryLines;
    QStringList shownOtherLines;
};

#endif // LISTMESSAGEBOX_H
