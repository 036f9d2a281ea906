// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace corvial {

// A regular file opened so that nothing can stall or surprise the reader: the name is looked
// at before it is opened (a FIFO would block the open, a device may act on being opened), the
// open does not block, and the opened descriptor is checked once more in case the name was
// given to something else in between. Reasons are Japanese sentences without the file name.
class BoundedFile
{
public:
    BoundedFile() = default;
    BoundedFile(const BoundedFile &) = delete;
    BoundedFile &operator=(const BoundedFile &) = delete;
    ~BoundedFile();

    // Opens path (a link to a regular file is followed) for reading. False with the reason in
    // *reason (may be null) when it is missing, unreadable or not a regular file.
    bool open(const QString &path, QString *reason);
    // Descriptor of the open file, -1 before a successful open.
    int handle() const { return mFd; }
    // Size the opened file had when it was checked, in bytes.
    qint64 size() const { return mSize; }
    // Reads the whole file from its start, at most maxBytes; one byte more is asked for so a
    // file that has grown beyond the limit is noticed. False with the reason in *reason when
    // reading fails or the file holds more than maxBytes (then *tooLarge is set, if given).
    bool readAll(qint64 maxBytes, QByteArray *out, QString *reason, bool *tooLarge = nullptr);

private:
    int mFd = -1;
    qint64 mSize = 0;
};

// The file at path read whole through BoundedFile, at most maxBytes. False with a Japanese
// reason (without the file name) in *reason; *tooLarge tells a file over the limit apart.
bool readBoundedFile(const QString &path, qint64 maxBytes, QByteArray *out, QString *reason,
                     bool *tooLarge = nullptr);

// Longest a program waits for standard input to end, in seconds.
constexpr int StandardInputSeconds = 120;

// Call first in main(), before anything opens a file: when standard input is closed, the
// next file opened would become descriptor 0 and be read as the input. /dev/null takes its
// place instead, and readStandardInput() still refuses the input as closed.
void guardStandardInput();
// Standard input read from where it stands to its end (a pipe is read until its writer
// closes it, however it divides the data), at most maxBytes, within timeoutSeconds. A pipe,
// socket or redirected regular file is read; a closed input, a terminal, a folder or a
// device is refused. False with a Japanese reason that does not name the input; *tooLarge
// (if given) is set when it holds more than maxBytes.
bool readStandardInput(qint64 maxBytes, int timeoutSeconds, QByteArray *out, QString *reason,
                       bool *tooLarge = nullptr);

} // namespace corvial
