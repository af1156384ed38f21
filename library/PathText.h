// Showing our byte-string paths in Qt widgets and taking folder paths from Qt. Only ever
// convert for display or when a path comes from a Qt widget; a displayed text is never turned
// back into a path, because names that are not valid UTF-8 do not survive the trip.
// On Windows the bytes are UTF-8 (PathText_win.cpp); elsewhere they are the file system's own
// (PathText_posix.cpp).
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace tavrino::library {

QString PathToDisplay(std::string_view bytes);
std::string PathFromQt(const QString& path);

}  // namespace tavrino::library
