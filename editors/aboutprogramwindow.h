#ifndef ABOUTPROGRAMWINDOW_H
#define ABOUTPROGRAMWINDOW_H

#include <QDialog>

class Ui_AboutProgramWindow;

// The About window: the program's version, its build date and the maker's
// product page. It deletes itself when closed.
class AboutProgramWindow : public QDialog
{
    Q_OBJECT

public:
    explicit AboutProgramWindow(QWidget* parent = nullptr);
    ~AboutProgramWindow() override;

private slots:
    void on_pushButton_clicked();

private:
    Ui_AboutProgramWindow* ui;
};

#endif // ABOUTPROGRAMWINDOW_H
