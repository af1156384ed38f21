// Shared by the registry tests: the registries the cases run against, and a wrapper that counts
// open keys and makes chosen calls fail.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "settings/RegistryApi.h"

namespace tavrino::test {

// One registry the shared cases run against, with a scratch key below HKEY_CURRENT_USER that
// is removed again when the backend goes away.
class RegistryTestBackend {
public:
    virtual ~RegistryTestBackend() = default;
    virtual RegistryApi& Api() = 0;
    [[nodiscard]] virtual std::string ScratchKey() const = 0;

protected:
    RegistryTestBackend() = default;
    RegistryTestBackend(const RegistryTestBackend&) = default;
    RegistryTestBackend& operator=(const RegistryTestBackend&) = default;
};

struct RegistryBackendInfo {
    std::string name;
    std::function<std::unique_ptr<RegistryTestBackend>()> make;
};

// The file store everywhere; advapi32 as well on Windows.
std::vector<RegistryBackendInfo> RegistryBackendsUnderTest();
std::unique_ptr<RegistryTestBackend> MakeFileStoreBackend();
#ifdef _WIN32
std::unique_ptr<RegistryTestBackend> MakeWin32Backend();
#endif

enum class RegOp { Create, Open, Query, Set, Close };

// Passes every call on to an inner registry, counting keys left open. A hook may answer a call
// itself (return a code) or throw, given the operation and how many calls of that kind came
// before it.
class ScriptedRegistry final : public RegistryApi {
public:
    using Hook = std::function<std::optional<std::int32_t>(RegOp op, int callIndex)>;

    explicit ScriptedRegistry(RegistryApi& inner) : inner_(&inner) {}

    std::int32_t CreateKey(RegKey root, const std::string& subKey, RegKey& key) override;
    std::int32_t OpenKey(RegKey root, const std::string& subKey, std::uint32_t options,
                         std::uint32_t access, RegKey& key) override;
    std::int32_t QueryValue(RegKey key, const std::string& valueName, std::uint32_t* type,
                            std::uint8_t* data, std::uint32_t* size) override;
    std::int32_t SetValue(RegKey key, const std::string& valueName, std::uint32_t type,
                          const std::uint8_t* data, std::uint32_t size) override;
    std::int32_t CloseKey(RegKey key) override;

    Hook hook;
    int openKeys = 0;   // opened and not yet closed
    int calls[5] = {};  // per RegOp
    std::uint32_t lastOpenAccess = 0;

private:
    std::optional<std::int32_t> Intercept(RegOp op);
    RegistryApi* inner_;
};

// Helpers over any registry; they fail the current test on an unexpected code.
void StoreValue(RegistryApi& api, const std::string& key, const std::string& name,
                std::uint32_t type, const std::string& bytes);

struct RawValue {
    std::int32_t rc = -1;
    std::uint32_t type = 0;
    std::string bytes;
};
RawValue ReadRaw(RegistryApi& api, RegKey root, const std::string& key, const std::string& name);

}  // namespace tavrino::test
