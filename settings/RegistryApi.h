// The five registry operations clsRegEdit and the About box need, behind one small interface:
// the real Windows registry (RegistryWin32.cpp) or a file-backed store elsewhere
// (RegistryFileStore.h). Every operation returns 0 or the registry's numeric error code,
// exactly as advapi32 does, so callers word the same codes on every platform.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace tavrino {

// A key handle. The predefined roots are the Windows values sign-extended to pointer width
// (that is how HKEY_CURRENT_USER is defined on 64-bit Windows); other handles are whatever the
// implementation hands out from CreateKey / OpenKey.
using RegKey = std::intptr_t;

namespace reg {

// Predefined roots as the 32-bit pattern clsRegEdit keeps in TopHKey.
inline constexpr std::int32_t ClassesRoot = static_cast<std::int32_t>(0x80000000U);
inline constexpr std::int32_t CurrentUser = static_cast<std::int32_t>(0x80000001U);
inline constexpr std::int32_t LocalMachine = static_cast<std::int32_t>(0x80000002U);
inline constexpr std::int32_t Users = static_cast<std::int32_t>(0x80000003U);

// The handle for a predefined root kept as a 32-bit number.
constexpr RegKey RootKey(std::int32_t top) noexcept {
    return static_cast<RegKey>(top);
}

// Value types.
inline constexpr std::uint32_t None = 0;
inline constexpr std::uint32_t Sz = 1;
inline constexpr std::uint32_t ExpandSz = 2;
inline constexpr std::uint32_t Binary = 3;
inline constexpr std::uint32_t Dword = 4;
inline constexpr std::uint32_t MultiSz = 7;
inline constexpr std::uint32_t Qword = 11;

// Access masks used by this program.
inline constexpr std::uint32_t AllButStandardRights =
    0x3F;  // KEY_ALL_ACCESS without standard rights
inline constexpr std::uint32_t ReadWriteWithReadControl = 0x2003F;

// Return codes (the Windows error numbers).
inline constexpr std::int32_t Success = 0;
inline constexpr std::int32_t FileNotFound = 2;   // missing key or value
inline constexpr std::int32_t AccessDenied = 5;   // store cannot be written
inline constexpr std::int32_t InvalidHandle = 6;  // unknown or closed key handle
inline constexpr std::int32_t InvalidParameter = 87;
inline constexpr std::int32_t MoreData = 234;  // buffer too small; size says how much is needed
inline constexpr std::int32_t BadStore =
    1;  // the backing store is damaged ("Bad Or Missing Registry")

}  // namespace reg

class RegistryApi {
public:
    virtual ~RegistryApi() = default;

    // Opens root\subKey, creating it and any missing keys on the path (RegCreateKeyA).
    virtual std::int32_t CreateKey(RegKey root, const std::string& subKey, RegKey& key) = 0;
    // Opens an existing key (RegOpenKeyExA). An empty subKey opens root itself.
    virtual std::int32_t OpenKey(RegKey root, const std::string& subKey, std::uint32_t options,
                                 std::uint32_t access, RegKey& key) = 0;
    // RegQueryValueExA: type may be null; data null asks for the size only; otherwise *size is
    // the buffer's capacity on entry and the value's byte count on return (MoreData when short).
    virtual std::int32_t QueryValue(RegKey key, const std::string& valueName, std::uint32_t* type,
                                    std::uint8_t* data, std::uint32_t* size) = 0;
    // RegSetValueExA: stores exactly size bytes of data under valueName with the given type.
    virtual std::int32_t SetValue(RegKey key, const std::string& valueName, std::uint32_t type,
                                  const std::uint8_t* data, std::uint32_t size) = 0;
    // RegCloseKey. Closing a predefined root is allowed and does nothing.
    virtual std::int32_t CloseKey(RegKey key) = 0;

protected:
    RegistryApi() = default;
    RegistryApi(const RegistryApi&) = default;
    RegistryApi& operator=(const RegistryApi&) = default;
    RegistryApi(RegistryApi&&) = default;
    RegistryApi& operator=(RegistryApi&&) = default;
};

// The registry of the current user (HKEY_CURRENT_USER writable; HKEY_LOCAL_MACHINE readable):
// advapi32 on Windows, the per-user file store elsewhere.
std::unique_ptr<RegistryApi> MakeUserRegistry();

// The machine-wide registry for lookups (the About box's System Information path). On Windows
// the same advapi32 registry; elsewhere the file store with both roots read-only.
std::unique_ptr<RegistryApi> MakeSystemRegistry();

}  // namespace tavrino
