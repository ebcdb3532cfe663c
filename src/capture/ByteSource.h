#pragma once

namespace pistel {

// What the receive handler needs of a port: how many bytes wait, and one byte at a time.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual int InQueCount() = 0;
    // The next byte as 0..255, or -1 when none could be read.
    virtual int ReadByte() = 0;
};

} // namespace pistel
