#ifndef HELPWINDOW_H
#define HELPWINDOW_H

#include <QDialog>

class Ui_HelpWindow;

// The user manual, an HTML document built into the program, in a
// scrollable browser. It deletes itself when closed; several may be open.
class HelpWindow : public QDialog
{
    Q_OBJECT

public:
    explicit HelpWindow(QWidget* parent = nullptr);
    ~HelpWindow() override;

private:
    Ui_HelpWindow* ui;
};

#endif // HELPWINDOW_H
