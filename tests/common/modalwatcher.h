#ifndef MODALWATCHER_H
#define MODALWATCHER_H

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStringList>
#include <QTimer>

#include <functional>

// Answers each modal window the code under test opens: notes its title
// (and a message box's text), then presses the message box button with the
// given text (the default button when empty). Any other modal window goes
// to onDialog when set, else it is closed.
class ModalWatcher : public QObject
{
public:
    explicit ModalWatcher(const QString& buttonText = QString())
        : m_buttonText(buttonText)
    {
        connect(&m_timer, &QTimer::timeout, this, &ModalWatcher::check);
        m_timer.start(20);
    }

    QStringList titles() const { return m_titles; }
    QStringList texts() const { return m_texts; }
    int count() const { return m_titles.size(); }

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
            m_texts << box->text();
            const auto buttons = box->buttons();
            for (QAbstractButton* button : buttons) {
                if (!m_buttonText.isEmpty() && button->text() == m_buttonText) {
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
        if (onDialog)
            onDialog(modal);
        else
            modal->close();
    }

    QTimer m_timer;
    QString m_buttonText;
    QPointer<QWidget> m_last;
    QStringList m_titles;
    QStringList m_texts;
};

#endif // MODALWATCHER_H
