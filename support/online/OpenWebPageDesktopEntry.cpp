#include "support/online/OpenWebPageDesktopEntry.h"

#include <cstddef>

namespace tavrino {

namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

// The escapes every string value may hold.
std::string UnescapeValue(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c != '\\' || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const char next = value[++i];
        switch (next) {
            case 's':
                out += ' ';
                break;
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case '\\':
                out += '\\';
                break;
            default:
                // Not a general escape: keep it for the Exec quoting rules.
                out += '\\';
                out += next;
                break;
        }
    }
    return out;
}

bool IsTrue(std::string_view value) {
    return value == "true" || value == "1";
}

// A piece of an Exec argument: literal text, or a field code that is replaced later.
struct ArgPart {
    bool isCode = false;
    char code = 0;
    std::string text;
};

using ExecArg = std::vector<ArgPart>;

// Splits the Exec value into arguments, keeping field codes (only outside quotes) as codes.
std::optional<std::vector<ExecArg>> SplitExec(std::string_view exec) {
    std::vector<ExecArg> args;
    ExecArg current;
    bool inArg = false;
    bool quoted = false;
    auto addText = [&current](char c) {
        if (current.empty() || current.back().isCode) {
            current.push_back(ArgPart{});
        }
        current.back().text += c;
    };
    for (std::size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (quoted) {
            if (c == '"') {
                quoted = false;
            } else if (c == '\\' && i + 1 < exec.size()) {
                addText(exec[++i]);
            } else {
                addText(c);
            }
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inArg) {
                args.push_back(std::move(current));
                current.clear();
                inArg = false;
            }
            continue;
        }
        inArg = true;
        if (c == '"') {
            quoted = true;
        } else if (c == '%' && i + 1 < exec.size()) {
            const char code = exec[++i];
            if (code == '%') {
                addText('%');
            } else {
                current.push_back(ArgPart{true, code, {}});
            }
        } else {
            addText(c);
        }
    }
    if (quoted) {
        return std::nullopt;
    }
    if (inArg) {
        args.push_back(std::move(current));
    }
    if (args.empty()) {
        return std::nullopt;
    }
    return args;
}

bool IsTargetCode(char code) {
    return code == 'u' || code == 'U' || code == 'f' || code == 'F';
}

}  // namespace

std::optional<DesktopEntry> ParseDesktopEntry(std::string_view content) {
    DesktopEntry entry;
    bool found = false;
    bool inEntryGroup = false;
    bool haveExec = false;
    while (!content.empty()) {
        const std::size_t end = content.find('\n');
        std::string_view line = Trim(content.substr(0, end));
        content = end == std::string_view::npos ? std::string_view{} : content.substr(end + 1);
        if (line.empty() || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            // Only the first [Desktop Entry] group counts.
            inEntryGroup = !found && line == "[Desktop Entry]";
            found = found || inEntryGroup;
            continue;
        }
        if (!inEntryGroup) {
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            continue;
        }
        const std::string_view key = Trim(line.substr(0, eq));
        const std::string value = UnescapeValue(Trim(line.substr(eq + 1)));
        if (key == "Type") {
            entry.type = value;
        } else if (key == "Name" && entry.name.empty()) {
            entry.name = value;
        } else if (key == "Icon") {
            entry.icon = value;
        } else if (key == "Exec" && !haveExec) {
            entry.exec = value;
            haveExec = true;
        } else if (key == "Hidden") {
            entry.hidden = IsTrue(value);
        }
    }
    if (!found) {
        return std::nullopt;
    }
    return entry;
}

std::optional<std::vector<std::string>> SplitExecLine(std::string_view exec) {
    auto split = SplitExec(exec);
    if (!split) {
        return std::nullopt;
    }
    std::vector<std::string> args;
    for (const ExecArg& arg : *split) {
        std::string text;
        for (const ArgPart& part : arg) {
            if (part.isCode) {
                text += '%';
                text += part.code;
            } else {
                text += part.text;
            }
        }
        args.push_back(std::move(text));
    }
    return args;
}

std::optional<std::vector<std::string>> BrowserCommandLine(const DesktopEntry& entry,
                                                           std::string_view desktopFilePath,
                                                           const OpenTarget& target) {
    if (entry.hidden || (!entry.type.empty() && entry.type != "Application") ||
        entry.exec.empty()) {
        return std::nullopt;
    }
    auto split = SplitExec(entry.exec);
    if (!split) {
        return std::nullopt;
    }
    // The program itself never comes from a field code.
    for (const ArgPart& part : split->front()) {
        if (part.isCode) {
            return std::nullopt;
        }
    }
    std::vector<std::string> command;
    bool targetPlaced = false;
    auto targetFor = [&target](char code) -> const std::string& {
        const bool wantsFile = code == 'f' || code == 'F';
        return wantsFile && !target.localPath.empty() ? target.localPath : target.url;
    };
    for (const ExecArg& arg : *split) {
        // A code that is a whole argument may expand to several arguments or to none.
        if (arg.size() == 1 && arg.front().isCode) {
            const char code = arg.front().code;
            if (IsTargetCode(code)) {
                if (!targetPlaced) {
                    command.push_back(targetFor(code));
                    targetPlaced = true;
                }
            } else if (code == 'i') {
                if (!entry.icon.empty()) {
                    command.emplace_back("--icon");
                    command.push_back(entry.icon);
                }
            } else if (code == 'c') {
                command.push_back(entry.name);
            } else if (code == 'k') {
                command.emplace_back(desktopFilePath);
            }
            continue;
        }
        std::string text;
        for (const ArgPart& part : arg) {
            if (!part.isCode) {
                text += part.text;
            } else if (IsTargetCode(part.code)) {
                if (!targetPlaced) {
                    text += targetFor(part.code);
                    targetPlaced = true;
                }
            } else if (part.code == 'c') {
                text += entry.name;
            } else if (part.code == 'k') {
                text += desktopFilePath;
            }
        }
        command.push_back(std::move(text));
    }
    if (command.empty() || command.front().empty()) {
        return std::nullopt;
    }
    if (!targetPlaced) {
        command.push_back(target.url);
    }
    return command;
}

std::vector<std::string> DesktopFileIdCandidates(std::string_view id) {
    constexpr std::string_view kSuffix = ".desktop";
    if (id.size() <= kSuffix.size() || id.substr(id.size() - kSuffix.size()) != kSuffix ||
        id.find('/') != std::string_view::npos || id.find('\\') != std::string_view::npos ||
        id.front() == '.') {
        return {};
    }
    std::vector<std::size_t> dashes;
    for (std::size_t i = 0; i < id.size(); ++i) {
        if (id[i] == '-') {
            dashes.push_back(i);
        }
    }
    // Ids with many dashes are tried as written and with the leading dashes as folders only;
    // every combination would grow too fast to be worth it.
    constexpr std::size_t kMaxCombinedDashes = 6;
    std::vector<std::string> candidates;
    if (dashes.size() <= kMaxCombinedDashes) {
        const std::size_t combinations = std::size_t{1} << dashes.size();
        for (std::size_t mask = 0; mask < combinations; ++mask) {
            std::string candidate(id);
            for (std::size_t bit = 0; bit < dashes.size(); ++bit) {
                if ((mask >> bit) & 1U) {
                    candidate[dashes[bit]] = '/';
                }
            }
            candidates.push_back(std::move(candidate));
        }
    } else {
        std::string candidate(id);
        candidates.push_back(candidate);
        for (std::size_t dash : dashes) {
            candidate[dash] = '/';
            candidates.push_back(candidate);
        }
    }
    return candidates;
}

}  // namespace tavrino
