#include "wallpaper/desktop/ApplyWallpaper.h"

#include <QString>
#include <filesystem>
#include <system_error>
#include <utility>

#include "library/FolderListing.h"
#include "settings/Options.h"
#include "settings/clsRegEdit.h"
#include "support/MessageBox.h"
#include "support/errors/ErrorCodes.h"
#include "support/errors/Errors.h"
#include "wallpaper/desktop/DesktopSetter.h"
#include "wallpaper/desktop/Placement.h"

namespace tavrino {

ApplyWallpaper::ApplyWallpaper(ErrorReporter& reporter, const OptionBoxes& options,
                               clsRegEdit& registry, ComposeFunction compose,
                               CurrentIndexFunction currentIndex, RowPathFunction rowPath,
                               DesktopSetter& desktop, std::string bitmapPath,
                               QWidget* messageParent)
    : reporter_(reporter),
      options_(options),
      registry_(registry),
      compose_(std::move(compose)),
      currentIndex_(std::move(currentIndex)),
      rowPath_(std::move(rowPath)),
      desktop_(desktop),
      bitmapPath_(std::move(bitmapPath)),
      messageParent_(messageParent) {}

void ApplyWallpaper::operator()() {
    Guarded(reporter_, loc::ApplyWallpaper, [this] { Run(); });
}

bool ApplyWallpaper::BringInLine(const char* valueName, bool wantOn, char onText, char offText,
                                 std::string& value) {
    registry_.SetValueName(valueName);
    bool ok = registry_.RegistryReadValue();
    // A failed read leaves the previous value's data behind; deciding on it would write one
    // value from another's contents, so a value that could not be read is left alone.
    value = ok ? FirstCharacter(registry_.RegCurrentValue()) : std::string();
    const char replace = wantOn ? offText : onText;
    const char wanted = wantOn ? onText : offText;
    if (value.size() == 1 && value.front() == replace) {
        ok = registry_.RegistryWriteString(std::string_view(&wanted, 1));
        value.assign(1, wanted);
    }
    return ok;
}

void ApplyWallpaper::Run() {
    if (currentIndex_() == 0) {
        return;
    }

    const bool tile = options_.State(Option::Tile) != 0;
    if (!BringInLine("TileWallpaper", tile, '1', '0', tileValue_)) {
        ShowMessage(messageParent_, QStringLiteral("Problem Setting Registry (TileWallPaper)"));
    }

    const bool stretch =
        options_.State(Option::Stretch) == 1 && options_.State(Option::Aspect) == 0;
    if (!BringInLine("WallpaperStyle", stretch, '2', '0', styleValue_)) {
        ShowMessage(messageParent_,
                    QStringLiteral("Problem Setting Registry (WallpaperStyle Centered)"));
    }

    // CurrentIndex is read afresh: a message box above may have let the user pick another row.
    const std::string imagePath = rowPath_(currentIndex_());
    if (!library::ImageFileExists(imagePath)) {
        return;
    }
    compose_(imagePath);
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::path(bitmapPath_), error)) {
        throw Error(errnum::FileNotFound,
                    "The wallpaper bitmap \"" + bitmapPath_ + "\" was not written");
    }
    desktop_.SetBackground(bitmapPath_, PlacementFromStyleValues(tileValue_, styleValue_));
}

}  // namespace tavrino
