#include "settings/QtSettingsStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include "support/errors/Errors.h"

namespace tavrino {

namespace {

QString FindIgnoringCase(const QStringList& names, const QString& wanted) {
    for (const QString& name : names) {
        if (name.compare(wanted, Qt::CaseInsensitive) == 0) {
            return name;
        }
    }
    return wanted;
}

// A settings file we wrote is short, valid UTF-8 text. Anything else (NUL bytes, binary
// garbage, an unparsable file) is set aside instead of being overwritten.
bool LooksDamaged(const QString& path) {
    QFile file(path);
    if (!file.exists()) {
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return false;  // unreadable: reported through QSettings' status instead
    }
    const QByteArray bytes = file.read(1 << 20);
    if (bytes.contains('\0')) {
        return true;
    }
    return QString::fromUtf8(bytes).contains(QChar::ReplacementCharacter);
}

}  // namespace

QtSettingsStore::QtSettingsStore(ErrorReporter& reporter) : reporter_(reporter) {
#ifdef Q_OS_WIN
    settings_ =
        std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                    QStringLiteral("Tavrino"), QStringLiteral("WallpaperManager"));
#else
    Open(DefaultIniPath());
#endif
}

QtSettingsStore::QtSettingsStore(ErrorReporter& reporter, const QString& iniPath)
    : reporter_(reporter) {
    Open(iniPath);
}

QtSettingsStore::~QtSettingsStore() = default;

QString QtSettingsStore::DefaultIniPath() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return base + QStringLiteral("/tavrino-wallpaper-manager/settings.ini");
}

void QtSettingsStore::Open(const QString& iniPath) {
    if (LooksDamaged(iniPath)) {
        const QString stamp =
            QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
        const QString aside = iniPath + QStringLiteral(".damaged-") + stamp;
        if (QFile::rename(iniPath, aside)) {
            setAside_ = aside;
        }
        reporter_.ShowErrorReport(
            loc::StartUp, errnum::SettingsUnreadable,
            "The settings file " + iniPath.toStdString() +
                " is damaged; the default settings are used" +
                (setAside_.isEmpty()
                     ? std::string(" and the file is left as it is.")
                     : " and the old file was kept as " + setAside_.toStdString() + "."));
    }
    QDir().mkpath(QFileInfo(iniPath).absolutePath());
    settings_ = std::make_unique<QSettings>(iniPath, QSettings::IniFormat);
    if (settings_->status() != QSettings::NoError) {
        reporter_.ShowErrorReport(loc::StartUp, errnum::SettingsUnreadable,
                                  "The settings file " + iniPath.toStdString() +
                                      " could not be read; the default settings are used.");
    }
}

QString QtSettingsStore::ResolveGroup(const std::string& application,
                                      const std::string& section) const {
    const QString app =
        FindIgnoringCase(settings_->childGroups(), QString::fromStdString(application));
    settings_->beginGroup(app);
    const QString sec = FindIgnoringCase(settings_->childGroups(), QString::fromStdString(section));
    settings_->endGroup();
    return app + QLatin1Char('/') + sec;
}

QString QtSettingsStore::ResolveKey(const QString& group, const std::string& key) const {
    settings_->beginGroup(group);
    const QString name = FindIgnoringCase(settings_->childKeys(), QString::fromStdString(key));
    settings_->endGroup();
    return group + QLatin1Char('/') + name;
}

std::string QtSettingsStore::Get(const std::string& application, const std::string& section,
                                 const std::string& key, int def) {
    const QString path = ResolveKey(ResolveGroup(application, section), key);
    const QVariant value = settings_->value(path);
    if (!value.isValid()) {
        return std::to_string(def);
    }
    return value.toString().toStdString();
}

void QtSettingsStore::Save(const std::string& application, const std::string& section,
                           const std::string& key, const std::string& value) {
    const QString path = ResolveKey(ResolveGroup(application, section), key);
    settings_->setValue(path, QString::fromStdString(value));
    settings_->sync();  // QSettings writes a temporary file and renames it over the old one
    if (settings_->status() != QSettings::NoError) {
        throw Error(errnum::PermissionDenied, "The setting " + key + " could not be saved to " +
                                                  settings_->fileName().toStdString());
    }
}

}  // namespace tavrino
