#pragma once

#include <QDesktopServices>
#include <QList>
#include <QObject>
#include <QUrl>

// Takes the files the window asks the desktop to open, for as long as it lives,
// so that no test starts a viewer.
class TUrlCatcher : public QObject
{
    Q_OBJECT

public:
    TUrlCatcher() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "Open"); }
    ~TUrlCatcher() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }

    QList<QUrl> Opened;

public slots:
    void Open(const QUrl &url) { Opened << url; }
};
