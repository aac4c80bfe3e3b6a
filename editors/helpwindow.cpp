#include "helpwindow.h"
#include "screenfit.h"
#include "ui_helpwindow.h"

#include <QFile>

// The manual lives in this library's own resource file, which a static
// library must register itself (outside any namespace).
static void initManualResource()
{
    Q_INIT_RESOURCE(manual);
}

namespace {

QString manual()
{
    initManualResource();
    QFile file(QStringLiteral(":/manual/manual.html"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

} // namespace

HelpWindow::HelpWindow(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui_HelpWindow)
{
    ui->setupUi(this);
    ui->textBrowser->setHtml(manual());
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("Help"));
    ScreenFit::scaleDialog(this);
}

HelpWindow::~HelpWindow()
{
    delete ui;
}
