#include "pathmessagebox.h"

#include <QLabel>

PathMessageBox::PathMessageBox(Icon icon, const QString& title, const QString& text,
                               const QString& pathLine, QWidget* parent)
    : QMessageBox(icon, title, text, QMessageBox::Ok, parent)
{
    setInformativeText(pathLine);
    if (auto* line = findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
        line->setWordWrap(false);
}
