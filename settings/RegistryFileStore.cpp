#include "settings/RegistryFileStore.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <system_error>
#include <thread>
#include <utility>

#include "support/HexDigits.h"

namespace tavrino {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kMagic = "TavrinoRegistry 1";
constexpr std::string_view kAppFolder = "tavrino-wallpaper-manager";

std::string Fold(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return out;
}

std::vector<std::string> SplitPath(std::string_view path) {
    std::vector<std::string> parts;
    for (std::size_t start = 0; start <= path.size();) {
        const std::size_t end = std::min(path.find('\\', start), path.size());
        if (end > start) {
            parts.emplace_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return parts;
}

// Adds path and all its ancestors, new ones spelled as given; returns the key itself.
RegistryFileKey& EnsureKey(RegistryFileData& data, std::string_view path) {
    RegistryFileKey* key = &data.keys[std::string()];
    std::string folded;
    for (const std::string& part : SplitPath(path)) {
        folded += (folded.empty() ? "" : "\\") + Fold(part);
        RegistryFileKey& next = data.keys[folded];
        if (next.path.empty()) {
            next.path = key->path.empty() ? part : key->path + "\\" + part;
        }
        key = &next;
    }
    return *key;
}

RegistryFileValue* FindValue(RegistryFileKey& key, std::string_view name) {
    const auto it =
        std::find_if(key.values.begin(), key.values.end(),
                     [&](const RegistryFileValue& v) { return Fold(v.name) == Fold(name); });
    return it == key.values.end() ? nullptr : &*it;
}

void AppendEscaped(std::string& out, std::string_view bytes) {
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c > 0x7E || ch == '%' || ch == '"' || ch == '[' || ch == ']') {
            out += {'%', HexDigit(c >> 4U), HexDigit(c)};
        } else {
            out += ch;
        }
    }
}

// Decodes "%XY" escapes; refuses a bad escape, control bytes and the forbidden byte.
bool Unescape(std::string_view text, char forbidden, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '%') {
            const int hi = i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
            const int lo = i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
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

// Reads '"' escaped '"' at the start of text and removes it from text.
bool ParseQuoted(std::string_view& text, std::string& out) {
    const std::size_t close = text.starts_with('"') ? text.find('"', 1) : std::string_view::npos;
    if (close == std::string_view::npos || !Unescape(text.substr(1, close - 1), '"', out)) {
        return false;
    }
    text.remove_prefix(close + 1);
    return true;
}

bool ParseUnsigned(std::string_view text, std::uint32_t& value) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return !text.empty() && text.size() <= 10 && error == std::errc() && stop == end;
}

std::uint32_t DwordValue(std::string_view bytes) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        v |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << (8U * i);
    }
    return v;
}

std::string DwordBytes(std::uint32_t v) {
    return {static_cast<char>(v & 0xFFU), static_cast<char>((v >> 8U) & 0xFFU),
            static_cast<char>((v >> 16U) & 0xFFU), static_cast<char>(v >> 24U)};
}

// Holds "<file>.lock", a folder: creating one is atomic and fails when it exists, on every
// platform. A lock older than the stale age was left by a process that died and is taken over.
class FileLock {
public:
    FileLock(const fs::path& file, const RegistryFileOptions& options)
        : lock_(fs::path(file).concat(".lock")) {
        const auto deadline = std::chrono::steady_clock::now() + options.lockTimeout;
        for (;;) {
            std::error_code ec;
            if (fs::create_directory(lock_, ec)) {
                held = true;
                return;
            }
            // "exists" also when its holder removed it meanwhile: try again then.
            if (ec && ec != std::errc::file_exists && !fs::exists(lock_, ec)) {
                return;  // cannot be created at all (missing or read-only folder)
            }
            const auto written = fs::last_write_time(lock_, ec);
            if (!ec && fs::file_time_type::clock::now() - written > options.lockStaleAfter) {
                fs::remove(lock_, ec);
                continue;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    ~FileLock() {
        std::error_code ec;
        if (held) {
            fs::remove(lock_, ec);
        }
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool held = false;

private:
    fs::path lock_;
};

// Writes a temporary file beside file and renames it over file: readers see the old or the new
// file, never part of one.
std::int32_t WriteAtomically(const fs::path& file, const std::string& text) {
    static std::atomic<unsigned> counter{0};
    const fs::path temp = fs::path(file).concat(".tmp-" + std::to_string(std::random_device{}()) +
                                                "-" + std::to_string(counter++));
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    std::error_code ec;
    if (!out.fail()) {
        fs::rename(temp, file, ec);
    }
    if (out.fail() || ec) {
        fs::remove(temp, ec);
        return reg::AccessDenied;
    }
    return reg::Success;
}

}  // namespace

std::string CanonicalKeyPath(std::string_view path) {
    std::string out;
    for (const std::string& part : SplitPath(path)) {
        out += (out.empty() ? "" : "\\") + Fold(part);
    }
    return out;
}

std::optional<RegistryFileData> ParseRegistryFile(std::string_view text, std::string* why) {
    RegistryFileData data;
    EnsureKey(data, "");
    RegistryFileKey* current = nullptr;
    std::size_t lineNo = 0;
    bool ended = false;
    const auto fail = [&](const char* what) {
        if (why != nullptr) {
            *why = "line " + std::to_string(lineNo) + ": " + what;
        }
        return std::nullopt;
    };
    while (!text.empty() || lineNo == 0) {
        const std::size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
        ++lineNo;
        if (line.ends_with('\r')) {
            line.remove_suffix(1);  // a file saved with CR LF line ends
        }
        if (lineNo == 1 && line != kMagic) {
            return fail("not a registry file of a known version");
        }
        if (lineNo == 1 || line.empty() || line.front() == '#') {
            continue;
        }
        if (ended) {
            return fail("text after the end line");
        }
        std::string path;
        if (line == "End") {
            ended = true;
        } else if (line.front() == '[') {
            const std::string_view inner = line.substr(1, line.size() - 2);
            if (line.size() < 2 || !line.ends_with(']') ||
                inner.find_first_of("[]") != std::string_view::npos ||
                !Unescape(inner, '"', path)) {
                return fail("bad key line");
            }
            const auto existing = data.keys.find(CanonicalKeyPath(path));
            if (existing != data.keys.end() && !existing->second.values.empty()) {
                return fail("key listed twice");
            }
            current = &EnsureKey(data, path);
        } else if (line.front() == '"' && current != nullptr) {
            RegistryFileValue value;
            if (!ParseQuoted(line, value.name) || !line.starts_with('=') ||
                line.find(':') == std::string_view::npos) {
                return fail("bad value name");
            }
            const std::string_view type = line.substr(1, line.find(':') - 1);
            std::string_view rest = line.substr(line.find(':') + 1);
            std::uint32_t number = 0;
            if (type == "dword" && ParseUnsigned(rest, number)) {
                value.type = reg::Dword;
                value.bytes = DwordBytes(number);
            } else if (type == "sz" ||
                       (type.starts_with("raw(") && type.ends_with(')') && type.size() > 5 &&
                        ParseUnsigned(type.substr(4, type.size() - 5), number))) {
                value.type = type == "sz" ? reg::Sz : number;
                if (!ParseQuoted(rest, value.bytes) || !rest.empty()) {
                    return fail("bad value data");
                }
            } else {
                return fail("bad value type");
            }
            if (FindValue(*current, value.name) != nullptr) {
                return fail("value listed twice");
            }
            current->values.push_back(std::move(value));
        } else {
            return fail("line is neither a key nor a value below a key");
        }
    }
    if (!ended) {
        return fail("file ends early (no end line)");
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
            if (v.type == reg::Dword && v.bytes.size() == 4) {
                out += "\"=dword:" + std::to_string(DwordValue(v.bytes)) + "\n";
                continue;
            }
            out += v.type == reg::Sz ? "\"=sz:\"" : "\"=raw(" + std::to_string(v.type) + "):\"";
            AppendEscaped(out, v.bytes);
            out += "\"\n";
        }
    }
    return out + "\nEnd\n";
}

fs::path DefaultUserRegistryFile() {
    const char* over = std::getenv("TAVRINO_REGISTRY_USER_FILE");
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    if (over != nullptr && *over != '\0') {
        return {over};
    }
    if (xdg != nullptr && fs::path(xdg).is_absolute()) {
        return fs::path(xdg) / kAppFolder / "registry.txt";
    }
    if (home != nullptr && *home != '\0') {
        return fs::path(home) / ".config" / kAppFolder / "registry.txt";
    }
    return {};
}

fs::path DefaultSystemRegistryFile() {
    const char* over = std::getenv("TAVRINO_REGISTRY_SYSTEM_FILE");
    if (over != nullptr && *over != '\0') {
        return {over};
    }
    return fs::path("/etc/xdg") / kAppFolder / "registry-system.txt";
}

RegistryFileStore::RegistryFileStore(RegistryFileOptions options) : options_(std::move(options)) {}

RegKey RegistryFileStore::NewHandle(bool user, std::string path) {
    handles_.emplace(nextHandle_, Handle{user, std::move(path)});
    return nextHandle_++;
}

std::optional<RegistryFileStore::Handle> RegistryFileStore::Resolve(RegKey key) const {
    if (key == reg::RootKey(reg::CurrentUser) || key == reg::RootKey(reg::LocalMachine)) {
        return Handle{key == reg::RootKey(reg::CurrentUser), {}};
    }
    const auto it = handles_.find(key);
    return it == handles_.end() ? std::nullopt : std::optional<Handle>(it->second);
}

std::int32_t RegistryFileStore::Load(bool user, RegistryFileData& data) {
    const fs::path& file = user ? options_.userFile : options_.systemFile;
    data = RegistryFileData{};
    EnsureKey(data, "");
    if (file.empty()) {
        return user ? reg::BadStore : reg::Success;
    }
    std::error_code ec;
    const fs::file_status status = fs::status(file, ec);
    if (status.type() == fs::file_type::not_found) {
        if (user && options_.seedDesktopDefaults) {
            EnsureKey(data, "Control Panel\\desktop").values = {
                {"TileWallpaper", reg::Sz, std::string("0\0", 2)},
                {"WallpaperStyle", reg::Sz, std::string("0\0", 2)}};
        }
        return reg::Success;
    }
    if (ec || status.type() != fs::file_type::regular) {
        return reg::BadStore;
    }
    std::ifstream in(file, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.is_open() || in.bad()) {
        return reg::BadStore;
    }
    in.close();
    std::optional<RegistryFileData> parsed = ParseRegistryFile(text);
    if (!parsed) {
        if (user && !options_.userReadOnly) {
            // Kept for the user to look at; the next change starts a new file.
            fs::path aside = fs::path(file).concat(".corrupt");
            for (int n = 1; fs::exists(aside, ec) && n < 1000; ++n) {
                aside = fs::path(file).concat(".corrupt." + std::to_string(n));
            }
            fs::rename(file, aside, ec);
        }
        return reg::BadStore;
    }
    data = std::move(*parsed);
    return reg::Success;
}

template <class Change>
std::int32_t RegistryFileStore::Modify(Change&& change) {
    const fs::path& file = options_.userFile;
    if (options_.userReadOnly) {
        return reg::AccessDenied;
    }
    if (file.empty()) {
        return reg::BadStore;
    }
    std::error_code ec;
    if (file.has_parent_path() && (fs::create_directories(file.parent_path(), ec), ec)) {
        return reg::AccessDenied;
    }
    // A file the user marked read-only stays as it is, even for a process that could write it.
    const fs::file_status status = fs::status(file, ec);
    if (!ec && status.type() == fs::file_type::regular &&
        (status.permissions() & fs::perms::owner_write) == fs::perms::none) {
        return reg::AccessDenied;
    }
    const FileLock lock(file, options_);
    if (!lock.held) {
        return reg::AccessDenied;
    }
    RegistryFileData data;
    bool changed = false;
    std::int32_t rc = Load(true, data);
    if (rc == reg::Success) {
        rc = change(data, changed);
    }
    return rc == reg::Success && changed ? WriteAtomically(file, FormatRegistryFile(data)) : rc;
}

std::int32_t RegistryFileStore::CreateKey(RegKey root, const std::string& subKey, RegKey& key) {
    const std::optional<Handle> base = Resolve(root);
    if (!base) {
        return reg::InvalidHandle;
    }
    if (!base->user) {
        return reg::AccessDenied;
    }
    const std::string path = base->path + "\\" + subKey;
    const std::int32_t rc = Modify([&](RegistryFileData& data, bool& changed) {
        changed = !data.keys.contains(CanonicalKeyPath(path));
        EnsureKey(data, path);
        return reg::Success;
    });
    if (rc == reg::Success) {
        key = NewHandle(true, CanonicalKeyPath(path));
    }
    return rc;
}

std::int32_t RegistryFileStore::OpenKey(RegKey root, const std::string& subKey,
                                        std::uint32_t /*options*/, std::uint32_t /*access*/,
                                        RegKey& key) {
    const std::optional<Handle> base = Resolve(root);
    if (!base) {
        return reg::InvalidHandle;
    }
    const std::string path = CanonicalKeyPath(base->path + "\\" + subKey);
    RegistryFileData data;
    if (const std::int32_t rc = Load(base->user, data); rc != reg::Success) {
        return rc;
    }
    if (!data.keys.contains(path)) {
        return reg::FileNotFound;
    }
    key = NewHandle(base->user, path);
    return reg::Success;
}

std::int32_t RegistryFileStore::QueryValue(RegKey key, const std::string& valueName,
                                           std::uint32_t* type, std::uint8_t* data,
                                           std::uint32_t* size) {
    const std::optional<Handle> handle = Resolve(key);
    if (!handle) {
        return reg::InvalidHandle;
    }
    if (data != nullptr && size == nullptr) {
        return reg::InvalidParameter;
    }
    RegistryFileData file;
    if (const std::int32_t rc = Load(handle->user, file); rc != reg::Success) {
        return rc;
    }
    // The key may have gone since it was opened: another process changed the file.
    const auto k = file.keys.find(handle->path);
    const RegistryFileValue* v = k == file.keys.end() ? nullptr : FindValue(k->second, valueName);
    if (v == nullptr) {
        return reg::FileNotFound;
    }
    if (type != nullptr) {
        *type = v->type;
    }
    const auto needed = static_cast<std::uint32_t>(v->bytes.size());
    const bool fits = data == nullptr || *size >= needed;
    if (data != nullptr && fits) {
        std::copy(v->bytes.begin(), v->bytes.end(), data);
    }
    if (size != nullptr) {
        *size = needed;
    }
    return fits ? reg::Success : reg::MoreData;
}

std::int32_t RegistryFileStore::SetValue(RegKey key, const std::string& valueName,
                                         std::uint32_t type, const std::uint8_t* data,
                                         std::uint32_t size) {
    const std::optional<Handle> handle = Resolve(key);
    if (!handle) {
        return reg::InvalidHandle;
    }
    if (!handle->user) {
        return reg::AccessDenied;
    }
    if (data == nullptr && size != 0) {
        return reg::InvalidParameter;
    }
    const std::string bytes(data, data + size);
    return Modify([&](RegistryFileData& file, bool& changed) {
        const auto k = file.keys.find(handle->path);
        if (k == file.keys.end()) {
            return reg::FileNotFound;
        }
        if (RegistryFileValue* v = FindValue(k->second, valueName); v != nullptr) {
            *v = {v->name, type, bytes};
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
