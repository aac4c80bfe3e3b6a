#include "urlopener.h"

#include <QDesktopServices>

UrlOpener::~UrlOpener() = default;

bool UrlOpener::open(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}
