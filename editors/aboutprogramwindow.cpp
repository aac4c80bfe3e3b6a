#include "aboutprogramwindow.h"
#include "screenfit.h"
#include "ui_aboutprogramwindow.h"

namespace {

const char* const buildKind = "RELEASE";

// The compiler's date ("Feb  8 2023") with the day in two digits.
QString buildDate()
{
    QString date = QStringLiteral(__DATE__);
    if (date.size() > 4 && date.at(4) == QLatin1Char(' '))
        date[4] = QLatin1Char('0');
    return date;
}

} // namespace

AboutProgramWindow::AboutProgramWindow(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui_AboutProgramWindow)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    ui->version_label->setText(QStringLiteral(KELVARA_VERSION) + QStringLiteral(" - ")
                               + QLatin1String(buildKind));
    ui->build_date->setText(buildDate());
    ScreenFit::scaleDialog(this);
}

AboutProgramWindow::~AboutProgramWindow()
{
    delete ui;
}

void AboutProgramWindow::on_pushButton_clicked()
{
    close();
}
