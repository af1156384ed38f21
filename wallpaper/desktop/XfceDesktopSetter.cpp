// XFCE: xfdesktop draws what its xfconf channel says, one picture per screen, monitor and
// workspace. Every existing ".../last-image" property is set, so every desktop changes; a
// fresh profile has none yet, and then they are created for the current monitors.
#include <QGuiApplication>
#include <QScreen>
#include <QString>
#include <QStringList>
#include <set>
#include <utility>

#include "support/errors/Errors.h"
#include "wallpaper/desktop/DesktopCommands.h"
#include "wallpaper/desktop/DesktopProcess.h"
#include "wallpaper/desktop/DesktopSetter.h"

namespace tavrino {

namespace {

const QString kXfconfQuery = QStringLiteral("xfconf-query");
const QString kChannel = QStringLiteral("xfce4-desktop");
constexpr int kDefaultWorkspaces = 4;  // xfwm4's own default
constexpr int kMostWorkspaces = 32;

class XfceDesktopSetter final : public DesktopSetter {
public:
    explicit XfceDesktopSetter(Environment environment) : environment_(std::move(environment)) {}

    [[nodiscard]] std::string Name() const override { return "XFCE"; }
    [[nodiscard]] bool CachesByFileName() const override { return true; }

    void SetBackground(const std::string& bitmapPath, Placement placement) override {
        // An empty channel makes xfconf-query -l fail ("Channel ... contains no properties"),
        // so its exit code is not a failure here; an xfconfd that cannot be reached still
        // shows up at the first write below.
        const ProgramResult listing = RunProgram(
            environment_, kXfconfQuery, {QStringLiteral("-c"), kChannel, QStringLiteral("-l")});
        std::vector<std::string> properties = XfceLastImageProperties(listing.output);
        if (properties.empty()) {
            const int workspaces = WorkspaceCount();
            for (const std::string& monitor : MonitorNames()) {
                for (int workspace = 0; workspace < workspaces; ++workspace) {
                    properties.push_back(XfceLastImageProperty(monitor, workspace));
                }
            }
        }
        const QString style = QString::number(XfceImageStyle(placement));
        const QString path = QString::fromStdString(bitmapPath);
        for (const std::string& property : properties) {
            // Style first, so the new picture is never drawn with the old placement.
            Write(XfceImageStyleProperty(property), QStringLiteral("int"), style);
            Write(property, QStringLiteral("string"), path);
        }
        for (const std::string& property : properties) {
            const ProgramResult stored =
                RunProgramChecked(environment_, kXfconfQuery,
                                  {QStringLiteral("-c"), kChannel, QStringLiteral("-p"),
                                   QString::fromStdString(property)});
            std::string value = stored.output;
            if (!value.empty() && value.back() == '\n') {
                value.pop_back();
            }
            if (value != bitmapPath) {
                std::string message = "XFCE did not keep the wallpaper: ";
                message += property;
                message += " is \"" + value + "\" instead of \"";
                message += bitmapPath;
                message += '"';
                throw Error(errnum::DesktopRefused, message);
            }
        }
    }

private:
    void Write(const std::string& property, const QString& type, const QString& value) {
        RunProgramChecked(
            environment_, kXfconfQuery,
            {QStringLiteral("-c"), kChannel, QStringLiteral("-p"), QString::fromStdString(property),
             QStringLiteral("-n"), QStringLiteral("-t"), type, QStringLiteral("-s"), value});
    }

    int WorkspaceCount() {
        const ProgramResult count =
            RunProgram(environment_, kXfconfQuery,
                       {QStringLiteral("-c"), QStringLiteral("xfwm4"), QStringLiteral("-p"),
                        QStringLiteral("/general/workspace_count")});
        bool ok = false;
        const int value = QString::fromStdString(count.output).trimmed().toInt(&ok);
        return count.exitCode == 0 && ok && value > 0 ? std::min(value, kMostWorkspaces)
                                                      : kDefaultWorkspaces;
    }

    // xfdesktop names monitors by their output ("monitorHDMI-1"); without a screen to ask,
    // "0" is the name older xfdesktop versions used.
    static std::vector<std::string> MonitorNames() {
        std::vector<std::string> names;
        std::set<std::string> seen;
        if (qGuiApp != nullptr) {
            for (const QScreen* screen : QGuiApplication::screens()) {
                std::string name = screen->name().toStdString();
                const bool usable =
                    !name.empty() && name.find_first_of("/ \t\n") == std::string::npos;
                if (usable && seen.insert(name).second) {
                    names.push_back(std::move(name));
                }
            }
        }
        if (names.empty()) {
            names.emplace_back("0");
        }
        return names;
    }

    Environment environment_;
};

}  // namespace

std::unique_ptr<DesktopSetter> MakeXfceDesktopSetter(const Environment& environment) {
    return std::make_unique<XfceDesktopSetter>(environment);
}

}  // namespace tavrino
