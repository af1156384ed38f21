#include "settings/RegistryFileStore.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <thread>

#include "library/DurableFile.h"
#include "support/HexDigits.h"

namespace tavrino {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kMagic = "TavrinoRegistry 1";
constexpr std::string_view kAppFolder = "tavrino-wallpaper-manager";
// REG_DWORD data is little-endian, and so is every machine the program is built for.
static_assert(std::endian::native == std::endian::little);

std::string Fold(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return out;
}

// Adds path and all its ancestors, new ones spelled as given; returns the key itself.
RegistryFileKey& EnsureKey(RegistryFileData& data, std::string_view path) {
    RegistryFileKey* key = &data.keys[std::string()];
    std::string folded;
    std::istringstream parts{std::string(path)};
    for (std::string part; std::getline(parts, part, '\\');) {
        if (!part.empty()) {
            folded += (folded.empty() ? "" : "\\") + Fold(part);
            RegistryFileKey& next = data.keys[folded];
            if (next.path.empty()) {
                next.path = key->path.empty() ? part : key->path + "\\" + part;
            }
            key = &next;
        }
    }
    return *key;
}

RegistryFileValue* FindValue(RegistryFileKey& key, std::string_view name) {
    const auto it = std::find_if(key.values.begin(), key.values.end(),
                                 [&](const auto& v) { return Fold(v.name) == Fold(name); });
    return it == key.values.end() ? nullptr : &*it;
}

void AppendEscaped(std::string& out, std::string_view bytes) {
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c > 0x7E || std::string_view("%\"[]").find(ch) != std::string_view::npos) {
            out += {'%', HexDigit(c >> 4U), HexDigit(c)};
        } else {
            out += ch;
        }
    }
}

// Decodes "%XY" escapes; refuses a bad escape, control bytes and an unescaped '"'.
bool Unescape(std::string_view text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const int hi = c == '%' && i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
        const int lo = c == '%' && i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
        if (c == '%' ? hi < 0 || lo < 0 : c < 0x20 || c == 0x7F || c == '"') {
            return false;
        }
        out += c == '%' ? static_cast<char>((hi << 4) | lo) : text[i];
        i += c == '%' ? 2 : 0;
    }
    return true;
}

// Reads '"' escaped '"' at the start of text and removes it from text.
bool ParseQuoted(std::string_view& text, std::string& out) {
    const std::size_t close = text.starts_with('"') ? text.find('"', 1) : std::string_view::npos;
    if (close == std::string_view::npos || !Unescape(text.substr(1, close - 1), out)) {
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

// Holds "<file>.lock", a folder: creating one is atomic and fails when it exists, on every
// platform. A lock older than the stale age was left by a process that died and is taken over.
struct FileLock {
    FileLock(const fs::path& file, const RegistryFileOptions& options)
        : lock(fs::path(file).concat(".lock")) {
        const auto deadline = std::chrono::steady_clock::now() + options.lockTimeout;
        std::error_code ec;
        while (!(held = fs::create_directory(lock, ec))) {
            // "exists" also when its holder removed it meanwhile: try again then.
            if (ec && ec != std::errc::file_exists && !fs::exists(lock, ec)) {
                return;  // cannot be created at all (missing or read-only folder)
            }
            const auto written = fs::last_write_time(lock, ec);
            if (!ec && fs::file_time_type::clock::now() - written > options.lockStaleAfter) {
                fs::remove(lock, ec);
            } else if (std::chrono::steady_clock::now() >= deadline) {
                return;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
    }
    ~FileLock() {
        std::error_code ec;
        static_cast<void>(held && fs::remove(lock, ec));
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    fs::path lock;
    bool held = false;
};

fs::path FromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? fs::path(value) : fs::path();
}

}  // namespace

std::string CanonicalKeyPath(std::string_view path) {
    RegistryFileData scratch;
    return Fold(EnsureKey(scratch, path).path);
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
        std::string_view line = text.substr(0, text.find('\n'));
        text.remove_prefix(std::min(text.size(), line.size() + 1));
        if (line.ends_with('\r')) {
            line.remove_suffix(1);  // a file saved with CR LF line ends
        }
        if (++lineNo == 1 && line != kMagic) {
            return fail("not a registry file of a known version");
        }
        if (lineNo == 1 || line.empty() || line.front() == '#') {
            continue;
        }
        if (ended) {
            return fail("text after the end line");
        }
        if (line == "End") {
            ended = true;
            continue;
        }
        std::string path;
        if (line.front() == '[') {
            const std::string_view inner = line.substr(1, line.size() - 2);
            if (line.size() < 2 || !line.ends_with(']') ||
                inner.find_first_of("[]") != std::string_view::npos || !Unescape(inner, path)) {
                return fail("bad key line");
            }
            const auto existing = data.keys.find(CanonicalKeyPath(path));
            if (existing != data.keys.end() && !existing->second.values.empty()) {
                return fail("key listed twice");
            }
            current = &EnsureKey(data, path);
            continue;
        }
        RegistryFileValue value;
        std::string_view rest = line;
        if (line.front() != '"' || current == nullptr) {
            return fail("line is neither a key nor a value below a key");
        }
        if (!ParseQuoted(rest, value.name) || !rest.starts_with('=') ||
            rest.find(':') == std::string_view::npos) {
            return fail("bad value name");
        }
        const std::string_view type = rest.substr(1, rest.find(':') - 1);
        rest.remove_prefix(rest.find(':') + 1);
        std::uint32_t number = 0;
        if (type == "dword" && ParseUnsigned(rest, number)) {
            value.type = reg::Dword;
            value.bytes.assign(reinterpret_cast<const char*>(&number), 4);
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
    }
    return ended ? std::optional(std::move(data)) : fail("file ends early (no end line)");
}

std::string FormatRegistryFile(const RegistryFileData& data) {
    std::string out(kMagic);
    out += "\n# Written by Tavrino Wallpaper Manager; see REGISTRY-FORMAT.md for the format.\n";
    for (const auto& [folded, key] : data.keys) {
        if (!folded.empty() || !key.values.empty()) {  // the root itself always exists
            AppendEscaped(out += "\n[", key.path);
            out += "]\n";
        }
        for (const RegistryFileValue& v : key.values) {
            AppendEscaped(out += '"', v.name);
            std::uint32_t number = 0;
            if (v.type == reg::Dword && v.bytes.size() == 4) {
                std::memcpy(&number, v.bytes.data(), 4);
                out += "\"=dword:" + std::to_string(number) + "\n";
            } else {
                out += v.type == reg::Sz ? "\"=sz:\"" : "\"=raw(" + std::to_string(v.type) + "):\"";
                AppendEscaped(out, v.bytes);
                out += "\"\n";
            }
        }
    }
    return out + "\nEnd\n";
}

fs::path DefaultUserRegistryFile() {
    const fs::path over = FromEnvironment("TAVRINO_REGISTRY_USER_FILE");
    const fs::path xdg = FromEnvironment("XDG_CONFIG_HOME");
    const fs::path home = FromEnvironment("HOME");
    if (!over.empty() || (!xdg.is_absolute() && home.empty())) {
        return over;
    }
    return (xdg.is_absolute() ? xdg : home / ".config") / kAppFolder / "registry.txt";
}

fs::path DefaultSystemRegistryFile() {
    const fs::path over = FromEnvironment("TAVRINO_REGISTRY_SYSTEM_FILE");
    return over.empty() ? fs::path("/etc/xdg") / kAppFolder / "registry-system.txt" : over;
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
    std::error_code ec;
    const fs::file_status status = fs::status(file, ec);
    if (file.empty() || status.type() == fs::file_type::not_found) {
        if (user && options_.seedDesktopDefaults && !file.empty()) {
            EnsureKey(data, "Control Panel\\desktop").values = {
                {"TileWallpaper", reg::Sz, std::string("0\0", 2)},
                {"WallpaperStyle", reg::Sz, std::string("0\0", 2)}};
        }
        return user && file.empty() ? reg::BadStore : reg::Success;
    }
    std::ifstream in;
    if (!ec && status.type() == fs::file_type::regular) {
        in.open(file, std::ios::binary);
    }
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    if (!in.is_open() || in.bad()) {
        return reg::BadStore;
    }
    std::optional<RegistryFileData> parsed = ParseRegistryFile(text);
    if (!parsed && user && !options_.userReadOnly) {
        // Kept for the user to look at; the next change starts a new file.
        fs::path aside = fs::path(file).concat(".corrupt");
        for (int n = 1; fs::exists(aside, ec) && n < 1000; ++n) {
            aside = fs::path(file).concat(".corrupt." + std::to_string(n));
        }
        in.close();
        fs::rename(file, aside, ec);
    }
    if (parsed) {
        data = std::move(*parsed);
    }
    return parsed ? reg::Success : reg::BadStore;
}

template <class Change>
std::int32_t RegistryFileStore::Modify(Change&& change) {
    const fs::path& file = options_.userFile;
    std::error_code ec;
    if (options_.userReadOnly || file.empty()) {
        return options_.userReadOnly ? reg::AccessDenied : reg::BadStore;
    }
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
    RegistryFileData data;
    bool changed = false;
    std::int32_t rc = lock.held ? Load(true, data) : reg::AccessDenied;
    if (rc != reg::Success || (rc = change(data, changed)) != reg::Success || !changed) {
        return rc;
    }
    // The new file reaches the disk under a name of its own, then replaces the old one in one
    // rename: readers see the old or the new file, never part of one.
    const fs::path temp = fs::path(file).concat(".tmp-" + std::to_string(std::random_device{}()));
    try {
        library::WriteAndFlushFile(temp, FormatRegistryFile(data));
        fs::rename(temp, file);
    } catch (const fs::filesystem_error&) {
        fs::remove(temp, ec);
        return reg::AccessDenied;
    }
    library::FlushFolder(file.parent_path());
    return reg::Success;
}

std::int32_t RegistryFileStore::CreateKey(RegKey root, const std::string& subKey, RegKey& key) {
    const std::optional<Handle> base = Resolve(root);
    if (!base || !base->user) {
        return base ? reg::AccessDenied : reg::InvalidHandle;
    }
    const std::string path = CanonicalKeyPath(base->path + "\\" + subKey);
    const std::int32_t rc = Modify([&](RegistryFileData& data, bool& changed) {
        changed = !data.keys.contains(path);
        EnsureKey(data, base->path + "\\" + subKey);
        return reg::Success;
    });
    if (rc == reg::Success) {
        handles_.emplace(key = nextHandle_++, Handle{true, path});
    }
    return rc;
}

std::int32_t RegistryFileStore::OpenKey(RegKey root, const std::string& subKey,
                                        std::uint32_t /*options*/, std::uint32_t /*access*/,
                                        RegKey& key) {
    const std::optional<Handle> base = Resolve(root);
    const std::string path = base ? CanonicalKeyPath(base->path + "\\" + subKey) : "";
    RegistryFileData data;
    std::int32_t rc = base ? Load(base->user, data) : reg::InvalidHandle;
    if (rc == reg::Success && !data.keys.contains(path)) {
        rc = reg::FileNotFound;
    } else if (rc == reg::Success) {
        handles_.emplace(key = nextHandle_++, Handle{base->user, path});
    }
    return rc;
}

std::int32_t RegistryFileStore::QueryValue(RegKey key, const std::string& valueName,
                                           std::uint32_t* type, std::uint8_t* data,
                                           std::uint32_t* size) {
    const std::optional<Handle> handle = Resolve(key);
    RegistryFileData file;
    std::int32_t rc = !handle                              ? reg::InvalidHandle
                      : data != nullptr && size == nullptr ? reg::InvalidParameter
                                                           : Load(handle->user, file);
    // The key may have gone since it was opened: another process changed the file.
    const auto k = rc == reg::Success ? file.keys.find(handle->path) : file.keys.end();
    const RegistryFileValue* v = k == file.keys.end() ? nullptr : FindValue(k->second, valueName);
    if (v == nullptr) {
        return rc == reg::Success ? reg::FileNotFound : rc;
    }
    const auto needed = static_cast<std::uint32_t>(v->bytes.size());
    rc = data == nullptr || *size >= needed ? reg::Success : reg::MoreData;
    if (data != nullptr && rc == reg::Success) {
        std::copy(v->bytes.begin(), v->bytes.end(), data);
    }
    if (type != nullptr) {
        *type = v->type;
    }
    if (size != nullptr) {
        *size = needed;
    }
    return rc;
}

std::int32_t RegistryFileStore::SetValue(RegKey key, const std::string& valueName,
                                         std::uint32_t type, const std::uint8_t* data,
                                         std::uint32_t size) {
    const std::optional<Handle> handle = Resolve(key);
    if (!handle || !handle->user || (data == nullptr && size != 0)) {
        return !handle ? reg::InvalidHandle
                       : (!handle->user ? reg::AccessDenied : reg::InvalidParameter);
    }
    const std::string bytes(data, data + size);
    return Modify([&](RegistryFileData& file, bool& changed) {
        const auto k = file.keys.find(handle->path);
        if (k == file.keys.end()) {
            return reg::FileNotFound;
        }
        if (RegistryFileValue* v = FindValue(k->second, valueName); v != nullptr) {
            *v = {v->name, type, bytes};  // the spelling first written stays
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
