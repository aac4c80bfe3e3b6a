#ifndef PATHMESSAGEBOX_H
#define PATHMESSAGEBOX_H

#include "listmessagebox.h"

// A message box that names a file or folder. The path, with what follows
// it on its line, stands below the text, whole: it wraps after its
// folders' separators, within a name only where the name alone is wider
// than the box, and nothing is cut off however long the path is; selected
// or copied, it reads as given. Its texts keep within the screen as
// ListMessageBox's do.
class PathMessageBox : public ListMessageBox
{
    Q_OBJECT

public:
    PathMessageBox(Icon icon, const QString& title, const QString& text, const QString& pathLine,
                   QWidget* parent = nullptr);

protected:
    void fitOtherTexts(int width) override;

private:
    QString pathLine;
};

#endif // PATHMESSAGEBOX_H
