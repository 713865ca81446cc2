#include "tools/tool_files.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace {

// The largest input read: 1 GiB of pixels, with room to spare for headers and a colour table.
constexpr std::size_t MaxInputBytes = (std::size_t{1} << 30) + (std::size_t{1} << 20);

// A named temporary while it exists, for the signal handler: its folder and its name there.
// Both change only while the signals are blocked, so the handler never sees half of a change.
volatile sig_atomic_t pendingFolder = -1;
char pendingName[32];

const int cleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

void removeTemporaryAndDie(int signal) {
    if (pendingFolder >= 0) {
        unlinkat(pendingFolder, pendingName, 0);
    }
    // The signal stays blocked until the handler returns, and then kills the process.
    std::signal(signal, SIG_DFL);
    raise(signal);
}

void installCleanup() {
    static bool installed = false;
    if (installed) {
        return;
    }
    installed = true;
    for (int signal : cleanupSignals) {
        struct sigaction previous = {};
        sigaction(signal, nullptr, &previous);
        // A signal the caller ignores (nohup) stays ignored.
        if (previous.sa_handler == SIG_IGN) {
            continue;
        }
        struct sigaction action = {};
        action.sa_handler = removeTemporaryAndDie;
        sigfillset(&action.sa_mask);
        sigaction(signal, &action, nullptr);
    }
}

struct SignalsBlocked {
    sigset_t previous;
    SignalsBlocked() {
        sigset_t blocked;
        sigemptyset(&blocked);
        for (int signal : cleanupSignals) {
            sigaddset(&blocked, signal);
        }
        sigprocmask(SIG_BLOCK, &blocked, &previous);
    }
    ~SignalsBlocked() { sigprocmask(SIG_SETMASK, &previous, nullptr); }
};

std::string quoted(const std::string& path) {
    return "'" + path + "'";
}

std::string cannotWrite(const std::string& path, int error) {
    return "cannot write " + quoted(path) + ": " + std::strerror(error);
}

// A name no one can guess, so that no one can plant a link there first.
void randomName(char* name) {
    unsigned char bytes[8] = {};
    if (getrandom(bytes, sizeof bytes, 0) != (ssize_t)sizeof bytes) {
        // Without the kernel's randomness O_EXCL still refuses a planted name.
        unsigned long long mix = (unsigned long long)getpid() * 0x9E3779B97F4A7C15ull ^
                                 (unsigned long long)(std::size_t)name;
        std::memcpy(bytes, &mix, sizeof bytes);
    }
    char* p = name + std::strlen(std::strcpy(name, ".quillon-"));
    for (unsigned char b : bytes) {
        p += std::snprintf(p, 3, "%02x", b);
    }
}

// Where a regular file's bytes go before they become the destination.
struct Destination {
    std::string path;
    std::string resolved;
    std::string name;
    int folder = -1;
    bool exists = false;
    mode_t mode = 0;
};

struct Temporary {
    int fd = -1;
    bool named = false;
    char name[32] = {};
};

void splitPath(const std::string& path, std::string* folder, std::string* name) {
    std::string::size_type slash = path.rfind('/');
    if (slash == std::string::npos) {
        *folder = ".";
        *name = path;
        return;
    }
    *folder = slash == 0 ? "/" : path.substr(0, slash);
    *name = path.substr(slash + 1);
}

// errno, or EIO for a writer that failed without saying why.
int writeStream(std::FILE* stream, const StreamWriter& write) {
    errno = 0;
    if (write(stream) && std::fflush(stream) == 0) {
        return 0;
    }
    return errno != 0 ? errno : EIO;
}

// Writes into `fd` and closes it; -1 reports errno's failure to open it.
std::string writeIntoDescriptor(const std::string& path, int fd, const StreamWriter& write) {
    std::FILE* stream = fd >= 0 ? fdopen(fd, "wb") : nullptr;
    if (stream == nullptr) {
        int error = errno;
        if (fd >= 0) {
            close(fd);
        }
        return cannotWrite(path, error);
    }
    int error = writeStream(stream, write);
    if (std::fclose(stream) != 0 && error == 0) {
        error = errno;
    }
    return error == 0 ? "" : cannotWrite(path, error);
}

std::string writeDirectly(const std::string& path, const std::string& resolved,
                          const StreamWriter& write) {
    return writeIntoDescriptor(path, open(resolved.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC),
                               write);
}

// The descriptor that a link in this process's own descriptor folder stands for (/dev/stdout
// and /dev/fd/N lead there), or -1 for any other path.
int ownDescriptor(const std::string& link) {
    std::string folder, name;
    splitPath(link, &folder, &name);
    if (name.empty() || name.size() > 9 || name.find_first_not_of("0123456789") != name.npos) {
        return -1;
    }
    char* real = realpath(folder.c_str(), nullptr);
    bool own = real != nullptr && std::string(real) == "/proc/" + std::to_string(getpid()) + "/fd";
    std::free(real);
    return own ? std::atoi(name.c_str()) : -1;
}

// A socket cannot be opened by its path, but the descriptor that holds it can be written.
std::string writeToSocket(const std::string& path, const std::string& resolved,
                          const StreamWriter& write) {
    int held = ownDescriptor(resolved);
    if (held < 0) {
        return "cannot write " + quoted(path) + ": it is a socket this tool does not hold";
    }
    return writeIntoDescriptor(path, fcntl(held, F_DUPFD_CLOEXEC, 0), write);
}

bool namelessFilesAllowed() {
    return std::getenv("QUILLON_NO_NAMELESS_FILES") == nullptr &&
           access("/proc/self/fd", X_OK) == 0;
}

// 0 with the temporary open, or errno.
int createTemporary(const Destination& d, Temporary* t) {
    SignalsBlocked blocked;
    if (namelessFilesAllowed()) {
        t->fd = openat(d.folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (t->fd >= 0) {
            return 0;
        }
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            return errno;
        }
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        randomName(t->name);
        t->fd =
            openat(d.folder, t->name, O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (t->fd >= 0) {
            t->named = true;
            std::memcpy(pendingName, t->name, sizeof pendingName);
            pendingFolder = d.folder;
            return 0;
        }
        if (errno != EEXIST) {
            return errno;
        }
    }
    return EEXIST;
}

// A nameless file gets a name: the destination's when there is none yet, otherwise a
// temporary one that then replaces the destination in one step.
int nameTheNameless(const Destination& d, Temporary* t) {
    char source[64];
    std::snprintf(source, sizeof source, "/proc/self/fd/%d", t->fd);
    if (!d.exists) {
        if (linkat(AT_FDCWD, source, d.folder, d.name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            return 0;
        }
        if (errno != EEXIST) {
            return errno;
        }
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        randomName(t->name);
        if (linkat(AT_FDCWD, source, d.folder, t->name, AT_SYMLINK_FOLLOW) == 0) {
            t->named = true;
            break;
        }
        if (errno != EEXIST) {
            return errno;
        }
    }
    return t->named ? 0 : EEXIST;
}

// Puts the complete temporary in the destination's place; 0 or errno. Signals wait until
// the names are settled, and a temporary that did not make it is removed.
int linkIn(const Destination& d, Temporary* t) {
    SignalsBlocked blocked;
    int error = t->named ? 0 : nameTheNameless(d, t);
    if (error == 0 && t->named && renameat(d.folder, t->name, d.folder, d.name.c_str()) != 0) {
        error = errno;
    }
    if (t->named && error != 0) {
        unlinkat(d.folder, t->name, 0);
    }
    t->named = false;
    pendingFolder = -1;
    return error;
}

void discardTemporary(const Destination& d, Temporary* t) {
    SignalsBlocked blocked;
    if (t->named) {
        unlinkat(d.folder, t->name, 0);
        t->named = false;
    }
    pendingFolder = -1;
}

// errno, or 0 when the temporary holds every byte and has the destination's permissions.
int fillTemporary(const Destination& d, Temporary* t, std::FILE* stream,
                  const StreamWriter& write) {
    if (d.exists && fchmod(t->fd, d.mode) != 0) {
        return errno;
    }
    int error = writeStream(stream, write);
    if (error == 0 && fsync(t->fd) != 0 && errno != EINVAL) {
        error = errno;
    }
    return error;
}

// errno, or 0 once the complete temporary has taken the destination's place.
int writeThroughTemporary(const Destination& d, const StreamWriter& write) {
    installCleanup();
    Temporary t;
    int error = createTemporary(d, &t);
    std::FILE* stream = error == 0 ? fdopen(t.fd, "wb") : nullptr;
    if (error == 0 && stream == nullptr) {
        error = errno;
    }
    if (error == 0) {
        error = fillTemporary(d, &t, stream, write);
    }
    if (error == 0) {
        error = linkIn(d, &t);
    }
    discardTemporary(d, &t);
    if (stream != nullptr) {
        std::fclose(stream);
    } else if (t.fd >= 0) {
        close(t.fd);
    }
    return error;
}

// The file's bytes, gathered in memory; 0 or errno. The caller frees `*bytes`.
int gatherBytes(const StreamWriter& write, char** bytes, std::size_t* size) {
    std::FILE* stream = open_memstream(bytes, size);
    if (stream == nullptr) {
        return errno;
    }
    int error = writeStream(stream, write);
    if (std::fclose(stream) != 0 && error == 0) {
        error = errno;
    }
    return error;
}

// 0 or errno. The space is claimed before the first byte changes, so a full disk refuses the
// write and leaves the old file whole.
int overwrite(int fd, const char* bytes, std::size_t size) {
    struct stat status;
    if (fstat(fd, &status) != 0) {
        return errno;
    }
    if (!S_ISREG(status.st_mode)) {
        return EINVAL;
    }
    if (size > 0 && fallocate(fd, 0, 0, (off_t)size) != 0 && errno != EOPNOTSUPP &&
        errno != ENOSYS) {
        return errno;
    }
    for (std::size_t done = 0; done < size;) {
        ssize_t wrote = pwrite(fd, bytes + done, size - done, (off_t)done);
        if (wrote == 0) {
            return EIO;
        }
        if (wrote < 0 && errno != EINTR) {
            return errno;
        }
        done += wrote > 0 ? (std::size_t)wrote : 0;
    }
    if (ftruncate(fd, (off_t)size) != 0 || (fsync(fd) != 0 && errno != EINVAL)) {
        return errno;
    }
    return 0;
}

// Where the folder lets no temporary be made or put in place, a file the user may write is
// written over where it lies, as cp writes it: only once all its bytes are in memory, and with
// INT, TERM and HUP held off until the last byte is down, so that no interrupt leaves it half
// written.
int writeInPlace(const Destination& d, const StreamWriter& write) {
    char* bytes = nullptr;
    std::size_t size = 0;
    int error = gatherBytes(write, &bytes, &size);
    if (error == 0) {
        SignalsBlocked blocked;
        // Not a link, not a FIFO: whatever took the file's place since it was looked at is
        // refused, and a FIFO is not waited for.
        int fd = openat(d.folder, d.name.c_str(),
                        O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        error = fd < 0 ? errno : overwrite(fd, bytes, size);
        if (fd >= 0 && close(fd) != 0 && error == 0) {
            error = errno;
        }
    }
    std::free(bytes);
    return error;
}

std::string replaceRegularFile(Destination* d, const StreamWriter& write) {
    std::string folderPath;
    splitPath(d->resolved, &folderPath, &d->name);
    d->folder = open(folderPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (d->folder < 0) {
        return cannotWrite(d->path, errno);
    }
    int error = writeThroughTemporary(*d, write);
    // A folder the user may not write in, or a sticky one holding someone else's file.
    if (d->exists && (error == EACCES || error == EPERM)) {
        error = writeInPlace(*d, write);
    }
    close(d->folder);
    return error == 0 ? "" : cannotWrite(d->path, error);
}

// The kernel's links to open files (/proc/self/fd/N, where /dev/stdout and /dev/fd/N lead)
// name a pipe, a socket or an anonymous inode by a text such as "pipe:[8812]" that is no file
// name: such a link is itself the way to what it stands for.
bool namesNoPath(const std::string& link, const std::string& text) {
    if (text[0] == '/') {
        return false;
    }
    std::string folder, name;
    splitPath(link, &folder, &name);
    struct statfs fileSystem;
    return statfs(folder.c_str(), &fileSystem) == 0 && fileSystem.f_type == PROC_SUPER_MAGIC;
}

// Where writing `path` would lead once the symlinks of its last component are followed: the
// path itself when it is no link or does not exist.
std::string followLinks(const std::string& path) {
    std::string current = path;
    // As many links as the kernel follows; a longer chain then fails there with ELOOP.
    for (int hop = 0; hop < 40; ++hop) {
        struct stat status;
        if (lstat(current.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
            return current;
        }
        char target[PATH_MAX];
        ssize_t length = readlink(current.c_str(), target, sizeof target);
        if (length <= 0 || length >= (ssize_t)sizeof target) {
            return current;
        }
        std::string link(target, (std::size_t)length);
        if (namesNoPath(current, link)) {
            return current;
        }
        std::string::size_type slash = current.rfind('/');
        if (link[0] == '/' || slash == std::string::npos) {
            current = link;
        } else {
            current = current.substr(0, slash + 1) + link;
        }
    }
    return current;
}

std::string canonicalPath(const std::string& path) {
    std::string folder, name;
    splitPath(followLinks(path), &folder, &name);
    char* real = realpath(folder.c_str(), nullptr);
    if (real == nullptr) {
        return folder + "/" + name;
    }
    std::string canonical = std::string(real) + "/" + name;
    std::free(real);
    return canonical;
}

// Every byte until the end, up to the largest input; "" or why not.
std::string readAll(int fd, const std::string& name, std::vector<unsigned char>* bytes) {
    bytes->clear();
    std::string failure;
    std::size_t filled = 0;
    while (failure.empty()) {
        if (bytes->size() - filled < (std::size_t{1} << 20)) {
            bytes->resize(filled + (std::size_t{1} << 20));
        }
        ssize_t got = read(fd, bytes->data() + filled, bytes->size() - filled);
        if (got == 0) {
            break;
        }
        if (got < 0 && errno != EINTR) {
            failure = "cannot read " + name + ": " + std::strerror(errno);
        }
        filled += got > 0 ? (std::size_t)got : 0;
        if (filled > MaxInputBytes) {
            failure = name + " is larger than any BMP file this tool reads (1 GiB of pixels)";
        }
    }
    bytes->resize(filled);
    return failure;
}

}  // namespace

std::string writeOutputFile(const std::string& path, const StreamWriter& write) {
    if (path == "-") {
        int error = writeStream(stdout, write);
        return error == 0 ? ""
                          : std::string("cannot write to standard output: ") + std::strerror(error);
    }
    Destination d;
    d.path = path;
    d.resolved = followLinks(path);
    struct stat status;
    if (stat(d.resolved.c_str(), &status) != 0) {
        if (errno != ENOENT) {
            return cannotWrite(path, errno);
        }
    } else if (S_ISDIR(status.st_mode)) {
        return cannotWrite(path, EISDIR);
    } else if (S_ISCHR(status.st_mode) || S_ISFIFO(status.st_mode)) {
        return writeDirectly(path, d.resolved, write);
    } else if (S_ISSOCK(status.st_mode)) {
        return writeToSocket(path, d.resolved, write);
    } else if (!S_ISREG(status.st_mode)) {
        return "cannot write " + quoted(path) +
               ": it is neither a regular file, a character device, a FIFO nor a socket";
    } else if (faccessat(AT_FDCWD, d.resolved.c_str(), W_OK, AT_EACCESS) != 0) {
        return cannotWrite(path, errno);
    } else {
        d.exists = true;
        d.mode = status.st_mode & 07777;
    }
    return replaceRegularFile(&d, write);
}

std::string readInputFile(const std::string& path, std::vector<unsigned char>* bytes) {
    const std::string name = path == "-" ? "standard input" : quoted(path);
    int fd = STDIN_FILENO;
    if (path != "-") {
        // Looked at before it is opened: opening a device may already do something.
        struct stat status;
        if (stat(path.c_str(), &status) != 0) {
            return "cannot open " + name + ": " + std::strerror(errno);
        }
        if (S_ISDIR(status.st_mode)) {
            return "cannot read " + name + ": " + std::strerror(EISDIR);
        }
        if (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode)) {
            return "cannot read " + name + ": it is a device; give a file, a pipe or -";
        }
        fd = open(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            return "cannot open " + name + ": " + std::strerror(errno);
        }
    }
    std::string failure = readAll(fd, name, bytes);
    if (fd != STDIN_FILENO) {
        close(fd);
    }
    return failure;
}

std::string readRegularFile(const std::string& path, std::vector<unsigned char>* bytes) {
    const std::string name = quoted(path);
    struct stat status;
    if (stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        return "cannot read " + name + ": it is not a regular file";
    }
    // Looked at again once open, without waiting on a FIFO's writer: the file may have been
    // swapped in between.
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return "cannot open " + name + ": " + std::strerror(errno);
    }
    std::string failure;
    if (fstat(fd, &status) != 0) {
        failure = "cannot read " + name + ": " + std::strerror(errno);
    } else if (!S_ISREG(status.st_mode)) {
        failure = "cannot read " + name + ": it is not a regular file";
    } else {
        failure = readAll(fd, name, bytes);
    }
    close(fd);
    return failure;
}

bool wouldWriteOver(const std::string& output, const std::string& existing) {
    // "-" is standard output as an output and standard input as the existing file.
    struct stat a, b;
    bool outputFound =
        output == "-" ? fstat(STDOUT_FILENO, &a) == 0 : stat(output.c_str(), &a) == 0;
    bool existingFound =
        existing == "-" ? fstat(STDIN_FILENO, &b) == 0 : stat(existing.c_str(), &b) == 0;
    if (outputFound && existingFound) {
        // Writing into a pipe, a FIFO or a device changes nothing that was read from it.
        return S_ISREG(b.st_mode) && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
    }
    if (output == "-" || existing == "-") {
        return false;
    }
    return canonicalPath(output) == canonicalPath(existing);
}
