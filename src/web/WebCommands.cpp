#include "WebCommands.h"

#include "LiveRaceState.h"
#include "WebClient.h"
#include "data/AppState.h"
#include "data/BibText.h"
#include "data/OperatorDialog.h"
#include "data/SqlValue.h"
#include "data/TDM1.h"

#include <QDateTime>
#include <QDir>
#include <QSaveFile>
#include <QUrl>
#include <stdexcept>

namespace pistel {

WebCommands::WebCommands(AppState& app, TDM1& dm, OperatorDialog& dialog, WebClient& client,
                         QObject* parent)
    : QObject(parent), batchFolder(QDir::currentPath()), app_(app), dm_(dm), dialog_(dialog),
      client_(client) {}

QString WebCommands::stamp() const {
    return requestStamp(QTime::currentTime());
}

QString WebCommands::batchFilePath() const {
    return batchFolder + QStringLiteral("/upfaile.txt");
}

void WebCommands::chooseUploadTarget(int item) {
    uploadTarget = item;
    if (uploadTarget == 0)
        realTime = 0;
    emit changed();
}

void WebCommands::setRealTimeUpload(bool checked) {
    realTime = checked && uploadTarget != 0 ? 1 : 0;
    emit changed();
}

void WebCommands::setweb2(const QString& classCode) {
    const QString url =
        raceSelectionUrl(baseUrl, webRaceKey(app_.competitionCode, classCode), stamp());
    if (uploadTarget == 0)
        return;
    client_.navigate(url);
    client_.pause(1000);
}

void WebCommands::sendMessage() {
    if (uploadTarget != 0)
        client_.navigate(messageUrl(baseUrl, memo10, stamp()));
}

void WebCommands::eraseMessage() {
    memo10.clear();
    emit changed();
    if (uploadTarget != 0)
        client_.navigate(messageUrl(baseUrl, QStringLiteral("erase"), stamp()));
}

bool WebCommands::competitor(QString& bib, QString& cls) {
    bool ok = false;
    const int number = edit37.trimmed().toInt(&ok);
    if (!ok)
        throw std::invalid_argument("'" + edit37.toStdString() + "' is not a valid integer value");
    bib = bibText(number);
    Query& q = dm_.Query4;
    q.setSql({"select * from result where zek='" + sqlValue(bib) + "'",
              "and tcode='" + sqlValue(app_.competitionCode) + "'"});
    q.open();
    cls = q.fieldByName(u"class1").asString();
    return q.recordCount() > 0 && realTime == 1;
}

void WebCommands::uploadCompetitor() {
    QString bib, cls;
    if (!competitor(bib, cls))
        return;
    setweb2(cls);
    const QString key = webRaceKey(app_.competitionCode, cls);
    Query& q = dm_.Qtemp;
    q.setSql({"select zek,ttime,ttime2,fl,fl2,totaltime,altime,altime2 from result where tcode='" +
                  sqlValue(app_.competitionCode) + "'",
              "and zek='" + sqlValue(bib) + "'"});
    q.open();
    auto v = [&](const char16_t* f) { return q.fieldByName(f).asString(); };
    const CompetitorTimes row{v(u"zek"), v(u"ttime"),     v(u"ttime2"), v(u"fl"),
                              v(u"fl2"), v(u"totaltime"), v(u"altime"), v(u"altime2")};
    q.close();
    if (uploadTarget != 0)
        client_.navigate(competitorResultUrl(baseUrl, key, row, app_.isRun1(), stamp()));
}

void WebCommands::clearCompetitor() {
    QString bib, cls;
    if (!competitor(bib, cls))
        return;
    setweb2(cls);
    if (uploadTarget != 0)
        client_.navigate(
            competitorClearUrl(baseUrl, webRaceKey(app_.competitionCode, cls), bib, stamp()));
}

void WebCommands::uploadAllResults() {
    if (!dialog_.askYesNo(QStringLiteral("総ての速報データをアップします。"),
                          QStringLiteral("実行してよろしいですか？")))
        return;
    BatchFile file(app_.competitionCode, app_.currentRun);
    Query& q = dm_.Qtemp;
    q.setSql({"select zek,ttime,ttime2,fl,fl2,totaltime,altime,altime2 from result where tcode='" +
              sqlValue(app_.competitionCode) + "'"});
    q.open();
    for (int r = 0; r < q.recordCount(); ++r) {
        q.moveTo(r);
        auto v = [&](const char16_t* f) { return q.fieldByName(f).asString(); };
        file.add({v(u"zek"), v(u"ttime"), v(u"ttime2"), v(u"fl"), v(u"fl2"), v(u"totaltime"),
                  v(u"altime"), v(u"altime2")});
    }
    q.close();
    QSaveFile out(batchFilePath());
    if (!out.open(QIODevice::WriteOnly) || out.write(file.bytes()) < 0 || !out.commit())
        throw std::runtime_error("I/O error: " + batchFilePath().toStdString() + ": " +
                                 out.errorString().toStdString());
    if (uploadTarget == 0)
        return;
    // Our own server learns the competitors' classes too (the batch carries none), so that
    // each row shows on its class's page and excluded competitors on none; and the race state
    // (statuses, on course, next to start). Not waited for: the window is not held twice, and a
    // server that knows only the three requests costs nothing.
    const QString where = QStringLiteral("?code=") +
                          QString::fromLatin1(QUrl::toPercentEncoding(app_.competitionCode));
    client_.send(baseUrl + QStringLiteral("startlist.php") + where,
                 startListBody(q, app_.competitionCode), "text/plain; charset=utf-8");
    client_.send(baseUrl + QStringLiteral("race.php") + where,
                 raceStateBody(q, app_.competitionCode, app_.currentRun == u"2" ? 2 : 1,
                               QDateTime::currentMSecsSinceEpoch(), QTime::currentTime()),
                 "text/plain; charset=utf-8");
    client_.postFile(baseUrl + QStringLiteral("SokuhoTextUpdate.php"), file.bytes());
}

void WebCommands::initialiseWebPage() {
    if (uploadTarget == 0)
        return;
    client_.navigate(raceSelectionUrl(baseUrl, QString::fromLatin1(kNoRaceKey), stamp()));
    client_.pause(1000);
}

void WebCommands::selectRaceOfClass() {
    Query& q = dm_.Qtemp;
    q.setSql({"select * from cs_master where cname='" + sqlValue(cbclass) + "'"});
    q.open();
    setweb2(q.fieldByName(u"ccode").asString());
}

} // namespace pistel
