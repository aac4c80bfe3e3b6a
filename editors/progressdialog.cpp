#include "progressdialog.h"

#include "screenfit.h"
#include "ui_progressdialog.h"

#include <QCloseEvent>
#include <QEventLoop>

ProgressDialog::ProgressDialog(const QString& title, bool noAbort, QWidget* parent)
    : QDialog(parent)
    , ui(new Ui_ProgressDialog)
    , noAbort(noAbort)
{
    ui->setupUi(this);
    ui->progressBar->setValue(0);
    ui->progressBar->setMaximum(100);
    ui->progressLabel->setText(QString());
    setWindowTitle(title);

    Qt::WindowFlags flags = Qt::Dialog | Qt::WindowTitleHint;
    if (!noAbort)
        flags |= Qt::WindowCloseButtonHint;
    setWindowFlags(flags);
    setWindowModality(Qt::ApplicationModal);

    ui->abortButton->setVisible(!noAbort);
    ui->doneButton->hide();

    // The buttons only report: Abort leaves the dialog up, disabled.
    connect(ui->abortButton, &QPushButton::clicked, this, &QDialog::rejected);
    connect(ui->doneButton, &QPushButton::clicked, this, &QDialog::rejected);
    connect(this, &QDialog::rejected, this, &ProgressDialog::abort);
    ScreenFit::scaleDialog(this);
}

ProgressDialog::~ProgressDialog()
{
    delete ui;
}

void ProgressDialog::setProgressText(QString progressText)
{
    ui->progressLabel->setText(progressText);
    updateGeometry();
}

void ProgressDialog::setProgress(int progress)
{
    ui->progressBar->setValue(progress);
}

void ProgressDialog::abort()
{
    setEnabled(false);
    abortRequested = true;
    emit aborted();
}

bool ProgressDialog::wasAborted() const
{
    return abortRequested;
}

void ProgressDialog::finish()
{
    ui->abortButton->hide();
    ui->doneButton->show();
    disconnect(this, &QDialog::rejected, this, &ProgressDialog::abort);
    connect(this, &QDialog::rejected, this, &ProgressDialog::completed);

    QEventLoop loop;
    connect(this, &ProgressDialog::completed, &loop, &QEventLoop::quit);
    // A dialog deleted while waiting must not leave the caller waiting forever.
    connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
    loop.exec();
}

void ProgressDialog::closeEvent(QCloseEvent* event)
{
    if (noAbort) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}
