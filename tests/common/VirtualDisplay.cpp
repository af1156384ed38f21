#include "common/VirtualDisplay.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <functional>

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
    env.insert(QStringLiteral("HOME"), Path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), ConfigHome());
    env.insert(QStringLiteral("XDG_DATA_HOME"), DataHome());
    env.insert(QStringLiteral("XDG_CACHE_HOME"), Path(QStringLiteral("cache")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), RuntimeDir());
    env.insert(QStringLiteral("TAVRINO_DATA_DIR"), AppData());
    // Never reach a real vendor site from a test.
    env.insert(QStringLiteral("TAVRINO_VENDOR_SITE"), QStringLiteral("http://127.0.0.1:9"));
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return env;
}

void PrivateHome::WriteSettings(const QStringList& lines) const {
    const QString folder = ConfigHome() + QStringLiteral("/tavrino-wallpaper-manager");
    QDir().mkpath(folder);
    QFile file(folder + QStringLiteral("/settings.ini"));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        QByteArray text("[Varnello]\n");
        for (const QString& line : lines) {
            text += "Settings\\" + line.toUtf8() + "\n";
        }
        file.write(text);
    }
}

VirtualDisplay::VirtualDisplay(const QString& screen) {
    // -displayfd: the server takes a free number and writes it once it accepts connections.
    server_.start(QStringLiteral("Xvfb"),
                  {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                   QStringLiteral("0"), screen, QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                   QStringLiteral("-noreset")});
    if (server_.waitForStarted(10000) &&
        WaitUntil([this] { return server_.canReadLine() || server_.waitForReadyRead(100); },
                  15000)) {
        const QString number = QString::fromLatin1(server_.readLine().trimmed());
        if (!number.isEmpty()) {
            name_ = QLatin1Char(':') + number;
        }
    }
}

VirtualDisplay::~VirtualDisplay() {
    if (server_.state() != QProcess::NotRunning) {
        server_.terminate();
        if (!server_.waitForFinished(3000)) {
            server_.kill();
            server_.waitForFinished(2000);
        }
    }
}

QString VirtualDisplay::Run(const QString& program, const QStringList& arguments,
                            int timeoutMs) const {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), name_);
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
    const QString out =
        Run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                        QStringLiteral("--name"), titlePattern});
    return static_cast<int>(out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).size());
}

}  // namespace tavrino::test

namespace tavrino::test {

QList<QSize> VirtualDisplay::VisibleWindowSizes(const QString& titlePattern) const {
    const QString out =
        Run(QStringLiteral("xdotool"),
            {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
             titlePattern, QStringLiteral("getwindowgeometry"), QStringLiteral("%@")});
    QList<QSize> sizes;
    static const QRegularExpression geometry(QStringLiteral("Geometry: (\\d+)x(\\d+)"));
    for (auto it = geometry.globalMatch(out); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        sizes.append(QSize(m.captured(1).toInt(), m.captured(2).toInt()));
    }
    return sizes;
}

}  // namespace tavrino::test
