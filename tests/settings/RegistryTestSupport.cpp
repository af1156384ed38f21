#include "RegistryTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <random>

#include "settings/RegistryFileStore.h"

namespace tavrino::test {

namespace fs = std::filesystem;

std::optional<std::int32_t> ScriptedRegistry::Intercept(RegOp op) {
    const int index = calls[static_cast<int>(op)]++;
    if (hook) {
        return hook(op, index);
    }
    return std::nullopt;
}

std::int32_t ScriptedRegistry::CreateKey(RegKey root, const std::string& subKey, RegKey& key) {
    if (auto rc = Intercept(RegOp::Create)) {
        return *rc;
    }
    const std::int32_t rc = inner_->CreateKey(root, subKey, key);
    openKeys += rc == 0 ? 1 : 0;
    return rc;
}

std::int32_t ScriptedRegistry::OpenKey(RegKey root, const std::string& subKey,
                                       std::uint32_t options, std::uint32_t access, RegKey& key) {
    lastOpenAccess = access;
    if (auto rc = Intercept(RegOp::Open)) {
        return *rc;
    }
    const std::int32_t rc = inner_->OpenKey(root, subKey, options, access, key);
    openKeys += rc == 0 ? 1 : 0;
    return rc;
}

std::int32_t ScriptedRegistry::QueryValue(RegKey key, const std::string& valueName,
                                          std::uint32_t* type, std::uint8_t* data,
                                          std::uint32_t* size) {
    if (auto rc = Intercept(RegOp::Query)) {
        return *rc;
    }
    return inner_->QueryValue(key, valueName, type, data, size);
}

std::int32_t ScriptedRegistry::SetValue(RegKey key, const std::string& valueName,
                                        std::uint32_t type, const std::uint8_t* data,
                                        std::uint32_t size) {
    if (auto rc = Intercept(RegOp::Set)) {
        return *rc;
    }
    return inner_->SetValue(key, valueName, type, data, size);
}

std::int32_t ScriptedRegistry::CloseKey(RegKey key) {
    // The real close always happens, so a forced failure never leaks a handle.
    const std::int32_t real = inner_->CloseKey(key);
    openKeys -= real == 0 ? 1 : 0;
    if (auto rc = Intercept(RegOp::Close)) {
        return *rc;
    }
    return real;
}

void StoreValue(RegistryApi& api, const std::string& key, const std::string& name,
                std::uint32_t type, const std::string& bytes) {
    RegKey k = 0;
    ASSERT_EQ(api.CreateKey(reg::RootKey(reg::CurrentUser), key, k), 0);
    EXPECT_EQ(api.SetValue(k, name, type, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                           static_cast<std::uint32_t>(bytes.size())),
              0);
    EXPECT_EQ(api.CloseKey(k), 0);
}

RawValue ReadRaw(RegistryApi& api, RegKey root, const std::string& key, const std::string& name) {
    RawValue out;
    RegKey k = 0;
    out.rc = api.OpenKey(root, key, 0, reg::AllButStandardRights, k);
    if (out.rc != 0) {
        return out;
    }
    std::uint32_t size = 0;
    out.rc = api.QueryValue(k, name, &out.type, nullptr, &size);
    if (out.rc == 0) {
        out.bytes.assign(size, '\0');
        out.rc = api.QueryValue(k, name, &out.type,
                                reinterpret_cast<std::uint8_t*>(out.bytes.data()), &size);
        out.bytes.resize(size);
    }
    api.CloseKey(k);
    return out;
}

namespace {

std::string RandomTag() {
    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    return std::to_string(rd()) + "-" + std::to_string(counter.fetch_add(1));
}

class FileStoreBackend final : public RegistryTestBackend {
public:
    FileStoreBackend()
        : dir_(fs::temp_directory_path() / ("tavrino-registry-test-" + RandomTag())) {
        fs::create_directories(dir_);
        RegistryFileOptions options;
        options.userFile = dir_ / "config" / "registry.txt";
        options.systemFile = dir_ / "registry-system.txt";
        store_ = std::make_unique<RegistryFileStore>(options);
    }
    ~FileStoreBackend() override {
        store_.reset();
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    FileStoreBackend(const FileStoreBackend&) = delete;
    FileStoreBackend& operator=(const FileStoreBackend&) = delete;

    RegistryApi& Api() override { return *store_; }
    [[nodiscard]] std::string ScratchKey() const override {
        return "Software\\TavrinoTests\\Scratch";
    }

private:
    fs::path dir_;
    std::unique_ptr<RegistryFileStore> store_;
};

}  // namespace

std::unique_ptr<RegistryTestBackend> MakeFileStoreBackend() {
    return std::make_unique<FileStoreBackend>();
}

std::vector<RegistryBackendInfo> RegistryBackendsUnderTest() {
    std::vector<RegistryBackendInfo> all{{"FileStore", MakeFileStoreBackend}};
#ifdef _WIN32
    all.push_back({"Win32", MakeWin32Backend});
#endif
    return all;
}

}  // namespace tavrino::test
