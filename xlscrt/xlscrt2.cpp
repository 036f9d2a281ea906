// SPDX-License-Identifier: GPL-3.0-or-later
#include "xlscrt2.h"

#include "CompoundFile.h"
#include "Workbook.h"

#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <new>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using xlscrt::Border;
using xlscrt::CellFormat;

// A reference carries this tag in its top byte, the row in bits 8..23 and the column in
// bits 0..7. The tag keeps 0, -1 and other stray integers from naming a cell.
constexpr uint32_t kRefTag = 0x01000000;
constexpr int32_t kBadRef = -1;

constexpr uint32_t kGridLineKind = 1;
constexpr uint32_t kFrameLineKind = 2;
constexpr uint8_t kThinLine = 1;
constexpr double kMaxRowPoints = 409.5;
constexpr int kMaxColumnCharacters = 255;

struct OpenBook
{
    std::string path;
    xlscrt::Sheet sheet;
};

std::unique_ptr<OpenBook> openBook;
int32_t lastHandle = 0;

// The first put the current (or last closed) book refused. A caller that ignores the
// puts' results must still learn that its workbook is not what it asked for, so the book
// is then not written and the caller can ask which put it was.
struct Refusal
{
    int32_t status = 0;
    int32_t operation = 0;
    int32_t column = -1;
    int32_t row = -1;
};
Refusal firstRefusal;

// Remembers status as the book's first refusal when it is one; returns status.
int32_t noted(int32_t operation, int32_t ref, int32_t status)
{
    // Without an open book there is nothing to spoil, and the last book's record stays.
    if (status == 0 || !openBook || firstRefusal.status != 0)
        return status;
    const auto bits = uint32_t(ref);
    const bool named = (bits & 0xFF000000) == kRefTag;
    firstRefusal = {status, operation, named ? int32_t(bits & 0xFF) : -1,
                    named ? int32_t((bits >> 8) & 0xFFFF) : -1};
    return status;
}

bool isPaletteCode(int32_t code)
{
    return code >= xlscrt::kFirstPaletteCode && code <= xlscrt::kLastPaletteCode;
}

// Runs change on the referenced cell's row and column; EINVAL without an open book or
// for a reference POS/POS2 did not make. The library's callers are C code, so no
// exception may leave it.
template <typename Change> int32_t onCell(int32_t ref, Change change)
{
    const auto bits = uint32_t(ref);
    if (!openBook || (bits & 0xFF000000) != kRefTag)
        return EINVAL;
    try {
        return change(int((bits >> 8) & 0xFFFF), int(bits & 0xFF));
    } catch (const std::bad_alloc &) {
        return ENOMEM;
    }
}

int32_t putLine(int32_t line, int32_t ref, Border CellFormat::*side)
{
    const auto kind = uint32_t(line) >> 24;
    const int32_t colour = line & 0xFF;
    Border border; // any other kind takes the line away
    if (kind == kGridLineKind) {
        border = {kThinLine, xlscrt::kAutomaticColour};
    } else if (kind == kFrameLineKind) {
        if (!isPaletteCode(colour))
            return EINVAL;
        border = {kThinLine, uint8_t(colour)};
    }
    return onCell(ref, [&](int row, int column) {
        openBook->sheet.cells[xlscrt::cellKey(row, column)].format.*side = border;
        return 0;
    });
}

int32_t putColour(int32_t code, int32_t ref, uint8_t CellFormat::*what)
{
    if (!isPaletteCode(code))
        return EINVAL;
    return onCell(ref, [&](int row, int column) {
        openBook->sheet.cells[xlscrt::cellKey(row, column)].format.*what = uint8_t(code);
        return 0;
    });
}

mode_t currentUmask()
{
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

// 0 when path may be replaced by a workbook: it does not exist yet, or it is a regular file
// (or a link to one). Renaming a new file over a FIFO or a device would put a workbook in
// its place. EISDIR for a folder, EINVAL for a FIFO, device or socket.
int replaceableTarget(const std::string &path)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return errno == ENOENT ? 0 : errno;
    if (S_ISREG(st.st_mode))
        return 0;
    return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
}

int writeAllTo(int fd, const QByteArray &data)
{
    const char *p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n == 0 ? EIO : errno;
        p += n;
        left -= n;
    }
    return 0;
}

int syncFolder(const std::string &dir)
{
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    int err = 0;
    while (::fsync(fd) != 0) {
        if (errno == EINTR)
            continue;
        if (errno != EINVAL && errno != EROFS)
            err = errno;
        break;
    }
    ::close(fd);
    return err;
}

// A name beside the workbook for its new version, unused at the time of asking.
std::string temporaryName(const std::string &dir)
{
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::string name = dir + "/.xlscrt-XXXXXX";
    const std::string::size_type first = name.size() - 6;
    static unsigned seed = unsigned(::getpid()) ^ unsigned(::time(nullptr));
    for (std::string::size_type i = first; i < name.size(); ++i)
        name[i] = letters[::rand_r(&seed) % (sizeof letters - 1)];
    return name;
}

// This library stands in for an outside workbook library behind a C interface and links
// nothing of the program, so that it can be swapped for the real one; it therefore keeps
// its own copy of the program's StagedFile (src/files/SafeFile) rather than calling it. The
// window's Excel button relies on this copy; the batch printer stages the workbook itself
// and hands over a /proc name, which is written straight through below.
//
// Writes data to a temporary file beside path and renames it over path, so path holds
// either its old contents or the whole new file. A link is followed: the file it points to
// is replaced. The new file is written unnamed (O_TMPFILE) and given a name only just
// before the rename, so a process killed while writing leaves nothing behind; where the
// file system cannot make unnamed files, a named temporary file is used and removed on
// failure. Returns 0 or the failing call's errno.
int replaceFile(const std::string &given, const QByteArray &data)
{
    if (const int err = replaceableTarget(given))
        return err;
    // A descriptor of this process by its /proc name is a file the caller stages itself (an
    // unnamed one, named only once its job is done): no other process sees it, and a /proc
    // name cannot be renamed over, so the workbook goes straight into it.
    if (given.rfind("/proc/self/fd/", 0) == 0) {
        const int fd = ::open(given.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd < 0)
            return errno;
        int err = writeAllTo(fd, data);
        if (err == 0 && ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS)
            err = errno;
        if (::close(fd) != 0 && err == 0)
            err = errno;
        return err;
    }
    std::string path = given;
    if (char *real = ::realpath(given.c_str(), nullptr)) {
        path = real;
        std::free(real);
    }
    const std::string::size_type slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "."
                            : slash == 0               ? "/"
                                                       : path.substr(0, slash);
    // The workbook gets the rights of the file it replaces, or those of any new file.
    struct stat old;
    const mode_t mode = ::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)
                            ? old.st_mode & 07777
                            : 0666 & ~currentUmask();

    std::string temp;
    bool named = false;
    int fd = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0) {
        temp = dir + "/.xlscrt-XXXXXX";
        fd = mkostemp(temp.data(), O_CLOEXEC);
        if (fd < 0)
            return errno;
        named = true;
    }
    const auto fail = [&](int err, bool open) {
        if (open)
            ::close(fd);
        if (named)
            ::unlink(temp.c_str());
        return err;
    };
    if (const int err = writeAllTo(fd, data))
        return fail(err, true);
    if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0)
        return fail(errno, true);
    if (!named) {
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        for (int attempt = 0; !named && attempt < 100; ++attempt) {
            temp = temporaryName(dir);
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) == 0)
                named = true;
            else if (errno != EEXIST)
                return fail(errno, true);
        }
        if (!named)
            return fail(EEXIST, true);
    }
    if (::close(fd) != 0)
        return fail(errno, false);
    if (::rename(temp.c_str(), path.c_str()) != 0)
        return fail(errno, false);
    // Without the folder on disk a power cut can bring the old workbook back.
    return syncFolder(dir);
}

} // namespace

extern "C" {

int32_t XlsCreateBook(const char *path, int32_t version, int32_t sheets, int32_t *bookHandle)
{
    (void)version;
    (void)sheets;
    if (!path || !*path)
        return EINVAL;
    if (openBook)
        return EBUSY;
    try {
        openBook = std::make_unique<OpenBook>();
        openBook->path = path;
    } catch (const std::bad_alloc &) {
        openBook.reset();
        return ENOMEM;
    }
    firstRefusal = Refusal();
    lastHandle = lastHandle == INT32_MAX ? 1 : lastHandle + 1;
    if (bookHandle)
        *bookHandle = lastHandle;
    return 0;
}

int32_t POS2(int32_t firstCol, int32_t firstRow, int32_t lastCol, int32_t lastRow)
{
    // A reference names one cell; a true range cannot be encoded and is refused.
    if (firstCol != lastCol || firstRow != lastRow || firstCol < 0 ||
        firstCol >= xlscrt::kMaxColumns || firstRow < 0 || firstRow >= xlscrt::kMaxRows)
        return kBadRef;
    return int32_t(kRefTag | uint32_t(firstRow) << 8 | uint32_t(firstCol));
}

int32_t POS(int32_t firstCol, int32_t firstRow, int32_t lastCol, int32_t lastRow)
{
    return POS2(firstCol, firstRow, lastCol, lastRow);
}

int32_t XlsPutStr(const char *text, int32_t cell)
{
    if (!text)
        return noted(XLS_OP_PUT_STR, cell, EINVAL);
    const int32_t status = onCell(cell, [&](int row, int column) {
        QStringDecoder decoder("windows-31j", QStringConverter::Flag::Stateless);
        if (!decoder.isValid())
            return ENOTSUP;
        QString s = decoder.decode(QByteArrayView(text));
        // Cutting the text would lose what the caller wrote without a word.
        if (s.size() > xlscrt::kMaxTextUnits)
            return EMSGSIZE;
        openBook->sheet.cells[xlscrt::cellKey(row, column)].text = std::move(s);
        return 0;
    });
    return noted(XLS_OP_PUT_STR, cell, status);
}

int32_t XlsPutRowHeight(double points, int32_t cell)
{
    if (!(points >= 0.0 && points <= kMaxRowPoints))
        return noted(XLS_OP_PUT_ROW_HEIGHT, cell, EINVAL);
    const int32_t status = onCell(cell, [&](int row, int) {
        // Excel keeps heights of 2 twips and more.
        const auto twips = uint16_t(std::max(2L, std::lround(points * 20.0)));
        openBook->sheet.rowHeights[row] = twips;
        return 0;
    });
    return noted(XLS_OP_PUT_ROW_HEIGHT, cell, status);
}

int32_t XlsPutLineTop(int32_t line, int32_t cell)
{
    return noted(XLS_OP_PUT_LINE_TOP, cell, putLine(line, cell, &CellFormat::top));
}

int32_t XlsPutLineBottom(int32_t line, int32_t cell)
{
    return noted(XLS_OP_PUT_LINE_BOTTOM, cell, putLine(line, cell, &CellFormat::bottom));
}

int32_t XlsPutLineLeft(int32_t line, int32_t cell)
{
    return noted(XLS_OP_PUT_LINE_LEFT, cell, putLine(line, cell, &CellFormat::left));
}

int32_t XlsPutLineRight(int32_t line, int32_t cell)
{
    return noted(XLS_OP_PUT_LINE_RIGHT, cell, putLine(line, cell, &CellFormat::right));
}

int32_t XlsPutColWidth(int32_t characters, int32_t cell)
{
    if (characters < 0)
        return noted(XLS_OP_PUT_COL_WIDTH, cell, EINVAL);
    // Callers size a column by the text it holds; a text wider than any column still
    // wants the widest one, not the default.
    const int32_t kept = std::min(characters, int32_t(kMaxColumnCharacters));
    const int32_t status = onCell(cell, [&](int, int column) {
        openBook->sheet.columnWidths[column] = uint16_t(kept * 256);
        return 0;
    });
    return noted(XLS_OP_PUT_COL_WIDTH, cell, status);
}

int32_t XlsPutFontColor(int32_t colourCode, int32_t cell)
{
    return noted(XLS_OP_PUT_FONT_COLOR, cell, putColour(colourCode, cell, &CellFormat::fontColour));
}

int32_t XlsPutBackColor(int32_t colourCode, int32_t cell)
{
    return noted(XLS_OP_PUT_BACK_COLOR, cell, putColour(colourCode, cell, &CellFormat::fillColour));
}

int32_t XlsCloseBook(int32_t mode)
{
    (void)mode;
    if (!openBook)
        return EINVAL;
    const std::unique_ptr<OpenBook> book = std::move(openBook);
    if (firstRefusal.status != 0)
        return firstRefusal.status;
    try {
        if (xlscrt::cellFormatCount(book->sheet) > xlscrt::kMaxCellFormats)
            return ERANGE;
        const QByteArray stream = xlscrt::workbookStream(book->sheet);
        if (stream.size() > xlscrt::kMaxStreamSize)
            return EFBIG;
        return replaceFile(book->path, xlscrt::compoundFile(stream));
    } catch (const std::bad_alloc &) {
        return ENOMEM;
    }
}

int32_t XlsFirstRefusal(int32_t *operation, int32_t *column, int32_t *row)
{
    if (operation)
        *operation = firstRefusal.operation;
    if (column)
        *column = firstRefusal.column;
    if (row)
        *row = firstRefusal.row;
    return firstRefusal.status;
}

} // extern "C"
