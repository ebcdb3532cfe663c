#pragma once

#include "capture/ByteSource.h"
#include "comm/TCommX.h"

namespace pistel {

// The timer port as the receive handler reads it.
class CommByteSource : public ByteSource {
public:
    explicit CommByteSource(TCustomCommX& port) : port_(port) {}
    int InQueCount() override { return port_.InQueCount(); }
    int ReadByte() override { return port_.ReadByte(); }

private:
    TCustomCommX& port_;
};

} // namespace pistel
