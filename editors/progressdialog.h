#ifndef PROGRESSDIALOG_H
#define PROGRESSDIALOG_H

#include <QDialog>
#include <QString>

class QCloseEvent;
class Ui_ProgressDialog;

// A small application-modal dialog: a line of text over a progress bar from
// 0 to 100, an optional "Abort" button, and a "Done" button for a final
// acknowledgement. It knows nothing of the work it shows.
//
// Built with noAbort, it has no Abort button and no close button and
// refuses close requests: its owner hides it with done() or hide().
class ProgressDialog : public QDialog
{
    Q_OBJECT

public:
    ProgressDialog(const QString& title, bool noAbort, QWidget* parent = nullptr);
    ~ProgressDialog() override;

    // Shows "Done" in place of "Abort" and waits (running the event loop)
    // until the user presses it, presses Escape or closes the window.
    void finish();
    bool wasAborted() const;

signals:
    void aborted();
    void completed();

public slots:
    void setProgressText(QString progressText);
    void setProgress(int progress);
    // Disables the dialog and remembers that the user gave up.
    void abort();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Ui_ProgressDialog* ui;
    bool noAbort;
    bool abortRequested = false;
};

#endif // PROGRESSDIALOG_H
