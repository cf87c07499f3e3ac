#pragma once

#include <QIODevice>

namespace tavix::Internal {

// Reads until `size` bytes are in or the device ends; -1 on a read error.
inline qint64 readFully(QIODevice& in, char* data, qint64 size)
{
    qint64 got = 0;
    while (got < size) {
        const qint64 n = in.read(data + got, size - got);
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        got += n;
    }
    return got;
}

// Writes all bytes or fails. A short write (a file size limit, a disk filling up) is
// retried, so that the failure that stops it reaches errorString() with its reason.
inline bool writeFully(QIODevice& out, const char* data, qint64 size)
{
    qint64 done = 0;
    while (done < size) {
        const qint64 n = out.write(data + done, size - done);
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

} // namespace tavix::Internal
