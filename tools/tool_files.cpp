#include "tools/tool_files.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
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

std::string writeDirectly(const std::string& path, const std::string& resolved,
                          const StreamWriter& write) {
    int fd = open(resolved.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
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

std::string replaceRegularFile(Destination* d, const StreamWriter& write) {
    std::string folderPath;
    splitPath(d->resolved, &folderPath, &d->name);
    d->folder = open(folderPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (d->folder < 0) {
        return cannotWrite(d->path, errno);
    }
    installCleanup();
    Temporary t;
    int error = createTemporary(*d, &t);
    std::FILE* stream = error == 0 ? fdopen(t.fd, "wb") : nullptr;
    if (error == 0 && stream == nullptr) {
        error = errno;
    }
    if (error == 0) {
        error = fillTemporary(*d, &t, stream, write);
    }
    if (error == 0) {
        error = linkIn(*d, &t);
    }
    discardTemporary(*d, &t);
    if (stream != nullptr) {
        std::fclose(stream);
    } else if (t.fd >= 0) {
        close(t.fd);
    }
    close(d->folder);
    return error == 0 ? "" : cannotWrite(d->path, error);
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
    } else if (!S_ISREG(status.st_mode)) {
        return "cannot write " + quoted(path) +
               ": it is neither a regular file, a character device nor a FIFO";
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
    if (fd != STDIN_FILENO) {
        close(fd);
    }
    return failure;
}

bool wouldWriteOver(const std::string& output, const std::string& existing) {
    if (output == "-") {
        return false;
    }
    struct stat a, b;
    if (stat(output.c_str(), &a) == 0 && stat(existing.c_str(), &b) == 0) {
        return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
    }
    return canonicalPath(output) == canonicalPath(existing);
}
