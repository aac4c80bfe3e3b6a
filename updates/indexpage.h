#ifndef INDEXPAGE_H
#define INDEXPAGE_H

#include <QByteArray>
#include <QString>
#include <QStringList>

// A directory index page of the maker's server: its first <ul> list, one
// "<li><a ...> name</a></li>" per entry. Names with ".xml" are files; the
// link to the enclosing folder is left out; the rest are folders.
class IndexPage
{
public:
    enum Result { Read, NoList, BadEntry };

    // The entries of the page's body, in page order; the names are as the
    // page writes them (nothing here makes them safe to use as paths).
    static Result read(const QByteArray& body, QStringList* files, QStringList* folders);

    // The text of a reply up to its first NUL byte.
    static QString textUpToNul(const QByteArray& bytes);
};

#endif // INDEXPAGE_H
