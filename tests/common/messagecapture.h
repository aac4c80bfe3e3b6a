#ifndef MESSAGECAPTURE_H
#define MESSAGECAPTURE_H

#include <QStringList>
#include <QtGlobal>

// Collects the Qt debug log (qDebug, qWarning, ...) while it lives, instead
// of printing it, e.g. to show that an operation reports no diagnostic.
class MessageCapture
{
public:
    MessageCapture()
    {
        s_messages.clear();
        m_previous = qInstallMessageHandler(&MessageCapture::collect);
    }

    ~MessageCapture() { qInstallMessageHandler(m_previous); }

    QStringList messages() const { return s_messages; }

private:
    static void collect(QtMsgType, const QMessageLogContext&, const QString& text)
    {
        s_messages << text;
    }

    inline static QStringList s_messages;
    QtMessageHandler m_previous = nullptr;
};

#endif // MESSAGECAPTURE_H
