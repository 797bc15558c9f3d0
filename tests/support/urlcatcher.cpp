#include "urlcatcher.h"

#include <QDesktopServices>

UrlCatcher::UrlCatcher()
{
    QDesktopServices::setUrlHandler("file", this, "open");
}

UrlCatcher::~UrlCatcher()
{
    QDesktopServices::unsetUrlHandler("file");
}

void UrlCatcher::open(const QUrl &url)
{
    urls << url;
}
