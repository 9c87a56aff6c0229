#include "platform/file_bytes.h"

#include "platform/memory_files.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

std::optional<std::string> ReadFileBytes(const std::string& path, uint64_t maxSize) {
    if (path.empty() || path.find('\0') != std::string::npos) return std::nullopt;
    if (const std::string* held = MemoryFiles::Find(path)) {
        if (held->size() > maxSize) return std::nullopt;
        return *held;
    }
    Fd file;
    file.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (file.fd < 0) return std::nullopt;
    struct stat st {};
    if (::fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    if (static_cast<uint64_t>(st.st_size) > maxSize) return std::nullopt;
    std::string bytes(static_cast<size_t>(st.st_size), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::read(file.fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::nullopt;  // the file shrank or cannot be read
        done += static_cast<size_t>(n);
    }
    return bytes;
}

}  // namespace platform
