#ifndef URLCATCHER_H
#define URLCATCHER_H

#include <QList>
#include <QObject>
#include <QUrl>

// Stands in for the desktop while it exists: receives the file URLs that the
// program asks the desktop to open.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    UrlCatcher();
    ~UrlCatcher() override;

    QList<QUrl> urls;

public slots:
    void open(const QUrl &url);
};

#endif // URLCATCHER_H
