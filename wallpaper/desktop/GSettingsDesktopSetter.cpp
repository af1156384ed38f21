#include "wallpaper/desktop/GSettingsDesktopSetter.h"

#include <QString>
#include <QStringList>
#include <algorithm>
#include <utility>

#include "support/errors/Errors.h"
#include "wallpaper/desktop/DesktopCommands.h"
#include "wallpaper/desktop/DesktopProcess.h"

#include <glib.h>

namespace tavrino {

std::optional<std::string> ParseGVariantString(std::string_view printed) {
    const std::string text(printed);
    GError* error = nullptr;
    GVariant* value =
        g_variant_parse(G_VARIANT_TYPE_STRING, text.c_str(), nullptr, nullptr, &error);
    if (value == nullptr) {
        g_error_free(error);
        return std::nullopt;
    }
    std::string result = g_variant_get_string(value, nullptr);
    g_variant_unref(value);
    return result;
}

namespace {

const QString kGSettings = QStringLiteral("gsettings");

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
            line.pop_back();
        }
        if (!line.empty()) {
            lines.push_back(line);
        }
        start = end + 1;
    }
    return lines;
}

}  // namespace

GSettingsDesktopSetter::GSettingsDesktopSetter(GSettingsWallpaperKeys keys, Environment environment)
    : keys_(std::move(keys)), environment_(std::move(environment)) {}

void GSettingsDesktopSetter::SetBackground(const std::string& bitmapPath, Placement placement) {
    const QString schema = QString::fromStdString(keys_.schema);
    // Also tells a missing schema ("No such schema") apart before anything is written.
    const std::vector<std::string> available = Lines(
        RunProgramChecked(environment_, kGSettings, {QStringLiteral("list-keys"), schema}).output);
    const auto has = [&](const std::string& key) {
        return std::find(available.begin(), available.end(), key) != available.end();
    };

    std::vector<std::pair<std::string, std::string>> wanted;  // key, value
    const std::string uri = FileUri(bitmapPath);
    for (std::size_t i = 0; i < keys_.uriKeys.size(); ++i) {
        if (i == 0 || has(keys_.uriKeys[i])) {
            wanted.emplace_back(keys_.uriKeys[i], uri);
        }
    }
    if (!keys_.pathKey.empty()) {
        wanted.emplace_back(keys_.pathKey, bitmapPath);
    }
    wanted.emplace_back(keys_.optionsKey, GSettingsPictureOptions(placement));

    // Placement first, so the desktop never draws the new picture with the old placement.
    std::rotate(wanted.begin(), wanted.end() - 1, wanted.end());
    for (const auto& [key, value] : wanted) {
        RunProgramChecked(environment_, kGSettings,
                          {QStringLiteral("set"), schema, QString::fromStdString(key),
                           QString::fromStdString(GVariantStringLiteral(value))});
    }
    for (const auto& [key, value] : wanted) {
        const ProgramResult stored = RunProgramChecked(
            environment_, kGSettings, {QStringLiteral("get"), schema, QString::fromStdString(key)});
        const auto text = ParseGVariantString(stored.output);
        if (!text || *text != value) {
            const ProgramResult shown{0, stored.output, {}};
            const ProgramResult warned{0, stored.errors, {}};
            std::string message =
                keys_.desktopName + " did not keep the wallpaper: " + keys_.schema + " " + key +
                " is " + ProgramWords(shown) + " instead of " + GVariantStringLiteral(value);
            if (!ProgramWords(warned).empty()) {
                message += " (" + ProgramWords(warned) + ")";
            }
            throw Error(errnum::DesktopRefused, message);
        }
    }
}

}  // namespace tavrino
