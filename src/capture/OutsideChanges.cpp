#include "OutsideChanges.h"

#include "data/Query.h"
#include "data/SqlValue.h"

namespace pistel {
namespace {
// One row, a few ms on a competition of a thousand: order-independent sums of row checksums.
QStringList digestStatement(const QString& code) {
    const QString tcode = "tcode = '" + sqlValue(code) + "'";
    return {
        "select concat_ws('/',",
        "(select concat(count(*),':',coalesce(sum(crc32(concat_ws('|',zek,dropm,class1,st1,st2,"
        "sttime,altime,sttime2,altime2,ttime,ttime2,totaltime,FL,FL2))),0)) from result where " +
            tcode + "),",
        "(select concat(count(*),':',coalesce(sum(crc32(concat_ws('|',zek,run,code,gate,"
        "reason))),0)) from run_status where " +
            tcode + "),",
        "(select coalesce(max(id),0) from change_history where " + tcode + "),",
        "(select count(*) from pulse_unassigned where " + tcode + ")) as digest"};
}
} // namespace

bool OutsideChanges::changedSinceLastLook(odbc::Connection& db, const QString& code) {
    Query q(db, QStringLiteral("outside changes"), digestStatement(code));
    q.open();
    const QString digest = q.fieldByName(u"digest").asString();
    const bool changed = code == code_ && !digest_.isEmpty() && digest != digest_;
    code_ = code;
    digest_ = digest;
    return changed;
}

} // namespace pistel
