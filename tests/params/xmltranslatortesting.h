#ifndef XMLTRANSLATORTESTING_H
#define XMLTRANSLATORTESTING_H

#include "kelvara.h"
#include "parameterfileentries.h"
#include "parameter.h"
#include "xmltranslator.h"
#include "xmltranslatordialogs.h"

#include <QFile>
#include <QMap>
#include <QStringList>
#include <QTextCodec>

// Answers the translator's questions without showing anything, and records
// what was asked.
class FakeDialogs : public XMLTranslatorDialogs
{
public:
    struct Question
    {
        QMessageBox::Icon icon;
        QString title, text, informativeText;
    };

    QString openFileName(const QString& caption, const QString& dir, const QString& filter) override
    {
        fileDialogs << QStringList{caption, dir, filter};
        return openAnswer;
    }
    QString saveFileName(const QString& caption, const QString& dir, const QString& filter) override
    {
        fileDialogs << QStringList{caption, dir, filter};
        return saveAnswer;
    }
    int exportType() override { return exportAnswer; }
    bool yesOrCancel(QMessageBox::Icon icon, const QString& title, const QString& text,
                     const QString& informativeText) override
    {
        questions << Question{icon, title, text, informativeText};
        return yesAnswer;
    }
    Level3Choice level3ImportChoice() override
    {
        ++level3Asked;
        return level3Answer;
    }
    void showError(const QString& text) override { errors << text; }
    void showInformation(const QString& title, const QString& text) override
    {
        infos << title + '|' + text;
    }

    QString openAnswer;
    QString saveAnswer;
    int exportAnswer = exportCancelled;
    bool yesAnswer = true;
    Level3Choice level3Answer = KeepImported;

    QList<QStringList> fileDialogs; // caption, directory, filter
    QList<Question> questions;
    int level3Asked = 0;
    QStringList errors;
    QStringList infos; // "title|text"
};

// As FakeDialogs, but an import's report box shows as it does in the suite.
class ShownReportDialogs : public FakeDialogs
{
public:
    void showInformation(const QString& title, const QString& text) override
    {
        XMLTranslatorDialogs::showInformation(title, text);
    }
};

using RegisterValues = QMap<int, int>;

inline RegisterValues rawValues(const Kelvara* device)
{
    RegisterValues values;
    const QMap<int, Parameter*> parameters = device->getAllParameters();
    for (auto it = parameters.constBegin(); it != parameters.constEnd(); ++it)
        values.insert(it.key(), it.value()->getRegisterValue());
    return values;
}

// One entry of a parameter file; a null text leaves its element out.
inline QByteArray entry(const char* address, const char* value)
{
    QByteArray text = "  <SerializableParameter>\n";
    if (address)
        text += QByteArray("    <Address>") + address + "</Address>\n";
    if (value)
        text += QByteArray("    <Value>") + value + "</Value>\n";
    text += "    <Notes>ignored</Notes>\n";
    return text + "  </SerializableParameter>\n";
}

inline QByteArray parameterDocument(const QByteArray& entries)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<ArrayOfSerializableParameter xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n"
        + entries + "</ArrayOfSerializableParameter>\n";
}

// The document as another encoding writes it: declared as declared (in
// place of UTF-8), its line ends those given, with a byte order mark or
// without.
inline QByteArray encodedDocument(const QByteArray& entries, const char* declared,
                                  const char* encoding, bool byteOrderMark, const char* lineEnd)
{
    QString text = QString::fromUtf8(parameterDocument(entries))
                       .replace("UTF-8", QLatin1String(declared))
                       .replace('\n', QLatin1String(lineEnd));
    if (byteOrderMark)
        text.prepend(QChar(QChar::ByteOrderMark));
    QTextEncoder encoder(QTextCodec::codecForName(encoding), QTextCodec::IgnoreHeader);
    return encoder.fromUnicode(text);
}

#endif // XMLTRANSLATORTESTING_H
