#include "xmltranslatordialogs.h"

#include "listmessagebox.h"
#include "xmltranslator.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QPushButton>
#include <QVariant>

#include <memory>

namespace {

const char* const exportTypeTable =
    "<table>"
    "<tr><td><b>Motor</b></td><td>Export the current motor tuning parameters.</td></tr>"
    "<tr><td><b>Controller&nbsp;&nbsp;&nbsp;</b></td>"
    "<td>Export all controller settings apart from the motor tuning.</td></tr>"
    "<tr><td><b>All</b></td><td>Export all parameters.</td></tr>"
    "</table>";

// Each box opens over the window of the parent given.
QMessageBox* createExportTypeBox(QWidget* parent)
{
    auto* box = new QMessageBox(parent);
    box->setWindowTitle(QStringLiteral("Select Export Type"));
    box->setIcon(QMessageBox::NoIcon);
    box->setStyleSheet(QStringLiteral("QLabel{min-width: 440px;}"));
    box->setText(QStringLiteral("Select the type of parameters for the export."));
    box->setInformativeText(QString::fromLatin1(exportTypeTable));

    QPushButton* all = box->addButton(QStringLiteral("All"), QMessageBox::YesRole);
    all->setToolTip(QStringLiteral("Export all parameters."));
    all->setProperty("exportType", int(XMLTranslator::ExportAll));
    QPushButton* controller = box->addButton(QStringLiteral("Controller"), QMessageBox::YesRole);
    controller->setToolTip(QStringLiteral(
        "Export only parameters that are unrelated to which particular motor is being used."));
    controller->setProperty("exportType", int(XMLTranslator::ExportController));
    QPushButton* motor = box->addButton(QStringLiteral("Motor"), QMessageBox::YesRole);
    motor->setToolTip(
        QStringLiteral("Export only parameters that are specific to this particular motor setup."));
    motor->setProperty("exportType", int(XMLTranslator::ExportMotor));
    box->addButton(QMessageBox::Cancel);
    return box;
}

QMessageBox* createYesOrCancelBox(QMessageBox::Icon icon, const QString& title, const QString& text,
                                  const QString& informativeText, QWidget* parent)
{
    auto* box = new QMessageBox(parent);
    box->setIcon(icon);
    box->setWindowTitle(title);
    box->setText(text);
    box->setInformativeText(informativeText);
    box->setStandardButtons(QMessageBox::Cancel | QMessageBox::Yes);
    box->setDefaultButton(QMessageBox::Cancel);
    return box;
}

QMessageBox* createLevel3WarningBox(QWidget* parent)
{
    auto* box = new QMessageBox(parent);
    box->setWindowTitle(QStringLiteral("Caution!"));
    box->setIcon(QMessageBox::Warning);
    box->setText(QStringLiteral("You have imported and changed one or more Level 3 parameters!"));
    box->setInformativeText(
        QStringLiteral(
            "Level 3 parameters alter calibration constants and safety limits that are not "
            "meant to be altered by the typical user. If this file came from Tamsett "
            "Technologies, or your are confident that you know what you are doing, proceed. "
            "Otherwise, please use caution, as Level 3 parameters have the potential to "
            "produce unexpected behaviour or permanently damage your device.")
        + QStringLiteral("\n\n")
        + QStringLiteral("If you wish to revert the changes made by importing, click one of the "
                         "restore buttons.")
        + QStringLiteral("\n\n")
        + QStringLiteral(
            "If you want to use the imported Level 3 parameters, click OK.Be sure to check "
            "that Level 3 access is enabled before saving these imported parameters to "
            "the controller."));

    QPushButton* restoreAll = box->addButton(QStringLiteral("Restore All"), QMessageBox::ResetRole);
    restoreAll->setProperty("level3Choice", int(XMLTranslatorDialogs::RestoreAll));
    QPushButton* restoreLevel3 =
        box->addButton(QStringLiteral("Restore Level 3 Only"), QMessageBox::ResetRole);
    restoreLevel3->setProperty("level3Choice", int(XMLTranslatorDialogs::RestoreLevel3Only));
    box->addButton(QMessageBox::Ok);
    box->setDefaultButton(restoreAll);
    // Closing the box keeps the imported values, as OK does.
    box->setEscapeButton(QMessageBox::Ok);
    return box;
}

} // namespace

XMLTranslatorDialogs::XMLTranslatorDialogs(QWidget* parentWidget)
    : m_parentWidget(parentWidget)
{
}

XMLTranslatorDialogs::~XMLTranslatorDialogs() = default;

QString XMLTranslatorDialogs::openFileName(const QString& caption, const QString& dir,
                                           const QString& filter)
{
    return QFileDialog::getOpenFileName(m_parentWidget, caption, dir, filter);
}

QString XMLTranslatorDialogs::saveFileName(const QString& caption, const QString& dir,
                                           const QString& filter)
{
    return QFileDialog::getSaveFileName(m_parentWidget, caption, dir, filter);
}

int XMLTranslatorDialogs::exportType()
{
    const std::unique_ptr<QMessageBox> box(createExportTypeBox(m_parentWidget));
    box->exec();
    const QAbstractButton* clicked = box->clickedButton();
    const QVariant type = clicked ? clicked->property("exportType") : QVariant();
    return type.isValid() ? type.toInt() : exportCancelled;
}

bool XMLTranslatorDialogs::yesOrCancel(QMessageBox::Icon icon, const QString& title,
                                       const QString& text, const QString& informativeText)
{
    const std::unique_ptr<QMessageBox> box(
        createYesOrCancelBox(icon, title, text, informativeText, m_parentWidget));
    return box->exec() == QMessageBox::Yes;
}

XMLTranslatorDialogs::Level3Choice XMLTranslatorDialogs::level3ImportChoice()
{
    const std::unique_ptr<QMessageBox> box(createLevel3WarningBox(m_parentWidget));
    box->exec();
    const QAbstractButton* clicked = box->clickedButton();
    const QVariant choice = clicked ? clicked->property("level3Choice") : QVariant();
    return choice.isValid() ? static_cast<Level3Choice>(choice.toInt()) : KeepImported;
}

void XMLTranslatorDialogs::showError(const QString& text)
{
    ListMessageBox box(QMessageBox::Critical, QStringLiteral("Error"), text, m_parentWidget);
    box.exec();
}

void XMLTranslatorDialogs::showInformation(const QString& title, const QString& text)
{
    ListMessageBox box(QMessageBox::Information, title, text, m_parentWidget);
    box.exec();
}
