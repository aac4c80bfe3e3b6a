#ifndef LISTMESSAGEBOX_H
#define LISTMESSAGEBOX_H

#include <QMessageBox>
#include <QString>
#include <QStringList>

// A message box whose text lists entries (values, names, files), one a
// line: a run of lines that begin with two blanks is a list. However long
// its lists, the box keeps within the screen's available area, its OK
// button on the screen: a list longer than the box has room for shows its
// first entries and "... and N more", and the box's details hold every
// entry, one click away.
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
    void resizeEvent(QResizeEvent* event) override;
    // The widest a message box grows for a line it cannot wrap, as the
    // toolkit works it out from the screen's width.
    static int widestBox(int screenWidth);

private:
    // The first entries and, when some are left out, "... and N more".
    static QStringList firstEntries(const QStringList& entries, int shown);
    void showEntries(int shown);
    void keepEntriesOnOneLine(const QStringList& entries);
    void fitToScreen();
    int detailsHeight() const;

    QString whole;
};

#endif // LISTMESSAGEBOX_H
