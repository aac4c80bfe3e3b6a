#include "firmwaredownloaderdialog.h"

#include "screenfit.h"
#include "ui_firmwaredownloaderdialog.h"

#include <QScrollArea>
#include <QStyle>

FirmwareDownloaderDialog::FirmwareDownloaderDialog(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui_FirmwareDownloaderDialog)
{
    ui->setupUi(this);
    // Rows stay together at the top when the dialog is made higher.
    ui->verticalLayout->setAlignment(Qt::AlignTop);
    ScreenFit::scaleDialog(this);
}

FirmwareDownloaderDialog::~FirmwareDownloaderDialog()
{
    delete ui;
}

void FirmwareDownloaderDialog::addWidget(QWidget* widget)
{
    ui->verticalLayout->addWidget(widget);
}

void FirmwareDownloaderDialog::settext(QString text)
{
    ui->label->setText(text);
}

void FirmwareDownloaderDialog::showEvent(QShowEvent* event)
{
    fitRowsToScreen();
    QDialog::showEvent(event);
}

// Once every row is in: the list shows all of them, and the dialog fits the
// screen with its text and buttons; the list gives up what the screen
// lacks and scrolls.
void FirmwareDownloaderDialog::fitRowsToScreen()
{
    QScrollArea* list = ui->scrollArea;
    const QSize rows = ui->verticalFrame->sizeHint();
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    list->setMinimumSize(rows.width() + scrollBar, rows.height());
    layout()->activate();
    const int needed = layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(width())
                                                     : layout()->totalMinimumSize().height();
    const int excess = needed - ScreenFit::room(this).height();
    if (excess > 0) {
        const int oneRow = ui->verticalLayout->count() > 0
            ? ui->verticalLayout->itemAt(0)->sizeHint().height()
            : 0;
        list->setMinimumHeight(qMax(oneRow, rows.height() - excess));
    }
    ScreenFit::fitToScreen(this);
}
