#include <windows.h>

#include <system_error>

#include "library/DurableFile.h"

namespace tavrino::library {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void Fail(const char* what, const fs::path& file, DWORD code) {
    throw fs::filesystem_error(what, file,
                               std::error_code(static_cast<int>(code), std::system_category()));
}

}  // namespace

void WriteAndFlushFile(const fs::path& file, std::string_view content) {
    const HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        Fail("cannot create file", file, GetLastError());
    }
    const char* data = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        const DWORD chunk = left > 0x40000000U ? 0x40000000U : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!WriteFile(handle, data, chunk, &written, nullptr) || written == 0) {
            const DWORD code = GetLastError();
            CloseHandle(handle);
            Fail("cannot write file", file, code);
        }
        data += written;
        left -= written;
    }
    if (!FlushFileBuffers(handle)) {
        const DWORD code = GetLastError();
        CloseHandle(handle);
        Fail("cannot write file", file, code);
    }
    CloseHandle(handle);
}

// NTFS journals the rename itself; a folder cannot be flushed through a plain handle there.
void FlushFolder(const fs::path& /*folder*/) noexcept {}

}  // namespace tavrino::library
