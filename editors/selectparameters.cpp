#include "selectparameters.h"
#include "screenfit.h"
#include "ui_selectparameters.h"

#include "kelvara.h"
#include "parameterlabels.h"
#include "parametername.h"

SelectParameters::SelectParameters(Kelvara* model, QWidget* parent)
    : QDialog(parent)
    , ui(new Ui_SelectParameters)
    , model(model)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    sort_by_name();

    connect(ui->cancel, &QPushButton::clicked, this, &QWidget::close);
    connect(ui->done, &QPushButton::clicked, this, &SelectParameters::signalParametersAndClose);
    connect(ui->sort_name, &QPushButton::clicked, this, &SelectParameters::sort_by_name);
    connect(ui->sort_address, &QPushButton::clicked, this, &SelectParameters::sort_by_address);
    connect(ui->paramList, &QListWidget::itemDoubleClicked, this,
            &SelectParameters::parameterDoubleClicked);
    ScreenFit::scaleDialog(this);
}

SelectParameters::~SelectParameters()
{
    delete ui;
}

void SelectParameters::signalParametersAndClose()
{
    QList<QPair<int, int>> keys;
    const auto selected = ui->paramList->selectedItems();
    for (QListWidgetItem* item : selected) {
        const auto* entry = static_cast<ParameterName*>(item);
        keys << qMakePair(entry->getAddress(), entry->getBit());
    }
    emit selectedParameters(keys);
    close();
}

void SelectParameters::parameterDoubleClicked(QListWidgetItem* item)
{
    const auto* entry = static_cast<ParameterName*>(item);
    emit selectedParameters({qMakePair(entry->getAddress(), entry->getBit())});
    close();
}

void SelectParameters::sort_by_name()
{
    ui->paramList->clear();
    const auto names = model->getAllNames();
    for (auto it = names.constBegin(); it != names.constEnd(); ++it) {
        const int address = it.value().first;
        new ParameterName(marksOf(address) + it.key() + QStringLiteral(", Addr: ")
                              + QString::number(address),
                          address, it.value().second, ui->paramList);
    }
}

void SelectParameters::sort_by_address()
{
    ui->paramList->clear();
    QMap<QPair<int, int>, QString> byKey;
    const auto names = model->getAllNames();
    for (auto it = names.constBegin(); it != names.constEnd(); ++it)
        byKey.insert(it.value(), it.key());
    for (auto it = byKey.constBegin(); it != byKey.constEnd(); ++it) {
        const int address = it.key().first;
        new ParameterName(QString::number(address) + marksOf(address) + QLatin1Char('\t')
                              + it.value(),
                          address, it.key().second, ui->paramList);
    }
}

QString SelectParameters::marksOf(int address) const
{
    return ParameterLabels::marks(model->getParameter(address));
}
