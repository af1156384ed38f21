// LXQt: pcmanfm-qt draws the desktop and takes the picture from its command line, passing it
// on to the running instance.
#include <QString>
#include <QStringList>
#include <utility>

#include "wallpaper/desktop/DesktopCommands.h"
#include "wallpaper/desktop/DesktopProcess.h"
#include "wallpaper/desktop/DesktopSetter.h"

namespace tavrino {

namespace {

class LxqtDesktopSetter final : public DesktopSetter {
public:
    explicit LxqtDesktopSetter(Environment environment) : environment_(std::move(environment)) {}

    [[nodiscard]] std::string Name() const override { return "LXQt"; }
    [[nodiscard]] bool CachesByFileName() const override { return true; }

    void SetBackground(const std::string& bitmapPath, Placement placement) override {
        RunProgramChecked(
            environment_, QStringLiteral("pcmanfm-qt"),
            {QStringLiteral("--set-wallpaper"), QString::fromStdString(bitmapPath),
             QStringLiteral("--wallpaper-mode"), QString::fromLatin1(PcmanfmMode(placement))});
    }

private:
    Environment environment_;
};

}  // namespace

std::unique_ptr<DesktopSetter> MakeLxqtDesktopSetter(const Environment& environment) {
    return std::make_unique<LxqtDesktopSetter>(environment);
}

}  // namespace tavrino
