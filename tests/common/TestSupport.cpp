#include "common/TestSupport.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>
#include <system_error>
#include <thread>

namespace tavrino::test {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Address(const std::string& application, const std::string& section,
                    const std::string& key) {
    return Lower(application + "/" + section + "/" + key);
}

}  // namespace

std::string MemorySettingsStore::Get(const std::string& application, const std::string& section,
                                     const std::string& key, int def) {
    auto it = values.find(Address(application, section, key));
    return it == values.end() ? std::to_string(def) : it->second;
}

void MemorySettingsStore::Save(const std::string& application, const std::string& section,
                               const std::string& key, const std::string& value) {
    if (failSaves) {
        throw Error(errnum::PermissionDenied, "The setting " + key + " could not be saved");
    }
    values[Address(application, section, key)] = value;
    saveLog.push_back(key);
}

const std::string* MemorySettingsStore::Find(const std::string& key) const {
    auto it = values.find(Address("Varnello", "Settings", key));
    return it == values.end() ? nullptr : &it->second;
}

void MemorySettingsStore::Put(const std::string& key, const std::string& value) {
    values[Address("Varnello", "Settings", key)] = value;
}

namespace {

void SetEnv(const std::string& name, const char* value) {
#ifdef _WIN32
    _putenv_s(name.c_str(), value ? value : "");
#else
    if (value) {
        setenv(name.c_str(), value, 1);
    } else {
        unsetenv(name.c_str());
    }
#endif
}

}  // namespace

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) {
        old_ = old;
    }
    SetEnv(name_, value);
}

ScopedEnv::~ScopedEnv() {
    SetEnv(name_, old_ ? old_->c_str() : nullptr);
}

TempFolder::TempFolder() {
    std::random_device seed;
    path_ = std::filesystem::temp_directory_path() /
            ("tavrino-test-" + std::to_string(seed()) + "-" + std::to_string(seed()));
    std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

void WriteBytes(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::function<void(int ms)> g_waitStep = [](int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
};

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs, int stepMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) {
            return true;
        }
        g_waitStep(stepMs);
    }
    return condition();
}

}  // namespace tavrino::test
