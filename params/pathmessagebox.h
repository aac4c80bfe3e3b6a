#ifndef PATHMESSAGEBOX_H
#define PATHMESSAGEBOX_H

#include <QMessageBox>

// A message box that names a file or folder. The path, with what follows
// it on its line, stands below the text, whole: broken into lines only
// after its separators, each as wide as the box takes, so no name is cut
// off or broken in the middle however long the path is.
class PathMessageBox : public QMessageBox
{
    Q_OBJECT

public:
    PathMessageBox(Icon icon, const QString& title, const QString& text, const QString& pathLine,
                   QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QString pathLine;
};

#endif // PATHMESSAGEBOX_H
