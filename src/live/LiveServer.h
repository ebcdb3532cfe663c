#pragma once

#include "LiveStore.h"

#include <QHostAddress>
#include <QHttpServer>
#include <QString>

namespace pistel::live {

// The live results server: the three endpoints the workstation sends to, a start list
// upload, the page and its data.
//   settaikai.php?tcode=KEY&tdummy=...        the race and class the page shows
//   sokuhoup.php?message=TEXT&...              the message line ("erase" removes it)
//   sokuhoup.php?tcode=KEY&zek=BIB&...&fl2=F|N one competitor's result, or its removal
//   SokuhoTextUpdate.php (POST, multipart)     the batch update file, parsed as data
//   startlist.php?code=TCODE&title=... (POST)  competitors as "bib,name,team,class" lines
//   /  and  /data                              the page and what it shows
// Writes need the shared key (header X-Pistel-Key or query value "key"); without a key
// set, they are accepted from loopback only.
class LiveServer {
public:
    static constexpr qsizetype kMaxBody = 1 << 20; // bytes
    static constexpr qsizetype kMaxField = 200;    // characters of one query value

    LiveServer(LiveStore& store, QString key);
    // Listens on `address`:`port` (0: any free port); returns the port, 0 on failure.
    quint16 listen(const QHostAddress& address, quint16 port);

private:
    void routes();
    LiveStore& store_;
    QString key_;
    QHttpServer http_;
    QByteArray cachedData_; // the page data as last built
    qint64 cachedVersion_ = -1;
    qint64 cachedAt_ = 0;
};

} // namespace pistel::live
