// sway: the background is an output setting, changed on every output through sway's IPC.
// sway answers success even when swaybg cannot read the file, so the file is checked first.
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <utility>

#include "support/errors/Errors.h"
#include "wallpaper/desktop/DesktopCommands.h"
#include "wallpaper/desktop/DesktopProcess.h"
#include "wallpaper/desktop/DesktopSetter.h"

namespace tavrino {

namespace {

class SwayDesktopSetter final : public DesktopSetter {
public:
    explicit SwayDesktopSetter(Environment environment) : environment_(std::move(environment)) {}

    [[nodiscard]] std::string Name() const override { return "sway"; }

    void SetBackground(const std::string& bitmapPath, Placement placement) override {
        const QFileInfo file(QString::fromStdString(bitmapPath));
        if (!file.isFile() || !file.isReadable()) {
            throw Error(errnum::DesktopRefused,
                        "sway cannot show \"" + bitmapPath + "\": the file cannot be read");
        }
        const std::string command = SwayBackgroundCommand(bitmapPath, placement);
        // swaymsg exits non-zero and prints sway's JSON reply when the command is refused.
        RunProgramChecked(environment_, QStringLiteral("swaymsg"),
                          {QStringLiteral("--"), QString::fromStdString(command)});
    }

private:
    Environment environment_;
};

}  // namespace

std::unique_ptr<DesktopSetter> MakeSwayDesktopSetter(const Environment& environment) {
    return std::make_unique<SwayDesktopSetter>(environment);
}

}  // namespace tavrino
