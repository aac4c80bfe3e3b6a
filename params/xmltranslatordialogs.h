#ifndef XMLTRANSLATORDIALOGS_H
#define XMLTRANSLATORDIALOGS_H

#include <QMessageBox>
#include <QString>

class QWidget;

// The file dialogs and message boxes of the parameter-file operations.
// XMLTranslator asks every question through this object, so another
// implementation (a test's) can answer without a blocking dialog. This one
// shows the real, modal Qt dialogs.
class XMLTranslatorDialogs
{
public:
    // Answers of the export-type box; the others are XMLTranslator's export types.
    static const int exportCancelled = -1;

    enum Level3Choice { KeepImported, RestoreAll, RestoreLevel3Only };

    // Every dialog and box is parented to parentWidget and opens over its
    // window.
    explicit XMLTranslatorDialogs(QWidget* parentWidget = nullptr);
    virtual ~XMLTranslatorDialogs();

    // An empty name means the user cancelled.
    virtual QString openFileName(const QString& caption, const QString& dir, const QString& filter);
    virtual QString saveFileName(const QString& caption, const QString& dir, const QString& filter);

    // XMLTranslator::ExportAll, ExportMotor, ExportController or exportCancelled.
    virtual int exportType();
    // True for Yes; Cancel and closing the box give false.
    virtual bool yesOrCancel(QMessageBox::Icon icon, const QString& title, const QString& text,
                             const QString& informativeText);
    // Asked after an import changed level-3 parameters.
    virtual Level3Choice level3ImportChoice();
    // A modal critical box titled "Error". Both boxes keep long lists in
    // their texts within the screen (ListMessageBox).
    virtual void showError(const QString& text);
    // A modal information box.
    virtual void showInformation(const QString& title, const QString& text);

private:
    QWidget* m_parentWidget;
};

#endif // XMLTRANSLATORDIALOGS_H
