// The real registry (Wine's when the tests run on Linux), through the program's advapi32 layer.
#include <windows.h>

#include <atomic>
#include <random>
#include <string>

#include "RegistryTestSupport.h"
#include "settings/RegistryWin32.h"

namespace tavrino::test {

namespace {

class Win32Backend final : public RegistryTestBackend {
public:
    Win32Backend() : api_(MakeWin32Registry()) {
        static std::atomic<unsigned> counter{0};
        std::random_device rd;
        key_ = "Software\\TavrinoTests\\Run" + std::to_string(rd()) + "-" +
               std::to_string(counter.fetch_add(1));
    }
    ~Win32Backend() override { RegDeleteTreeA(HKEY_CURRENT_USER, key_.c_str()); }
    Win32Backend(const Win32Backend&) = delete;
    Win32Backend& operator=(const Win32Backend&) = delete;

    RegistryApi& Api() override { return *api_; }
    [[nodiscard]] std::string ScratchKey() const override { return key_; }

private:
    std::unique_ptr<RegistryApi> api_;
    std::string key_;
};

}  // namespace

std::unique_ptr<RegistryTestBackend> MakeWin32Backend() {
    return std::make_unique<Win32Backend>();
}

}  // namespace tavrino::test
