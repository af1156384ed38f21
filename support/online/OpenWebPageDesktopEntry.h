// Reading a freedesktop.org desktop entry far enough to start the program it describes with one
// address: the [Desktop Entry] group's Exec line, its quoting and its field codes. Used to start
// the browser associated with HTML pages on desktops that follow the XDG conventions.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrino {

struct DesktopEntry {
    std::string type;  // "Application" for programs
    std::string name;
    std::string icon;
    std::string exec;  // the Exec value with the general escapes (\s, \n, \t, \r, \\) resolved
    bool hidden = false;
};

// The [Desktop Entry] group of a desktop file; nullopt when the text has no such group.
// Localised keys (Name[de]=...) and other groups are skipped.
std::optional<DesktopEntry> ParseDesktopEntry(std::string_view content);

// Splits an Exec value into the program and its arguments by the quoting rules of desktop
// entries. nullopt for an unbalanced quote or an empty line.
std::optional<std::vector<std::string>> SplitExecLine(std::string_view exec);

// What a program gets to open.
struct OpenTarget {
    std::string url;        // the address as a URL (file:// for local pages)
    std::string localPath;  // the local file's path, empty for a web address
};

// The command line that opens target with the entry's program: the first of %u %U %f %F becomes
// the target as ONE argument (%f/%F get the local path when there is one), later ones vanish;
// %i, %c, %k are filled in, deprecated codes removed, "%%" becomes "%". An Exec line without a
// file or URL code gets the address appended as its last argument. nullopt when the entry is
// not a usable program (hidden, not an application, no Exec, bad quoting).
std::optional<std::vector<std::string>> BrowserCommandLine(const DesktopEntry& entry,
                                                           std::string_view desktopFilePath,
                                                           const OpenTarget& target);

// Relative paths under an "applications" folder where a desktop file id can live: the id itself,
// then the forms with some "-" read as sub-folder separators ("kde4-foo.desktop" may be
// "kde4/foo.desktop"). Empty for an id that is not a plain "*.desktop" file name.
std::vector<std::string> DesktopFileIdCandidates(std::string_view id);

}  // namespace tavrino
