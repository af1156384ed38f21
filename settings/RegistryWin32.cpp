#include "settings/RegistryWin32.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <vector>

namespace tavrino {

namespace {

HKEY ToHkey(RegKey key) noexcept {
    // Key handles are pointers; the predefined roots are small negative numbers cast to them.
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast, performance-no-int-to-ptr)
    return reinterpret_cast<HKEY>(key);
}
RegKey FromHkey(HKEY key) noexcept {
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast)
    return reinterpret_cast<RegKey>(key);
}

class Win32Registry final : public RegistryApi {
public:
    std::int32_t CreateKey(RegKey root, const std::string& subKey, RegKey& key) override {
        HKEY opened = nullptr;
        const LONG rc = RegCreateKeyA(ToHkey(root), subKey.c_str(), &opened);
        if (rc == ERROR_SUCCESS) {
            key = FromHkey(opened);
        }
        return static_cast<std::int32_t>(rc);
    }

    std::int32_t OpenKey(RegKey root, const std::string& subKey, std::uint32_t options,
                         std::uint32_t access, RegKey& key) override {
        HKEY opened = nullptr;
        const LONG rc = RegOpenKeyExA(ToHkey(root), subKey.c_str(), options, access, &opened);
        if (rc == ERROR_SUCCESS) {
            key = FromHkey(opened);
        }
        return static_cast<std::int32_t>(rc);
    }

    std::int32_t QueryValue(RegKey key, const std::string& valueName, std::uint32_t* type,
                            std::uint8_t* data, std::uint32_t* size) override {
        DWORD t = type != nullptr ? *type : 0;
        DWORD n = size != nullptr ? *size : 0;
        const LONG rc =
            RegQueryValueExA(ToHkey(key), valueName.c_str(), nullptr,
                             type != nullptr ? &t : nullptr, data, size != nullptr ? &n : nullptr);
        if (type != nullptr && (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA)) {
            *type = t;
        }
        if (size != nullptr && (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA)) {
            *size = n;
        }
        return static_cast<std::int32_t>(rc);
    }

    std::int32_t SetValue(RegKey key, const std::string& valueName, std::uint32_t type,
                          const std::uint8_t* data, std::uint32_t size) override {
        // For text types the registry adds a terminator of its own when the counted bytes are
        // followed by a NUL ("the caller forgot to count it"). The copy ends in a byte that is not
        // NUL, so exactly the counted bytes are stored.
        std::vector<BYTE> buffer;
        buffer.reserve(std::size_t{size} + 1);
        if (data != nullptr) {
            buffer.assign(data, data + size);
        }
        buffer.push_back(0xFF);
        const LONG rc =
            RegSetValueExA(ToHkey(key), valueName.c_str(), 0, type, buffer.data(), size);
        return static_cast<std::int32_t>(rc);
    }

    std::int32_t CloseKey(RegKey key) override {
        return static_cast<std::int32_t>(RegCloseKey(ToHkey(key)));
    }
};

}  // namespace

std::unique_ptr<RegistryApi> MakeWin32Registry() {
    return std::make_unique<Win32Registry>();
}

}  // namespace tavrino
