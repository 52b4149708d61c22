#include "kaprin/store/qsettings_store.h"

#include <QStandardPaths>
#include <QStringList>
#include <QVariant>

namespace kaprin {

namespace {

QString Key(const std::string& section, const std::string& key) {
    return QString::fromStdString(section) + '/' + QString::fromStdString(key);
}

} // namespace

QSettingsStore::QSettingsStore() : QSettingsStore(DefaultPath()) {}

QSettingsStore::QSettingsStore(const QString& iniPath)
    : settings_(std::make_unique<QSettings>(iniPath, QSettings::IniFormat)) {}

QSettingsStore::~QSettingsStore() = default;

QString QSettingsStore::DefaultPath() {
    // GenericConfigLocation follows $XDG_CONFIG_HOME and falls back to ~/.config.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           "/Kaprin/Kaprin.ini";
}

QString QSettingsStore::path() const {
    return settings_->fileName();
}

std::string QSettingsStore::ReadSetting(const std::string& section, const std::string& key) {
    // Picks up what another copy of the program wrote since the last access.
    settings_->sync();
    const QVariant value = settings_->value(Key(section, key));
    // A hand-edited value with bare commas reads back as a list; keep its text.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(", ").toStdString();
    return value.toString().toStdString();
}

void QSettingsStore::WriteSetting(const std::string& section, const std::string& key,
                                  const std::string& value) {
    settings_->setValue(Key(section, key), QString::fromStdString(value));
    // Every write reaches the file at once. QSettings takes a lock file, merges with what
    // is on disk and replaces the file atomically, so two copies closing together do
    // not corrupt it.
    settings_->sync();
}

} // namespace kaprin
