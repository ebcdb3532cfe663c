#pragma once

#include "ByteSource.h"

#include <QByteArray>

namespace pistel {

// Bytes waiting in memory, read as a port's receive queue is read: for replaying recorded
// timer lines and for tests.
class QueueByteSource : public ByteSource {
public:
    void push(const QByteArray& bytes) { queue_.append(bytes); }
    int InQueCount() override { return static_cast<int>(queue_.size() - pos_); }
    int ReadByte() override {
        if (pos_ >= queue_.size())
            return -1;
        const int b = static_cast<unsigned char>(queue_[pos_++]);
        if (pos_ == queue_.size()) {
            queue_.clear();
            pos_ = 0;
        }
        return b;
    }

private:
    QByteArray queue_;
    qsizetype pos_ = 0;
};

} // namespace pistel
