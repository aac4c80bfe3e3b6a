// The version file of the update check, as the checker reads it: this
// platform's entry, then its latest version against the running one.
//
// Asserted: a file read as usable names a latest version; no version is
// newer than itself, and of two versions at most one is newer.
#include "fuzzsupport.h"
#include "updater.h"
#include "versionfile.h"

namespace {

void checkOrder(const QString& x, const QString& y)
{
    if (Updater::compare(x, y) && Updater::compare(y, x))
        FuzzSupport::finding("two versions are each newer than the other");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const FuzzSupport::TimeBudget budget(1000);
    VersionFile::Entry entry;
    const VersionFile::Result result =
        VersionFile::read(FuzzSupport::bytes(data, size), QStringLiteral("osx"), &entry);
    if (result == VersionFile::NotJson)
        return 0;
    if (result == VersionFile::Read && entry.latestVersion.isEmpty())
        FuzzSupport::finding("a usable version file without a latest version");
    const QString& latest = entry.latestVersion;
    if (Updater::compare(latest, latest))
        FuzzSupport::finding("a version is newer than itself");
    checkOrder(latest, QStringLiteral("1.8.0"));
    checkOrder(latest, entry.changelog);
    return 0;
}
