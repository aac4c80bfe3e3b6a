// The directory index pages of the maker's server, as the default-file
// download reads them: the entries of the page, then the names it keeps
// as folders and files of the per-user store.
//
// Asserted: every name the download keeps makes a path one step below its
// folder of the store.
#include "defaultstore.h"
#include "fuzzsupport.h"
#include "indexpage.h"

#include <QDir>

namespace {

const QString storeRoot = QStringLiteral("/kelvara-store");

void checkStaysInStore(const QStringList& steps)
{
    const QString path = QDir::cleanPath(DefaultStore::path(storeRoot, steps));
    QString expected = storeRoot;
    for (const QString& step : steps)
        expected += QLatin1Char('/') + step;
    if (path != expected)
        FuzzSupport::finding("a name from the server leaves its folder of the store");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const FuzzSupport::TimeBudget budget(1000);
    QStringList files;
    QStringList folders;
    if (IndexPage::read(FuzzSupport::bytes(data, size), &files, &folders) != IndexPage::Read)
        return 0;
    // As the download keeps them: a folder without its final "/", and the
    // files of a page in the folder of that page.
    for (QString folder : qAsConst(folders)) {
        if (folder.endsWith(QLatin1Char('/')))
            folder.chop(1);
        if (!DefaultStore::isSafeName(folder))
            continue;
        checkStaysInStore({folder});
        for (const QString& file : qAsConst(files)) {
            if (DefaultStore::isSafeName(file))
                checkStaysInStore({folder, file});
        }
    }
    return 0;
}
