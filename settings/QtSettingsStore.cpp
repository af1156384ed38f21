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
    // QSettings reads a section's lines only when the section is first used; reading them all
    // now tells at once whether some could not be read.
    static_cast<void>(settings_->allKeys());
    if (settings_->status() == QSettings::FormatError) {
        // QSettings keeps the lines it could read and would drop the others at the next
        // write: the file is copied aside first.
        keepAside_ = iniPath + QStringLiteral(".damaged-") +
                     QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
        reporter_.ShowErrorReport(
            loc::StartUp, errnum::SettingsUnreadable,
            "Some lines of the settings file " + iniPath.toStdString() +
                " could not be read; the values that could be read are used and the others "
                "take their default values. The whole file will be kept as " +
                keepAside_.toStdString() + " before the settings are next saved.");
    } else if (settings_->status() != QSettings::NoError) {
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
    if (!keepAside_.isEmpty()) {
        const QString original = settings_->fileName();
        if (!QFile::exists(keepAside_) && !QFile::copy(original, keepAside_)) {
            throw Error(errnum::PermissionDenied,
                        "The setting " + key + " was not saved: the settings file " +
                            original.toStdString() + " could not be kept as " +
                            keepAside_.toStdString() + " first");
        }
        setAside_ = keepAside_;
        keepAside_.clear();
    }
    const QString path = ResolveKey(ResolveGroup(application, section), key);
    settings_->setValue(path, QString::fromStdString(value));
    settings_->sync();  // QSettings writes a temporary file and renames it over the old one
    // A format error stays in the status from the read: only a failed write counts here.
    if (settings_->status() == QSettings::AccessError) {
        throw Error(errnum::PermissionDenied, "The setting " + key + " could not be saved to " +
                                                  settings_->fileName().toStdString());
    }
}

}  // namespace tavrino
