#include "support/about/SysInfo.h"

#include <array>
#include <cstdint>

namespace tavrino {

namespace {

constexpr std::uint32_t kValueBufferSize = 1024;

}  // namespace

bool GetKeyValue(ErrorReporter& reporter, RegistryApi& registry, RegKey root,
                 const std::string& keyName, const std::string& valueName, std::string& value) {
    bool read = false;
    RegKey key = 0;
    bool opened = false;
    const bool completed = Guarded(reporter, loc::AboutGetKeyValue, [&] {
        if (registry.OpenKey(root, keyName, 0, reg::ReadWriteWithReadControl, key) !=
            reg::Success) {
            return;
        }
        opened = true;
        std::array<std::uint8_t, kValueBufferSize> buffer{};
        std::uint32_t size = kValueBufferSize;
        std::uint32_t type = reg::None;
        if (registry.QueryValue(key, valueName, &type, buffer.data(), &size) != reg::Success) {
            return;
        }
        if (size > kValueBufferSize) {
            size = kValueBufferSize;
        }
        // A stored terminating NUL is not part of the text.
        std::uint32_t kept = size;
        if (kept > 0 && buffer[kept - 1] == 0) {
            --kept;
        }
        if (type == reg::Sz) {
            value.assign(reinterpret_cast<const char*>(buffer.data()), kept);
        } else if (type == reg::Dword) {
            // Little-endian bytes, shown as the number they make.
            std::uint32_t number = 0;
            for (std::uint32_t i = kept < 4 ? kept : 4; i > 0; --i) {
                number = (number << 8U) | buffer[i - 1];
            }
            value = std::to_string(number);
        }
        read = true;
    });
    if (opened) {
        IgnoringErrors([&] { registry.CloseKey(key); });
    }
    if (!completed || !read) {
        value.clear();
        return false;
    }
    return true;
}

std::optional<std::string> FindSysInfoProgram(
    ErrorReporter& reporter, RegistryApi& registry,
    const std::function<bool(const std::string& path)>& fileExists, char folderSeparator) {
    const RegKey machine = reg::RootKey(reg::LocalMachine);
    std::string path;
    if (GetKeyValue(reporter, registry, machine, kSysInfoPathKey, kSysInfoPathValue, path)) {
        return path;
    }
    std::string folder;
    if (!GetKeyValue(reporter, registry, machine, kSysInfoFolderKey, kSysInfoFolderValue, folder)) {
        return std::nullopt;
    }
    std::string program = folder;
    if (!program.empty() && program.back() != folderSeparator) {
        program += folderSeparator;
    }
    program += kSysInfoProgram;
    if (!fileExists(program)) {
        return std::nullopt;
    }
    return program;
}

}  // namespace tavrino
