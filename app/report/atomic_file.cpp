#include "report/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Closes the descriptor and removes the temporary file unless it was handed over.
class TempFile {
public:
    explicit TempFile(std::string pattern) : path_(std::move(pattern)) {
        fd_ = ::mkstemp(path_.data());
        created_ = fd_ >= 0;
    }
    ~TempFile() {
        if (fd_ >= 0) ::close(fd_);
        if (created_ && !kept_) ::unlink(path_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    bool Opened() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    const std::string& Path() const { return path_; }
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }
    void Keep() { kept_ = true; }

private:
    std::string path_;
    int fd_ = -1;
    bool created_ = false;
    bool kept_ = false;
};

}  // namespace

bool WriteFileWhole(const std::string& path, std::string_view bytes, std::string& error) {
    std::filesystem::path target(path);
    std::error_code ec;
    if (std::filesystem::is_directory(target, ec)) {
        error = "is a directory";
        return false;
    }
    const std::filesystem::path dir = target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    TempFile temp((dir / ("." + target.filename().string() + ".XXXXXX")).string());
    if (!temp.Opened()) {
        error = std::strerror(errno);
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(temp.Fd(), bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = std::strerror(errno);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    // A replaced file keeps its permissions; a new one is readable by all (mkstemp gives 0600).
    struct stat existing {};
    const mode_t mode = ::stat(path.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : 0644;
    ::fchmod(temp.Fd(), mode);
    if (::fsync(temp.Fd()) != 0 || !temp.Close()) {
        error = std::strerror(errno);
        return false;
    }
    if (::rename(temp.Path().c_str(), path.c_str()) != 0) {
        error = std::strerror(errno);
        return false;
    }
    temp.Keep();
    return true;
}
