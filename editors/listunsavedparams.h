#ifndef LISTUNSAVEDPARAMS_H
#define LISTUNSAVEDPARAMS_H

#include <QDialog>

class Kelvara;
class Ui_ListUnsavedParams;

// A modal report of every parameter changed and not yet saved: address,
// name, the value last read or saved, an arrow, the new value and its
// units, in columns of a monospaced font. It is a snapshot taken when the
// dialog is built.
class ListUnsavedParams : public QDialog
{
    Q_OBJECT

public:
    ListUnsavedParams(Kelvara* model, QWidget* parent = nullptr);
    ~ListUnsavedParams() override;

private:
    Ui_ListUnsavedParams* ui;
    Kelvara* model;
};

#endif // LISTUNSAVEDPARAMS_H
