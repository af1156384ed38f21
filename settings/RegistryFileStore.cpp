#include "settings/RegistryFileStore.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
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
    RegistryFileKey* key = &data[std::string()];
    std::string folded;
    std::istringstream parts{std::string(path)};
    for (std::string part; std::getline(parts, part, '\\');) {
        if (!part.empty()) {
            folded += (folded.empty() ? "" : "\\") + Fold(part);
            RegistryFileKey& next = data[folded];
            if (next.path.empty()) {
                next.path = key->path.empty() ? part : key->path + "\\" + part;
            }
            key = &next;
        }
    }
    return *key;
}

std::string CanonicalKeyPath(std::string_view path) {
    RegistryFileData scratch;
    return Fold(EnsureKey(scratch, path).path);
}

RegistryFileValue* FindValue(RegistryFileKey& key, std::string_view name) {
    const auto it = std::find_if(key.values.begin(), key.values.end(),
                                 [&](const auto& v) { return Fold(v.name) == Fold(name); });
    return it == key.values.end() ? nullptr : &*it;
}

// A registry error code, thrown from deep inside to the call that answers it.
struct Failure {
    std::int32_t code;
};

void Require(bool ok, std::int32_t code = reg::BadStore) {
    if (!ok) {
        throw Failure{code};
    }
}

// Runs a registry call: 0, or the code of the failure that ended it.
template <class Call>
std::int32_t Answer(Call&& call) {
    try {
        call();
        return reg::Success;
    } catch (const Failure& failure) {
        return failure.code;
    }
}

RegistryFileKey& FindKey(RegistryFileData& data, const std::string& path) {
    const auto it = data.find(path);
    Require(it != data.end(), reg::FileNotFound);
    return it->second;
}

void AppendEscaped(std::string& out, std::string_view bytes) {
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        const bool plain = c >= 0x20 && c <= 0x7E && std::string_view("%\"[]").find(ch) > 3;
        const char escape[] = {'%', HexDigit(c >> 4U), HexDigit(c)};
        out.append(plain ? &ch : escape, plain ? 1 : 3);
    }
}

// Decodes "%XY" escapes; refuses a bad escape, control bytes and an unescaped '"'.
std::string Unescape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const int hi = c == '%' && i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
        const int lo = c == '%' && i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
        Require(c == '%' ? hi >= 0 && lo >= 0 : c >= 0x20 && c != 0x7F && c != '"');
        out += c == '%' ? static_cast<char>((hi << 4) | lo) : text[i];
        i += c == '%' ? 2 : 0;
    }
    return out;
}

// Reads '"' escaped '"' at the start of text and removes it from text.
std::string ParseQuoted(std::string_view& text) {
    const std::size_t close = text.starts_with('"') ? text.find('"', 1) : std::string_view::npos;
    Require(close != std::string_view::npos);
    std::string out = Unescape(text.substr(1, close - 1));
    text.remove_prefix(close + 1);
    return out;
}

bool ParseUnsigned(std::string_view text, std::uint32_t& value) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return !text.empty() && text.size() <= 10 && error == std::errc() && stop == end;
}

// Takes "<file>.lock", a folder: creating one is atomic and fails when it exists, on every
// platform. A lock older than the stale age was left by a process that died and is taken over.
bool TakeLock(const fs::path& lock, const RegistryFileOptions& options) {
    const auto deadline = std::chrono::steady_clock::now() + options.lockTimeout;
    std::error_code ec;
    while (!fs::create_directory(lock, ec)) {
        // "exists" also when its holder removed it meanwhile: try again then.
        if (ec && ec != std::errc::file_exists && !fs::exists(lock, ec)) {
            return false;  // cannot be created at all (missing or read-only folder)
        }
        const auto written = fs::last_write_time(lock, ec);
        if (!ec && fs::file_time_type::clock::now() - written > options.lockStaleAfter) {
            fs::remove(lock, ec);
        } else if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    return true;
}

fs::path FromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? fs::path(value) : fs::path();
}

// Reads a root's file afresh (a damaged user file is moved aside first).
RegistryFileData Load(const RegistryFileOptions& options, bool user) {
    const fs::path& file = user ? options.userFile : options.systemFile;
    RegistryFileData data{{std::string(), {}}};
    Require(!user || !file.empty());
    std::error_code ec;
    const fs::file_status status = fs::status(file, ec);
    if (file.empty() || status.type() == fs::file_type::not_found) {
        if (user && options.seedDesktopDefaults) {
            EnsureKey(data, "Control Panel\\desktop").values = {
                {"TileWallpaper", reg::Sz, std::string("0\0", 2)},
                {"WallpaperStyle", reg::Sz, std::string("0\0", 2)}};
        }
        return data;
    }
    Require(!ec && status.type() == fs::file_type::regular);
    std::ifstream in(file, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    Require(in.is_open() && !in.bad());
    std::optional<RegistryFileData> parsed = ParseRegistryFile(text);
    if (!parsed && user && !options.userReadOnly) {
        // Kept for the user to look at; the next change starts a new file.
        fs::path aside = fs::path(file).concat(".corrupt");
        for (int n = 1; fs::exists(aside, ec) && n < 1000; ++n) {
            aside = fs::path(file).concat(".corrupt." + std::to_string(n));
        }
        in.close();
        fs::rename(file, aside, ec);
    }
    Require(parsed.has_value());
    return std::move(*parsed);
}

// Runs change(data) on the freshly read user file under the lock and writes the result back when
// it says it changed something.
template <class Change>
void Modify(const RegistryFileOptions& options, Change&& change) {
    const fs::path& file = options.userFile;
    Require(!options.userReadOnly, reg::AccessDenied);
    Require(!file.empty());
    std::error_code ec;
    Require(!file.has_parent_path() || (fs::create_directories(file.parent_path(), ec), !ec),
            reg::AccessDenied);
    // A file the user marked read-only stays as it is, even for a process that could write it.
    const fs::file_status status = fs::status(file, ec);
    Require(ec || status.type() != fs::file_type::regular ||
                (status.permissions() & fs::perms::owner_write) != fs::perms::none,
            reg::AccessDenied);
    const fs::path lock = fs::path(file).concat(".lock");
    Require(TakeLock(lock, options), reg::AccessDenied);
    const std::unique_ptr<const fs::path, void (*)(const fs::path*)> unlock(
        &lock, [](const fs::path* held) {
            std::error_code error;
            fs::remove(*held, error);
        });
    RegistryFileData data = Load(options, true);
    if (!change(data)) {
        return;
    }
    // The new file reaches the disk under a name of its own, then replaces the old one in one
    // rename: readers see the old or the new file, never part of one.
    const fs::path temp = fs::path(file).concat(".tmp-" + std::to_string(std::random_device{}()));
    try {
        library::WriteAndFlushFile(temp, FormatRegistryFile(data));
        fs::rename(temp, file);
    } catch (const fs::filesystem_error&) {
        fs::remove(temp, ec);
        throw Failure{reg::AccessDenied};
    }
    library::FlushFolder(file.parent_path());
}

// One value line below key: "name"=dword:N, "name"=sz:"text" or "name"=raw(type):"bytes".
void ParseValue(std::string_view line, RegistryFileKey* key) {
    RegistryFileValue value;
    std::string_view rest = line;
    Require(line.front() == '"' && key != nullptr);
    value.name = ParseQuoted(rest);
    Require(rest.starts_with('=') && rest.find(':') != std::string_view::npos);
    const std::string_view type = rest.substr(1, rest.find(':') - 1);
    rest.remove_prefix(rest.find(':') + 1);
    std::uint32_t number = 0;
    if (type == "dword" && ParseUnsigned(rest, number)) {
        value.type = reg::Dword;
        value.bytes.assign(reinterpret_cast<const char*>(&number), 4);
    } else {
        const bool raw = type.starts_with("raw(") && type.ends_with(')') && type.size() > 5 &&
                         ParseUnsigned(type.substr(4, type.size() - 5), number);
        Require(type == "sz" || raw);
        value.type = raw ? number : reg::Sz;
        value.bytes = ParseQuoted(rest);
        Require(rest.empty());
    }
    Require(FindValue(*key, value.name) == nullptr);
    key->values.push_back(std::move(value));
}

}  // namespace

std::optional<RegistryFileData> ParseRegistryFile(std::string_view text) {
    RegistryFileData data{{std::string(), {}}};
    RegistryFileKey* current = nullptr;
    std::size_t lineNo = 0;
    bool ended = false;
    try {
        while (!text.empty() || lineNo == 0) {
            std::string_view line = text.substr(0, text.find('\n'));
            text.remove_prefix(std::min(text.size(), line.size() + 1));
            line.remove_suffix(line.ends_with('\r') ? 1 : 0);  // a file saved with CR LF line ends
            Require(++lineNo > 1 || line == kMagic);
            if (lineNo == 1 || line.empty() || line.front() == '#') {
                continue;
            }
            Require(!ended);  // nothing after the end line
            ended = line == "End";
            const std::string_view inner = line.substr(1, line.size() - 2);
            if (line.front() == '[') {
                Require(line.ends_with(']') && inner.find_first_of("[]") == std::string_view::npos);
                current = &EnsureKey(data, Unescape(inner));
                Require(current->values.empty());  // a key listed twice
            } else if (!ended) {
                ParseValue(line, current);
            }
        }
        Require(ended);  // a file cut short
    } catch (const Failure&) {
        return std::nullopt;
    }
    return data;
}

std::string FormatRegistryFile(const RegistryFileData& data) {
    std::string out(kMagic);
    out += "\n# Written by Tavrino Wallpaper Manager; see REGISTRY-FORMAT.md for the format.\n";
    for (const auto& [folded, key] : data) {
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
    const fs::path config = xdg.is_absolute() ? xdg : home.empty() ? fs::path() : home / ".config";
    return !over.empty() || config.empty() ? over : config / kAppFolder / "registry.txt";
}

fs::path DefaultSystemRegistryFile() {
    const fs::path over = FromEnvironment("TAVRINO_REGISTRY_SYSTEM_FILE");
    return over.empty() ? fs::path("/etc/xdg") / kAppFolder / "registry-system.txt" : over;
}

RegistryFileStore::Handle RegistryFileStore::Resolve(RegKey key) const {
    const bool root =
        key == reg::RootKey(reg::CurrentUser) || key == reg::RootKey(reg::LocalMachine);
    const auto it = handles_.find(key);
    Require(root || it != handles_.end(), reg::InvalidHandle);
    return root ? Handle{key == reg::RootKey(reg::CurrentUser), {}} : it->second;
}

std::int32_t RegistryFileStore::CreateKey(RegKey root, const std::string& subKey, RegKey& key) {
    return Answer([&] {
        const Handle base = Resolve(root);
        Require(base.user, reg::AccessDenied);
        const std::string path = CanonicalKeyPath(base.path + "\\" + subKey);
        Modify(options_, [&](RegistryFileData& data) {
            const bool changed = !data.contains(path);
            EnsureKey(data, base.path + "\\" + subKey);
            return changed;
        });
        handles_.emplace(key = nextHandle_++, Handle{true, path});
    });
}

std::int32_t RegistryFileStore::OpenKey(RegKey root, const std::string& subKey,
                                        std::uint32_t /*options*/, std::uint32_t /*access*/,
                                        RegKey& key) {
    return Answer([&] {
        const Handle base = Resolve(root);
        const std::string path = CanonicalKeyPath(base.path + "\\" + subKey);
        Require(Load(options_, base.user).contains(path), reg::FileNotFound);
        handles_.emplace(key = nextHandle_++, Handle{base.user, path});
    });
}

std::int32_t RegistryFileStore::QueryValue(RegKey key, const std::string& valueName,
                                           std::uint32_t* type, std::uint8_t* data,
                                           std::uint32_t* size) {
    return Answer([&] {
        const Handle handle = Resolve(key);
        Require(data == nullptr || size != nullptr, reg::InvalidParameter);
        RegistryFileData file = Load(options_, handle.user);
        // The key may have gone since it was opened: another process changed the file.
        const RegistryFileValue* v = FindValue(FindKey(file, handle.path), valueName);
        Require(v != nullptr, reg::FileNotFound);
        const auto needed = static_cast<std::uint32_t>(v->bytes.size());
        const bool fits = data == nullptr || *size >= needed;
        std::copy_n(v->bytes.begin(), data != nullptr && fits ? needed : 0, data);
        std::uint32_t unused = 0;
        *(type != nullptr ? type : &unused) = v->type;
        *(size != nullptr ? size : &unused) = needed;
        Require(fits, reg::MoreData);
    });
}

std::int32_t RegistryFileStore::SetValue(RegKey key, const std::string& valueName,
                                         std::uint32_t type, const std::uint8_t* data,
                                         std::uint32_t size) {
    return Answer([&] {
        const Handle handle = Resolve(key);
        Require(handle.user, reg::AccessDenied);
        Require(data != nullptr || size == 0, reg::InvalidParameter);
        const std::string bytes(data, data + size);
        Modify(options_, [&](RegistryFileData& file) {
            RegistryFileKey& k = FindKey(file, handle.path);
            if (RegistryFileValue* v = FindValue(k, valueName); v != nullptr) {
                *v = {v->name, type, bytes};  // the spelling first written stays
            } else {
                k.values.push_back({valueName, type, bytes});
            }
            return true;
        });
    });
}

std::int32_t RegistryFileStore::CloseKey(RegKey key) {
    const bool root =
        key == reg::RootKey(reg::CurrentUser) || key == reg::RootKey(reg::LocalMachine);
    return root || handles_.erase(key) == 1 ? reg::Success : reg::InvalidHandle;
}

}  // namespace tavrino
