#ifndef PATHMESSAGEBOX_H
#define PATHMESSAGEBOX_H

#include <QMessageBox>

// A message box that names a file or folder. The path, with what follows
// it on its line, stands below the text and is never wrapped: wrapped, it
// would break mid-name in a box as narrow as the toolkit makes it; the box
// takes the line's width instead.
class PathMessageBox : public QMessageBox
{
    Q_OBJECT

public:
    PathMessageBox(Icon icon, const QString& title, const QString& text, const QString& pathLine,
                   QWidget* parent = nullptr);
};

#endif // PATHMESSAGEBOX_H
