#include "common/VirtualDisplay.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace tavrino::test {

PrivateHome::PrivateHome() {
    for (const char* sub : {"config", "data", "runtime", "appdata", "cache"}) {
        QDir().mkpath(Path(QString::fromLatin1(sub)));
    }
    QFile::setPermissions(RuntimeDir(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

QString PrivateHome::Path(const QString& relative) const {
    return relative.isEmpty() ? dir_.path() : dir_.filePath(relative);
}

QProcessEnvironment PrivateHome::Environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", Path());
    env.insert("XDG_CONFIG_HOME", Path("config"));
    env.insert("XDG_DATA_HOME", Path("data"));
    env.insert("XDG_CACHE_HOME", Path("cache"));
    env.insert("XDG_RUNTIME_DIR", RuntimeDir());
    env.insert("TAVRINO_DATA_DIR", AppData());
    // Never reach a real vendor site from a test.
    env.insert("TAVRINO_VENDOR_SITE", "http://127.0.0.1:9");
    for (const char* name : {"DBUS_SESSION_BUS_ADDRESS", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM",
                             "XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "SWAYSOCK"}) {
        env.remove(QString::fromLatin1(name));
    }
    return env;
}

void PrivateHome::WriteSettings(const QStringList& lines) const {
    const QString folder = Path("config/tavrino-wallpaper-manager");
    QDir().mkpath(folder);
    QByteArray text("[Varnello]\n");
    for (const QString& line : lines) {
        text += "Settings\\" + line.toUtf8() + "\n";
    }
    WriteBytes((folder + "/settings.ini").toStdString(), text.toStdString());
}

VirtualDisplay::VirtualDisplay(QSize size, int depth) {
    // -displayfd: the server takes a free number and writes it once it accepts connections.
    const QString screen =
        QStringLiteral("%1x%2x%3").arg(size.width()).arg(size.height()).arg(depth);
    server_.start("Xvfb",
                  {"-displayfd", "1", "-screen", "0", screen, "-nolisten", "tcp", "-noreset"});
    if (server_.waitForStarted(10000) &&
        WaitUntil([this] { return server_.canReadLine() || server_.waitForReadyRead(100); })) {
        const QString number = QString::fromLatin1(server_.readLine().trimmed());
        name_ = number.isEmpty() ? QString() : QLatin1Char(':') + number;
    }
}

VirtualDisplay::~VirtualDisplay() {
    server_.terminate();
    if (!server_.waitForFinished(3000)) {
        server_.kill();
        server_.waitForFinished(2000);
    }
}

QString VirtualDisplay::Run(const QString& program, const QStringList& arguments,
                            int timeoutMs) const {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", name_);
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return {};
    }
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

int VirtualDisplay::CountVisibleWindows(const QString& titlePattern) const {
    return static_cast<int>(VisibleWindowSizes(titlePattern).size());
}

QList<QSize> VirtualDisplay::VisibleWindowSizes(const QString& titlePattern) const {
    const QString out = Run(
        "xdotool", {"search", "--onlyvisible", "--name", titlePattern, "getwindowgeometry", "%@"});
    QList<QSize> sizes;
    static const QRegularExpression geometry("Geometry: (\\d+)x(\\d+)");
    for (auto it = geometry.globalMatch(out); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        sizes.append(QSize(m.captured(1).toInt(), m.captured(2).toInt()));
    }
    return sizes;
}

}  // namespace tavrino::test
