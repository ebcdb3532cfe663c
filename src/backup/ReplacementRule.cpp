#include "ReplacementRule.h"

namespace pistel {

namespace {
TimeUnits floorDiv(TimeUnits a, TimeUnits b) {
    TimeUnits q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}
} // namespace

TimeUnits meanToHundredths(TimeUnits sum, TimeUnits count) {
    // hundredths = floor(sum / (count * 100) + 1/2), in integers.
    return floorDiv(2 * sum + count * 100, 2 * count * 100) * 100;
}

std::optional<Replacement> replacementFor(const std::vector<RuleEntry>& sequence,
                                          size_t concerned) {
    if (concerned >= sequence.size() || !sequence[concerned].backup)
        return std::nullopt;
    auto usable = [&](size_t i) {
        const RuleEntry& e = sequence[i];
        return i != concerned && !e.forerunner && e.a && e.backup;
    };
    Replacement r;
    r.zek = sequence[concerned].zek;
    r.backup = *sequence[concerned].backup;
    for (size_t i = concerned; i-- > 0 && r.references.size() < kReferenceCount;)
        if (usable(i))
            r.references.push_back({sequence[i].zek, *sequence[i].a, *sequence[i].backup});
    for (size_t i = concerned + 1; i < sequence.size() && r.references.size() < kReferenceCount;
         ++i)
        if (usable(i))
            r.references.push_back({sequence[i].zek, *sequence[i].a, *sequence[i].backup});
    if (r.references.empty())
        return std::nullopt;
    TimeUnits sum = 0;
    for (const Reference& ref : r.references)
        sum += ref.difference();
    r.correction = meanToHundredths(sum, static_cast<TimeUnits>(r.references.size()));
    r.time = wrapIntoDay(r.backup + r.correction);
    return r;
}

} // namespace pistel
