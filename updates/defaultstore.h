#ifndef DEFAULTSTORE_H
#define DEFAULTSTORE_H

#include <QByteArray>
#include <QString>
#include <QStringList>

// The per-user store of downloaded default parameter files: below the
// application data location, one folder per server folder (a motor maker,
// "Controller", "PAS") holding XML parameter files named as on the server.
namespace DefaultStore {

// The application data location, as Qt gives it.
QString root();
// The absolute path of root, followed by each step after the native separator.
QString path(const QString& root, const QStringList& steps);
// Entry names of a folder, files and folders alike, hidden ones left out,
// sorted by name regardless of case; none for a folder that does not exist.
QStringList entries(const QString& folder);
// A name that stays one step below its folder: not empty, not "." and
// without "..", "/" or "\".
bool isSafeName(const QString& name);
// Stores body at target, a path below root; empty when saved, else why not.
// Only a whole parameter file with at least one entry replaces a file of
// the same name, and only once it is written completely.
QString saveFile(const QString& root, const QString& target, const QByteArray& body);

} // namespace DefaultStore

#endif // DEFAULTSTORE_H
