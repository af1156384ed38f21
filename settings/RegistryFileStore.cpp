#include "settings/RegistryFileStore.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <span>
#include <sstream>
#include <system_error>
#include <thread>
#include <utility>

#include "support/HexDigits.h"

namespace tavrino {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kMagic = "TavrinoRegistry 1";
constexpr std::string_view kEnd = "End";
constexpr std::string_view kAppFolder = "tavrino-wallpaper-manager";

char LowerAscii(char c) noexcept {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Fold(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), LowerAscii);
    return out;
}

bool SameName(std::string_view a, std::string_view b) noexcept {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerAscii(x) == LowerAscii(y);
           });
}

// Splits a "\"-separated path into its non-empty components.
std::vector<std::string> SplitPath(std::string_view path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        if (end > start) {
            parts.emplace_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return parts;
}

std::string JoinPath(const std::vector<std::string>& parts, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) {
            out += '\\';
        }
        out += parts[i];
    }
    return out;
}

bool NeedsEscape(unsigned char c) noexcept {
    return c < 0x20 || c > 0x7E || c == '%' || c == '"' || c == '[' || c == ']';
}

void AppendEscaped(std::string& out, std::string_view bytes) {
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (NeedsEscape(c)) {
            out += '%';
            out += HexDigit(c >> 4U);
            out += HexDigit(c);
        } else {
            out += ch;
        }
    }
}

// Decodes escaped text up to (not including) the end of text. Returns false on a bad escape
// or a byte that a writer would have escaped and a reader cannot take literally.
bool Unescape(std::string_view text, char forbidden, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '%') {
            if (i + 2 >= text.size()) {
                return false;
            }
            const int hi = HexValue(text[i + 1]);
            const int lo = HexValue(text[i + 2]);
            if (hi < 0 || lo < 0) {
                return false;
            }
            out += static_cast<char>((hi << 4) | lo);
            i += 2;
        } else if (c < 0x20 || c == 0x7F || text[i] == forbidden) {
            return false;
        } else {
            out += text[i];
        }
    }
    return true;
}

// Parses '"' escaped '"' at the start of text; returns the rest after the closing quote.
bool ParseQuoted(std::string_view& text, std::string& out) {
    if (text.empty() || text.front() != '"') {
        return false;
    }
    const std::size_t close = text.find('"', 1);
    if (close == std::string_view::npos) {
        return false;
    }
    if (!Unescape(text.substr(1, close - 1), '"', out)) {
        return false;
    }
    text.remove_prefix(close + 1);
    return true;
}

bool ParseUnsigned(std::string_view text, std::uint32_t& value) {
    if (text.empty() || text.size() > 10) {
        return false;
    }
    std::uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (v > std::numeric_limits<std::uint32_t>::max()) {
        return false;
    }
    value = static_cast<std::uint32_t>(v);
    return true;
}

std::string DwordBytes(std::uint32_t v) {
    std::string out(4, '\0');
    for (std::size_t i = 0; i < 4; ++i) {
        out[i] = static_cast<char>((v >> (8U * i)) & 0xFFU);
    }
    return out;
}

std::uint32_t DwordValue(std::string_view bytes) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        v |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << (8U * i);
    }
    return v;
}

bool Fail(std::string* why, std::size_t line, const char* what) {
    if (why != nullptr) {
        *why = "line " + std::to_string(line) + ": " + what;
    }
    return false;
}

// Adds path and all its ancestors; returns the key itself.
RegistryFileKey& EnsureKey(RegistryFileData& data, std::string_view path) {
    const std::vector<std::string> parts = SplitPath(path);
    RegistryFileKey* key = &data.keys[std::string()];
    for (std::size_t n = 1; n <= parts.size(); ++n) {
        auto [it, inserted] = data.keys.try_emplace(Fold(JoinPath(parts, n)));
        if (inserted) {
            // A new key keeps its parent's spelling of the path and its own as given.
            it->second.path = key->path.empty() ? parts[n - 1] : key->path + "\\" + parts[n - 1];
        }
        key = &it->second;
    }
    return *key;
}

RegistryFileValue* FindValue(RegistryFileKey& key, std::string_view name) {
    for (RegistryFileValue& v : key.values) {
        if (SameName(v.name, name)) {
            return &v;
        }
    }
    return nullptr;
}

RegistryFileData DesktopDefaults() {
    RegistryFileData data;
    RegistryFileKey& desktop = EnsureKey(data, "Control Panel\\desktop");
    desktop.values.push_back({"TileWallpaper", reg::Sz, std::string("0\0", 2)});
    desktop.values.push_back({"WallpaperStyle", reg::Sz, std::string("0\0", 2)});
    return data;
}

std::string UniqueSuffix() {
    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    std::ostringstream s;
    s << std::hex << rd() << '-' << counter.fetch_add(1);
    return s.str();
}

}  // namespace

std::string CanonicalKeyPath(std::string_view path) {
    const std::vector<std::string> parts = SplitPath(path);
    return Fold(JoinPath(parts, parts.size()));
}

std::optional<RegistryFileData> ParseRegistryFile(std::string_view text, std::string* why) {
    RegistryFileData data;
    EnsureKey(data, "");
    RegistryFileKey* current = nullptr;
    std::size_t lineNo = 0;
    bool sawMagic = false;
    bool sawEnd = false;
    std::string name;
    std::string bytes;

    while (!text.empty()) {
        const std::size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
        ++lineNo;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);  // tolerate a file saved with CR LF line ends
        }
        if (!sawMagic) {
            if (line != kMagic) {
                Fail(why, lineNo, "not a registry file of a known version");
                return std::nullopt;
            }
            sawMagic = true;
            continue;
        }
        if (line.empty() || line.front() == '#') {
            continue;
        }
        if (sawEnd) {
            Fail(why, lineNo, "text after the end line");
            return std::nullopt;
        }
        if (line == kEnd) {
            sawEnd = true;
            continue;
        }
        if (line.front() == '[') {
            if (line.size() < 2 || line.back() != ']') {
                Fail(why, lineNo, "key line without closing bracket");
                return std::nullopt;
            }
            std::string path;
            const std::string_view inner = line.substr(1, line.size() - 2);
            if (inner.find_first_of("[]") != std::string_view::npos ||
                !Unescape(inner, '"', path)) {
                Fail(why, lineNo, "bad key path");
                return std::nullopt;
            }
            const std::string folded = CanonicalKeyPath(path);
            auto existing = data.keys.find(folded);
            if (existing != data.keys.end() && !existing->second.values.empty()) {
                Fail(why, lineNo, "key listed twice");
                return std::nullopt;
            }
            current = &EnsureKey(data, path);
            continue;
        }
        if (line.front() == '"') {
            if (current == nullptr) {
                Fail(why, lineNo, "value before any key");
                return std::nullopt;
            }
            if (!ParseQuoted(line, name) || line.empty() || line.front() != '=') {
                Fail(why, lineNo, "bad value name");
                return std::nullopt;
            }
            line.remove_prefix(1);
            const std::size_t colon = line.find(':');
            if (colon == std::string_view::npos) {
                Fail(why, lineNo, "value without type");
                return std::nullopt;
            }
            const std::string_view typeText = line.substr(0, colon);
            std::string_view dataText = line.substr(colon + 1);
            RegistryFileValue value;
            value.name = name;
            if (typeText == "dword") {
                std::uint32_t v = 0;
                if (!ParseUnsigned(dataText, v)) {
                    Fail(why, lineNo, "bad dword");
                    return std::nullopt;
                }
                value.type = reg::Dword;
                value.bytes = DwordBytes(v);
            } else {
                if (typeText == "sz") {
                    value.type = reg::Sz;
                } else if (typeText.size() > 5 && typeText.substr(0, 4) == "raw(" &&
                           typeText.back() == ')') {
                    if (!ParseUnsigned(typeText.substr(4, typeText.size() - 5), value.type)) {
                        Fail(why, lineNo, "bad type number");
                        return std::nullopt;
                    }
                } else {
                    Fail(why, lineNo, "unknown type");
                    return std::nullopt;
                }
                if (!ParseQuoted(dataText, bytes) || !dataText.empty()) {
                    Fail(why, lineNo, "bad value data");
                    return std::nullopt;
                }
                value.bytes = bytes;
            }
            if (FindValue(*current, value.name) != nullptr) {
                Fail(why, lineNo, "value listed twice");
                return std::nullopt;
            }
            current->values.push_back(std::move(value));
            continue;
        }
        Fail(why, lineNo, "line is neither a key nor a value");
        return std::nullopt;
    }
    if (!sawMagic) {
        Fail(why, 1, "empty file");
        return std::nullopt;
    }
    if (!sawEnd) {
        Fail(why, lineNo, "file ends early (no end line)");
        return std::nullopt;
    }
    return data;
}

std::string FormatRegistryFile(const RegistryFileData& data) {
    std::string out(kMagic);
    out += "\n# Written by Tavrino Wallpaper Manager; see REGISTRY-FORMAT.md for the format.\n";
    for (const auto& [folded, key] : data.keys) {
        if (folded.empty() && key.values.empty()) {
            continue;  // the root itself always exists
        }
        out += "\n[";
        AppendEscaped(out, key.path);
        out += "]\n";
        for (const RegistryFileValue& v : key.values) {
            out += '"';
            AppendEscaped(out, v.name);
            out += "\"=";
            if (v.type == reg::Dword && v.bytes.size() == 4) {
                out += "dword:";
                out += std::to_string(DwordValue(v.bytes));
            } else {
                out +=
                    v.type == reg::Sz ? std::string("sz") : "raw(" + std::to_string(v.type) + ")";
                out += ":\"";
                AppendEscaped(out, v.bytes);
                out += '"';
            }
            out += '\n';
        }
    }
    out += '\n';
    out += kEnd;
    out += '\n';
    return out;
}

fs::path DefaultUserRegistryFile() {
    if (const char* over = std::getenv("TAVRINO_REGISTRY_USER_FILE");
        over != nullptr && *over != '\0') {
        return {over};
    }
    fs::path base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME");
        xdg != nullptr && fs::path(xdg).is_absolute()) {
        base = fs::path(xdg);
    } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        base = fs::path(home) / ".config";
    } else {
        return {};
    }
    return base / kAppFolder / "registry.txt";
}

fs::path DefaultSystemRegistryFile() {
    if (const char* over = std::getenv("TAVRINO_REGISTRY_SYSTEM_FILE");
        over != nullptr && *over != '\0') {
        return {over};
    }
    return fs::path("/etc/xdg") / kAppFolder / "registry-system.txt";
}

// --- lock ---------------------------------------------------------------------------------

RegistryFileLock::RegistryFileLock(const fs::path& file, std::chrono::milliseconds timeout,
                                   std::chrono::seconds staleAfter)
    : lock_(fs::path(file).concat(".lock")) {
    // Creating a directory is atomic and fails when it exists, on every platform: the one
    // exclusive-create primitive std::filesystem offers.
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        std::error_code ec;
        if (fs::create_directory(lock_, ec)) {
            held_ = true;
            return;
        }
        if (ec && ec != std::errc::file_exists && !fs::exists(lock_, ec)) {
            return;  // cannot create it at all (missing or read-only folder)
        }
        // A lock left by a process that died is taken over once it is old enough. Between the
        // age check and the removal another taker could slip in; that needs two processes
        // finding the same stale lock within microseconds, after a crash.
        const auto written = fs::last_write_time(lock_, ec);
        if (!ec && fs::file_time_type::clock::now() - written > staleAfter) {
            fs::remove(lock_, ec);
            continue;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

RegistryFileLock::~RegistryFileLock() {
    if (held_) {
        std::error_code ec;
        fs::remove(lock_, ec);
    }
}

// --- store ----------------------------------------------------------------------------------

RegistryFileStore::RegistryFileStore(RegistryFileOptions options) : options_(std::move(options)) {}

RegKey RegistryFileStore::NewHandle(Root root, std::string path) {
    const RegKey h = nextHandle_++;
    handles_.emplace(h, Handle{root, std::move(path)});
    return h;
}

std::int32_t RegistryFileStore::ResolveRoot(RegKey handle, Root& root, std::string& path) const {
    if (handle == reg::RootKey(reg::CurrentUser)) {
        root = Root::User;
        path.clear();
        return reg::Success;
    }
    if (handle == reg::RootKey(reg::LocalMachine)) {
        root = Root::System;
        path.clear();
        return reg::Success;
    }
    const auto it = handles_.find(handle);
    if (it == handles_.end()) {
        return reg::InvalidHandle;
    }
    root = it->second.root;
    path = it->second.path;
    return reg::Success;
}

void RegistryFileStore::MoveAside(const fs::path& file) {
    std::error_code ec;
    fs::path aside = fs::path(file).concat(".corrupt");
    for (int n = 1; fs::exists(aside, ec) && n < 1000; ++n) {
        aside = fs::path(file).concat(".corrupt." + std::to_string(n));
    }
    fs::rename(file, aside, ec);
}

std::int32_t RegistryFileStore::Load(Root root, RegistryFileData& data) {
    const fs::path& file = root == Root::User ? options_.userFile : options_.systemFile;
    data = RegistryFileData{};
    EnsureKey(data, "");
    if (file.empty()) {
        return root == Root::User ? reg::BadStore : reg::Success;
    }
    std::error_code ec;
    const fs::file_status st = fs::status(file, ec);
    if (st.type() == fs::file_type::not_found) {
        if (root == Root::User && options_.seedDesktopDefaults) {
            data = DesktopDefaults();
            EnsureKey(data, "");
        }
        return reg::Success;
    }
    if (ec || st.type() != fs::file_type::regular) {
        return reg::BadStore;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return reg::BadStore;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        return reg::BadStore;
    }
    in.close();
    std::optional<RegistryFileData> parsed = ParseRegistryFile(text);
    if (!parsed) {
        if (root == Root::User && !options_.userReadOnly) {
            // Keep the damaged file for the user to look at, and let the next write start over.
            MoveAside(file);
        }
        return reg::BadStore;
    }
    data = std::move(*parsed);
    return reg::Success;
}

std::int32_t RegistryFileStore::WriteUserFile(const RegistryFileData& data) const {
    const fs::path& file = options_.userFile;
    std::error_code ec;
    const fs::path tmp = fs::path(file).concat(".tmp-" + UniqueSuffix());
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) {
            return reg::AccessDenied;
        }
        const std::string text = FormatRegistryFile(data);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.flush();
        if (!out) {
            out.close();
            fs::remove(tmp, ec);
            return reg::AccessDenied;
        }
    }
    fs::rename(tmp, file, ec);
    if (ec) {
        fs::remove(tmp, ec);
        return reg::AccessDenied;
    }
    return reg::Success;
}

template <class Change>
std::int32_t RegistryFileStore::Modify(Change&& change) {
    if (options_.userReadOnly) {
        return reg::AccessDenied;
    }
    const fs::path& file = options_.userFile;
    if (file.empty()) {
        return reg::BadStore;
    }
    std::error_code ec;
    if (file.has_parent_path()) {
        fs::create_directories(file.parent_path(), ec);
        if (ec) {
            return reg::AccessDenied;
        }
    }
    // A file the user marked read-only stays as it is, even for a process that could write it.
    const fs::file_status st = fs::status(file, ec);
    if (!ec && st.type() == fs::file_type::regular &&
        (st.permissions() & fs::perms::owner_write) == fs::perms::none) {
        return reg::AccessDenied;
    }
    RegistryFileLock lock(file, options_.lockTimeout, options_.lockStaleAfter);
    if (!lock.Held()) {
        return reg::AccessDenied;
    }
    RegistryFileData data;
    if (const std::int32_t rc = Load(Root::User, data); rc != reg::Success) {
        return rc;
    }
    bool changed = false;
    if (const std::int32_t rc = change(data, changed); rc != reg::Success) {
        return rc;
    }
    return changed ? WriteUserFile(data) : reg::Success;
}

std::int32_t RegistryFileStore::CreateKey(RegKey root, const std::string& subKey, RegKey& key) {
    Root r{};
    std::string base;
    if (const std::int32_t rc = ResolveRoot(root, r, base); rc != reg::Success) {
        return rc;
    }
    if (r == Root::System) {
        return reg::AccessDenied;
    }
    std::string shown = base;
    if (!SplitPath(subKey).empty()) {
        shown = base.empty() ? subKey : base + "\\" + subKey;
    }
    const std::int32_t rc = Modify([&](RegistryFileData& data, bool& changed) {
        const std::string folded = CanonicalKeyPath(shown);
        if (data.keys.find(folded) == data.keys.end()) {
            EnsureKey(data, shown);
            changed = true;
        }
        return reg::Success;
    });
    if (rc == reg::Success) {
        key = NewHandle(Root::User, CanonicalKeyPath(shown));
    }
    return rc;
}

std::int32_t RegistryFileStore::OpenKey(RegKey root, const std::string& subKey,
                                        std::uint32_t /*options*/, std::uint32_t /*access*/,
                                        RegKey& key) {
    Root r{};
    std::string base;
    if (const std::int32_t rc = ResolveRoot(root, r, base); rc != reg::Success) {
        return rc;
    }
    const std::string path = CanonicalKeyPath(base + "\\" + subKey);
    RegistryFileData data;
    if (const std::int32_t rc = Load(r, data); rc != reg::Success) {
        return rc;
    }
    if (data.keys.find(path) == data.keys.end()) {
        return reg::FileNotFound;
    }
    key = NewHandle(r, path);
    return reg::Success;
}

std::int32_t RegistryFileStore::QueryValue(RegKey key, const std::string& valueName,
                                           std::uint32_t* type, std::uint8_t* data,
                                           std::uint32_t* size) {
    Root r{};
    std::string path;
    if (const std::int32_t rc = ResolveRoot(key, r, path); rc != reg::Success) {
        return rc;
    }
    if (data != nullptr && size == nullptr) {
        return reg::InvalidParameter;
    }
    RegistryFileData file;
    if (const std::int32_t rc = Load(r, file); rc != reg::Success) {
        return rc;
    }
    const auto k = file.keys.find(path);
    if (k == file.keys.end()) {
        return reg::FileNotFound;  // removed by someone else since it was opened
    }
    const RegistryFileValue* v = FindValue(k->second, valueName);
    if (v == nullptr) {
        return reg::FileNotFound;
    }
    if (type != nullptr) {
        *type = v->type;
    }
    const auto needed = static_cast<std::uint32_t>(v->bytes.size());
    if (data == nullptr) {
        if (size != nullptr) {
            *size = needed;
        }
        return reg::Success;
    }
    if (*size < needed) {
        *size = needed;
        return reg::MoreData;
    }
    std::copy(v->bytes.begin(), v->bytes.end(), data);
    *size = needed;
    return reg::Success;
}

std::int32_t RegistryFileStore::SetValue(RegKey key, const std::string& valueName,
                                         std::uint32_t type, const std::uint8_t* data,
                                         std::uint32_t size) {
    Root r{};
    std::string path;
    if (const std::int32_t rc = ResolveRoot(key, r, path); rc != reg::Success) {
        return rc;
    }
    if (r == Root::System) {
        return reg::AccessDenied;
    }
    if (data == nullptr && size != 0) {
        return reg::InvalidParameter;
    }
    std::string bytes;
    if (size != 0) {
        const std::span<const std::uint8_t> in(data, size);
        bytes.assign(in.begin(), in.end());
    }
    return Modify([&](RegistryFileData& file, bool& changed) {
        const auto k = file.keys.find(path);
        if (k == file.keys.end()) {
            return reg::FileNotFound;
        }
        if (RegistryFileValue* v = FindValue(k->second, valueName); v != nullptr) {
            v->type = type;
            v->bytes = bytes;
        } else {
            k->second.values.push_back({valueName, type, bytes});
        }
        changed = true;
        return reg::Success;
    });
}

std::int32_t RegistryFileStore::CloseKey(RegKey key) {
    if (key == reg::RootKey(reg::CurrentUser) || key == reg::RootKey(reg::LocalMachine)) {
        return reg::Success;
    }
    return handles_.erase(key) == 1 ? reg::Success : reg::InvalidHandle;
}

}  // namespace tavrino
