#ifndef PATHMESSAGEBOX_H
#define PATHMESSAGEBOX_H

#include "listmessagebox.h"

// A message box that names a file or folder. The path, with what follows
// it on its line, stands below the text, whole: broken into lines only
// after its separators, each as wide as the box takes, so no name is cut
// off or broken in the middle however long the path is. Its texts keep
// within the screen as ListMessageBox's do.
class PathMessageBox : public ListMessageBox
{
    Q_OBJECT

public:
    PathMessageBox(Icon icon, const QString& title, const QString& text, const QString& pathLine,
                   QWidget* parent = nullptr);

protected:
    void breakLines(int width) override;

private:
    QString pathLine;
};

#endif // PATHMESSAGEBOX_H
