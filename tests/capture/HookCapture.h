#pragma once

#include "capture/LineCapture.h"

#include <functional>

namespace pistel::test {

// A capture that only hands each line to `hook`: the receive handler's own behaviour around
// the capture (batches, failures, waiting lines) without a run page.
class HookCapture : public LineCapture {
public:
    explicit HookCapture(std::function<CaptureResult(const TimerLine&)> hook)
        : hook_(std::move(hook)) {}
    CaptureResult captureLine(const TimerLine& line) override { return hook_(line); }
    quint64 operatorChanges() const override { return 0; }
    BoxState boxState() override { return {}; }
    void restoreBoxes(const BoxState&) override {}
    void deferWrites(QStringList*) override {}
    void runAfterWrites() override {}
    void discardAfterWrites() override {}
    void rereadCurrentPage() override {}
    void rereadUnassigned() override {}

private:
    std::function<CaptureResult(const TimerLine&)> hook_;
};

} // namespace pistel::test
