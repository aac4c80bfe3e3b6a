#include "listunsavedparams.h"
#include "screenfit.h"
#include "ui_listunsavedparams.h"

#include "formulanodevar.h"
#include "kelvara.h"
#include "parameter.h"

#include <QFontDatabase>
#include <QTextCharFormat>
#include <QTextCursor>

namespace {

const int addressColumn = 6;
const int valueColumn = 6;
const int shortNameColumn = 35;
const int longNameColumn = 48;

QString number(double value)
{
    return QString::number(value, 'g', 6).leftJustified(valueColumn);
}

// One line of the report; every column is padded so the columns line up.
QString reportLine(int address, bool level3, const QString& name, double savedValue,
                   double newValue, const QString& units)
{
    QString addressText = QString::number(address);
    if (level3)
        addressText += QChar(0x00B3);
    const int nameColumn = name.size() < shortNameColumn ? shortNameColumn : longNameColumn;
    return addressText.leftJustified(addressColumn) + name.leftJustified(nameColumn)
        + number(savedValue) + QStringLiteral("  --->  ") + number(newValue)
        + (units.isEmpty() ? QString() : QLatin1Char(' ') + units);
}

// What the controller holds: its raw value read with its own values of the
// registers the scale and offset refer to, not the values pending here.
double heldValue(const Parameter* parameter, const QMap<int, int>& held, int address)
{
    const FormulaNodeVar::HeldValues controllerValues(held);
    return parameter->unlimitedValue(held.value(address, 0));
}

} // namespace

ListUnsavedParams::ListUnsavedParams(Kelvara* model, QWidget* parent)
    : QDialog(parent)
    , ui(new Ui_ListUnsavedParams)
    , model(model)
{
    ui->setupUi(this);

    // Set on the text itself: the application's style sheet gives every
    // widget its proportional font, and the columns must line up.
    const int fontId =
        QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/LiberationMono-Regular.ttf"));
    QTextCharFormat monospaced;
    monospaced.setFontFamily(
        QFontDatabase::applicationFontFamilies(fontId).value(0, QStringLiteral("Liberation Mono")));
    monospaced.setFontStyleHint(QFont::Monospace);

    const QMap<int, int> unsaved = model->getUnsavedValues();
    const QMap<int, int> saved = model->getSavedValues();
    const QMap<int, Parameter*> parameters = model->getAllParameters();

    ui->level_3_label->hide();
    bool anyLevel3 = false;
    QTextCursor cursor(ui->unsaved_list->document());
    for (auto it = unsaved.constBegin(); it != unsaved.constEnd(); ++it) {
        const int address = it.key();
        Parameter* parameter = parameters.value(address);
        if (!parameter)
            parameter = model->getParameter(address);
        const bool level3 = parameter->getLevel() == 3;
        anyLevel3 = anyLevel3 || level3;
        if (it != unsaved.constBegin())
            cursor.insertBlock();
        // Plain text: a name is never read as markup. The earlier value is
        // what the controller holds, also beyond the limits the page shows.
        cursor.insertText(reportLine(address, level3, parameter->getName(),
                                     heldValue(parameter, saved, address), parameter->getValue(),
                                     parameter->getUnits()),
                          monospaced);
    }
    ui->unsaved_list->moveCursor(QTextCursor::Start);
    if (anyLevel3)
        ui->level_3_label->show();
    ScreenFit::scaleDialog(this);
}

ListUnsavedParams::~ListUnsavedParams()
{
    delete ui;
}
