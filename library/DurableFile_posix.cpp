#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "library/DurableFile.h"

namespace tavrino::library {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void Fail(const char* what, const fs::path& file, int code) {
    throw fs::filesystem_error(what, file, std::error_code(code, std::generic_category()));
}

}  // namespace

void WriteAndFlushFile(const fs::path& file, std::string_view content) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        Fail("cannot create file", file, errno);
    }
    const char* data = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            const int code = written < 0 ? errno : EIO;
            ::close(fd);
            Fail("cannot write file", file, code);
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    if (::fsync(fd) != 0) {
        const int code = errno;
        ::close(fd);
        Fail("cannot write file", file, code);
    }
    if (::close(fd) != 0) {
        Fail("cannot write file", file, errno);
    }
}

void FlushFolder(const fs::path& folder) noexcept {
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        static_cast<void>(::fsync(fd));
        ::close(fd);
    }
}

}  // namespace tavrino::library
