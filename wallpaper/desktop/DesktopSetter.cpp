#include "wallpaper/desktop/DesktopSetter.h"

#include <QProcessEnvironment>
#include <QString>
#include <utility>

#include "support/errors/Errors.h"
#include "wallpaper/desktop/ChangeFileNames.h"

namespace tavrino {

namespace {

// Says plainly that nothing was set, and how to choose a desktop by hand.
class UnknownDesktopSetter final : public DesktopSetter {
public:
    explicit UnknownDesktopSetter(const Environment& environment) {
        for (const char* name :
             {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "WAYLAND_DISPLAY", "DISPLAY"}) {
            const auto it = environment.find(name);
            if (it != environment.end() && !it->second.empty()) {
                session_ += (session_.empty() ? "" : ", ") + std::string(name) + "=" + it->second;
            }
        }
        if (session_.empty()) {
            session_ = "no graphical session found";
        }
    }

    [[nodiscard]] std::string Name() const override { return "unknown desktop"; }

    void SetBackground(const std::string& /*bitmapPath*/, Placement /*placement*/) override {
        throw Error(
            errnum::DesktopRefused,
            "This desktop's wallpaper cannot be set (" + session_ + "). Set " +
                kDesktopOverrideVariable +
                " to gnome, cinnamon, mate, plasma, xfce, lxqt, lxde, sway or x11 to choose how.");
    }

private:
    std::string session_;
};

class FreshFileNameSetter final : public DesktopSetter {
public:
    explicit FreshFileNameSetter(std::unique_ptr<DesktopSetter> inner) : inner_(std::move(inner)) {}

    [[nodiscard]] std::string Name() const override { return inner_->Name(); }
    [[nodiscard]] bool CachesByFileName() const override { return false; }

    void SetBackground(const std::string& bitmapPath, Placement placement) override {
        ChangeFileNames names{std::filesystem::path(bitmapPath)};
        const std::filesystem::path fresh = names.Prepare();
        try {
            inner_->SetBackground(fresh.string(), placement);
        } catch (...) {
            names.Discard(fresh);
            throw;
        }
        names.Commit(fresh);
    }

private:
    std::unique_ptr<DesktopSetter> inner_;
};

}  // namespace

Environment ProcessEnvironment() {
    Environment environment;
    const QProcessEnvironment process = QProcessEnvironment::systemEnvironment();
    for (const QString& name : process.keys()) {
        environment[name.toStdString()] = process.value(name).toStdString();
    }
    return environment;
}

std::unique_ptr<DesktopSetter> WithFreshFileNames(std::unique_ptr<DesktopSetter> inner) {
    if (!inner->CachesByFileName()) {
        return inner;
    }
    return std::make_unique<FreshFileNameSetter>(std::move(inner));
}

std::unique_ptr<DesktopSetter> MakeDesktopSetter(DesktopKind kind, const Environment& environment) {
    std::unique_ptr<DesktopSetter> setter;
    switch (kind) {
        case DesktopKind::Gnome:
            setter = MakeGnomeDesktopSetter(environment);
            break;
        case DesktopKind::Cinnamon:
            setter = MakeCinnamonDesktopSetter(environment);
            break;
        case DesktopKind::Mate:
            setter = MakeMateDesktopSetter(environment);
            break;
        case DesktopKind::Plasma:
            setter = MakePlasmaDesktopSetter(environment);
            break;
        case DesktopKind::Xfce:
            setter = MakeXfceDesktopSetter(environment);
            break;
        case DesktopKind::Lxqt:
            setter = MakeLxqtDesktopSetter(environment);
            break;
        case DesktopKind::Lxde:
            setter = MakeLxdeDesktopSetter(environment);
            break;
        case DesktopKind::Sway:
            setter = MakeSwayDesktopSetter(environment);
            break;
        case DesktopKind::Windows:
        case DesktopKind::X11Root:
            setter = MakeSystemDesktopSetter(kind, environment);
            break;
        case DesktopKind::Unknown:
            break;
    }
    if (!setter) {
        setter = std::make_unique<UnknownDesktopSetter>(environment);
    }
    return WithFreshFileNames(std::move(setter));
}

std::unique_ptr<DesktopSetter> MakeDesktopSetter(const Environment& environment) {
    return MakeDesktopSetter(DetectDesktop(environment), environment);
}

}  // namespace tavrino
