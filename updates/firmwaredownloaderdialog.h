#ifndef FIRMWAREDOWNLOADERDIALOG_H
#define FIRMWAREDOWNLOADERDIALOG_H

#include <QDialog>
#include <QString>

class Ui_FirmwareDownloaderDialog;

// The brand choice of the default-file download: a text over a column of
// rows (the downloader's check boxes) and OK / Cancel. It holds no logic;
// the downloader fills it, runs it and reads its boxes. Shown, it is as
// high as its rows where the screen allows; more rows scroll.
class FirmwareDownloaderDialog : public QDialog
{
    Q_OBJECT

public:
    explicit FirmwareDownloaderDialog(QWidget* parent = nullptr);
    ~FirmwareDownloaderDialog() override;

    // Appends a row below the last one; the dialog takes the widget.
    void addWidget(QWidget* widget);
    void settext(QString text);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fitRowsToScreen();

    Ui_FirmwareDownloaderDialog* ui;
};

#endif // FIRMWAREDOWNLOADERDIALOG_H
