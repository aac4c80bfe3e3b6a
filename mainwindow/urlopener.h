#ifndef URLOPENER_H
#define URLOPENER_H

#include <QUrl>

// Hands a file or web address to the system's opener.
class UrlOpener
{
public:
    virtual ~UrlOpener();

    // False when the system could not open it.
    virtual bool open(const QUrl& url);
};

#endif // URLOPENER_H
