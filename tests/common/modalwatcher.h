#ifndef MODALWATCHER_H
#define MODALWATCHER_H

#include <QtWidgets>

#include <functional>

// Answers each modal box the code under test opens: notes its title and
// text, hands it to onBox when set, then presses the button with the given
// text (the default button when empty). A file dialog is answered with
// fileName, or cancelled without one. Any other modal window goes to
// onDialog when set, else it is closed.
class ModalWatcher : public QObject
{
public:
    explicit ModalWatcher(const QString& buttonText = QString(),
                          const QString& fileName = QString())
        : m_buttonText(buttonText)
        , m_fileName(fileName)
    {
        connect(&m_timer, &QTimer::timeout, this, &ModalWatcher::check);
        m_timer.start(20);
    }

    QStringList titles() const { return m_titles; }
    QStringList texts() const { return m_texts; }
    // Of each box: "informative text | detailed text | button, button".
    QStringList details() const { return m_details; }
    int count() const { return m_titles.size(); }
    // Buttons to press in turn, before the one given at construction.
    void setAnswers(const QStringList& answers) { m_answers = answers; }

    // Runs while a message box is still open, before it is answered.
    std::function<void(QMessageBox*)> onBox;
    std::function<void(QWidget*)> onDialog;

private:
    void check()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == m_last)
            return;
        m_last = modal;
        m_titles << modal->windowTitle();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            if (onBox)
                onBox(box);
            m_texts << box->text();
            const auto buttons = box->buttons();
            QStringList names;
            for (QAbstractButton* button : buttons)
                names << button->text();
            m_details << box->informativeText() + " | " + box->detailedText() + " | "
                    + names.join(", ");
            const QString answer = m_answers.isEmpty() ? m_buttonText : m_answers.takeFirst();
            for (QAbstractButton* button : buttons) {
                if (!answer.isEmpty() && button->text() == answer) {
                    button->click();
                    return;
                }
            }
            QAbstractButton* fallback = box->defaultButton();
            if (!fallback)
                fallback = buttons.value(0);
            if (QAbstractButton* button = fallback) {
                button->click();
                return;
            }
        }
        m_texts << QString();
        m_details << QString();
        auto* edit = modal->findChild<QLineEdit*>("fileNameEdit");
        if (qobject_cast<QFileDialog*>(modal) && edit && !m_fileName.isEmpty()) {
            edit->setText(m_fileName);
            QMetaObject::invokeMethod(modal, "accept");
            return;
        }
        if (onDialog)
            onDialog(modal);
        else
            modal->close();
    }

    QTimer m_timer;
    QString m_buttonText;
    QString m_fileName;
    QPointer<QWidget> m_last;
    QStringList m_titles;
    QStringList m_texts;
    QStringList m_details;
    QStringList m_answers;
};

#endif // MODALWATCHER_H
