#include "ReplacementReport.h"

namespace pistel {

Document replacementReport(const BackupRun& run, const RaceInfo& info, TimeUnits tolerance) {
    Document doc;
    doc.kind = DocumentKind::Results;
    doc.title = QStringLiteral("代替時刻報告書　%1本目").arg(run.run());
    doc.info = info;
    doc.columns = {
        {QStringLiteral("順"), 10, true},          {QStringLiteral("ビブ"), 16, true},
        {QStringLiteral("システムA"), 38, true},   {QStringLiteral("予備計時"), 38, true},
        {QStringLiteral("差 (A−予備)"), 30, true}, {QStringLiteral("備考"), 48}};
    doc.csvHeader = {"channel", "bib", "reference", "a_time", "backup", "difference"};
    for (Channel channel : {Channel::Start, Channel::Finish}) {
        ClassDocument part;
        part.className =
            channel == Channel::Start ? QStringLiteral("スタート") : QStringLiteral("フィニッシュ");
        for (const Proposal& p : run.propose(channel, tolerance)) {
            const Replacement& r = p.replacement;
            DocumentSection section;
            section.title = QStringLiteral("ビブ %1 %6　%2 %3　補正 %4 秒　代替時刻 %5")
                                .arg(r.zek,
                                     p.source == u"B" ? QStringLiteral("システムB")
                                                      : QStringLiteral("手動計時"),
                                     timeOfDayText(r.backup), correctionText(r.correction, true),
                                     timeOfDayText(r.time), p.name);
            int n = 0;
            for (const Reference& ref : r.references) {
                const QString number = QString::number(++n);
                section.rows.push_back(
                    {{number,
                      ref.zek,
                      timeOfDayText(ref.a),
                      timeOfDayText(ref.backup),
                      secondsText(ref.difference(), true),
                      {}},
                     {channelName(channel), r.zek, ref.zek, timeOfDayText(ref.a),
                      timeOfDayText(ref.backup), secondsText(ref.difference())}});
            }
            part.sections.push_back(section);
        }
        DocumentSection unmatched;
        unmatched.title = QStringLiteral("どの選手にも一致しない手動計時");
        for (const MatchRow& row : run.match(channel, run.handTimes(channel), tolerance).rows)
            if (row.bib.isEmpty())
                unmatched.rows.push_back(
                    {{QString::number(row.hand.line),
                      {},
                      {},
                      timeOfDayText(row.hand.time),
                      {},
                      QStringLiteral("%1 行目").arg(row.hand.line)},
                     {channelName(channel), {}, {}, {}, timeOfDayText(row.hand.time), {}}});
        if (!unmatched.rows.empty())
            part.sections.push_back(unmatched);
        if (!part.sections.empty()) // a channel without replacements takes no page
            doc.classes.push_back(part);
    }
    if (doc.classes.empty())
        doc.classes.push_back({0, {}, {{QStringLiteral("代替時刻なし"), {}, {}}}});
    // Signed by those who answer for it.
    doc.classes.back().sections.push_back(
        {QStringLiteral("署名"),
         {},
         {QStringLiteral(
             "計時責任者 署名 ＿＿＿＿＿＿＿＿＿＿　　レフェリー 署名 ＿＿＿＿＿＿＿＿＿＿")}});
    return doc;
}

} // namespace pistel
