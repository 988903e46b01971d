// Copying one whole file from rank 0 to every other rank: a broadcast of its size (one MPI_INT),
// then a broadcast of its bytes (MPI_CHAR, exactly as read). gasearch's pair and rsearch's pair
// share one sending and one receiving core; they differ only in how the sender measures the file
// and in the texts of their messages.
#include <limits.h>
#include <mpi.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "quorvant/common/file_owner.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/searchlib/utl_mpi_ft.h"

namespace {

constexpr int kRoot = 0;

// The messages of one sending side.
struct SendTexts {
    const char *open;         // the file cannot be opened to measure it (path)
    const char *seek;         // seeking to its end failed
    const char *tell;         // its position could not be read
    const char *reopen;       // the file cannot be (re)opened to read its bytes (path)
    const char *tooLarge;     // the size does not fit the MPI_INT of the size message (path, size)
    const char *bcastSize;
    const char *alloc;
    const char *read;         // the file ended or failed before all its bytes were read (path)
    const char *bcastBytes;
};

// The messages of one receiving side.
struct RecvTexts {
    const char *bcastSize;
    const char *badSize;      // a negative size arrived (size)
    const char *alloc;
    const char *bcastBytes;
    const char *open;         // the local file cannot be created (path)
    const char *write;        // a byte could not be written
};

constexpr SendTexts kBcastFileSend = {
    " ## Error: Cannot open %s\n",
    " ## Error: fseek(In get_filesize).\n",
    " ## Error: ftell(In get_filesize).\n",
    " ## Error: Cannot open file %s\n",
    " ## Error: %s is too large to transfer (%ld bytes)(In BcastFileSend).\n",
    " ## Error: MPI_Bcast(In BcastFileSend).\n",
    " ## Error: malloc(In BcastFileSend).\n",
    " ## Error: getc(In BcastFileSend): %s ended before its size was read.\n",
    " ## Error: MPI_Bcast(In BcastFileSend2).\n",
};

constexpr SendTexts kSendFileAllSlave = {
    " ## Error: Cannot open %s\n",
    " ## Error: fseek(In SendFileAllSlave1).\n",
    " ## Error: ftell(In SendFileAllSlave).\n",
    " ## Error: Cannot open file %s\n",
    " ## Error: %s is too large to transfer (%ld bytes)(In SendFileAllSlave).\n",
    " ## Error: MPI_Bcast(In SendFileAllSlave).\n",
    " ## Error: malloc(In SendFileAllSlave).\n",
    " ## Error: getc(In SendFileAllSlave): %s ended before its size was read.\n",
    " ## Error: MPI_Bcast(In SendFileAllSlave2).\n",
};

constexpr RecvTexts kBcastFileRecv = {
    " ## Error: MPI_Bcast(In BcastFileRecv).\n",
    " ## Error: Invalid file size %d received(In BcastFileRecv).\n",
    " ## Error: malloc(In BcastFileRecv).\n",
    " ## Error: MPI_Bcast(In BcastFileRecv2).\n",
    " ## Error: Cannot open %s\n",
    " ## Error: putc(In BcastFileRecv).\n",
};

constexpr RecvTexts kRecvFile = {
    " ## Error: MPI_Bcast(In RecvFile1).\n",
    " ## Error: Invalid file size %d received(In RecvFile).\n",
    " ## Error: malloc(In RecvFile).\n",
    " ## Error: MPI_Bcast(In RecvFile2).\n",
    " ## Error: Cannot open %s\n",
    " ## Error: outc(In RecvFile).\n",
};

constexpr char kMsgNameEmpty[] = " ## Error: The name of the received file is empty.\n";
constexpr char kMsgNameTooLong[] =
    " ## Error: The name of the received file is too long (at most %d characters, %d between two "
    "'/'): '%.64s...'\n";

using qv::File;

// The buffer of one transfer, released at its end. At least one byte, so that an empty file
// still has a valid address to broadcast from.
std::unique_ptr<char[]> allocBytes(int size) {
    return std::unique_ptr<char[]>(new (std::nothrow) char[size > 0 ? size : 1]);
}

// Size of an open file: seek to its end and read the position. -1 after a message.
long measure(std::FILE *f, const SendTexts &t) {
    if (std::fseek(f, 0L, SEEK_END) != 0) {
        log_sys("%s", t.seek);
        return -1;
    }
    const long size = std::ftell(f);
    if (size < 0) {
        log_sys("%s", t.tell);
        return -1;
    }
    return size;
}

// The sending core, from the measured size on. f is the file still open from the measurement
// (positioned at its start) or null, in which case the file is opened here.
int sendMeasured(const char *path, long size, File f, const SendTexts &t) {
    if (size > INT_MAX) {
        log_sys(t.tooLarge, path, size);
        return -1;
    }
    int fileSize = static_cast<int>(size);
    if (MPI_Bcast(&fileSize, 1, MPI_INT, kRoot, MPI_COMM_WORLD) != MPI_SUCCESS) {
        log_sys("%s", t.bcastSize);
        return -1;
    }
    const std::unique_ptr<char[]> buffer = allocBytes(fileSize);
    if (!buffer) {
        log_sys("%s", t.alloc);
        return -1;
    }
    if (!f) f.reset(std::fopen(path, "rb"));
    if (!f) {
        log_sys(t.reopen, path);
        return -1;
    }
    for (int i = 0; i < fileSize; ++i) {
        const int c = std::getc(f.get());
        if (c == EOF) {
            log_sys(t.read, path);
            return -1;
        }
        buffer[i] = static_cast<char>(c);
    }
    if (MPI_Bcast(buffer.get(), fileSize, MPI_CHAR, kRoot, MPI_COMM_WORLD) != MPI_SUCCESS) {
        log_sys("%s", t.bcastBytes);
        return -1;
    }
    return 0;
}

// The receiving core. Both broadcasts are always taken part in before the local name is judged,
// so that a refused name never leaves the other ranks waiting in a broadcast. A local file that
// could not be written completely is removed again.
int receive(const char *path, const RecvTexts &t) {
    int fileSize = 0;
    if (MPI_Bcast(&fileSize, 1, MPI_INT, kRoot, MPI_COMM_WORLD) != MPI_SUCCESS) {
        log_sys("%s", t.bcastSize);
        return -1;
    }
    if (fileSize < 0) {
        log_sys(t.badSize, fileSize);
        return -1;
    }
    const std::unique_ptr<char[]> buffer = allocBytes(fileSize);
    if (!buffer) {
        log_sys("%s", t.alloc);
        return -1;
    }
    if (MPI_Bcast(buffer.get(), fileSize, MPI_CHAR, kRoot, MPI_COMM_WORLD) != MPI_SUCCESS) {
        log_sys("%s", t.bcastBytes);
        return -1;
    }
    if (CheckReceivedFileName(path) != 0) return -1;
    std::FILE *f = std::fopen(path, "wb");
    if (f == nullptr) {
        log_sys(t.open, path);
        return -1;
    }
    bool ok = true;
    for (int i = 0; i < fileSize && ok; ++i) ok = std::putc(buffer[i], f) != EOF;
    // A failed flush at the close is a failed write as well.
    ok = std::fclose(f) == 0 && ok;
    if (!ok) {
        log_sys("%s", t.write);
        unlink(path);
        return -1;
    }
    return 0;
}

}  // namespace

int CheckReceivedFileName(const char *path) {
    if (path == nullptr || *path == '\0') {
        log_sys(kMsgNameEmpty);
        return -1;
    }
    bool tooLong = std::strlen(path) >= PATH_MAX;
    for (const char *p = path; *p != '\0' && !tooLong;) {
        const size_t component = std::strcspn(p, "/");
        tooLong = component > NAME_MAX;
        p += component + (p[component] == '/' ? 1 : 0);
    }
    if (tooLong) {
        log_sys(kMsgNameTooLong, PATH_MAX - 1, NAME_MAX, path);
        return -1;
    }
    return 0;
}

long get_filesize(const char *path) {
    const File f(std::fopen(path, "rb"));
    if (!f) {
        log_sys(kBcastFileSend.open, path);
        return -1;
    }
    return measure(f.get(), kBcastFileSend);
}

int BcastFileSend(const char *path) {
    const long size = get_filesize(path);
    if (size < 0) return -1;
    return sendMeasured(path, size, nullptr, kBcastFileSend);
}

int BcastFileRecv(const char *path) { return receive(path, kBcastFileRecv); }

int SendFileAllSlave(const char *path) {
    const SendTexts &t = kSendFileAllSlave;
    File f(std::fopen(path, "rb"));
    if (!f) {
        log_sys(t.open, path);
        return -1;
    }
    const long size = measure(f.get(), t);
    if (size < 0) return -1;
    // Back to the start; a stream that cannot seek back is opened afresh.
    if (std::fseek(f.get(), 0L, SEEK_SET) != 0) f.reset();
    return sendMeasured(path, size, std::move(f), t);
}

int RecvFile(const char *path) { return receive(path, kRecvFile); }
