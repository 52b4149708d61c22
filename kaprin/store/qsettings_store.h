// The settings store of application Kaprin as one INI file per user, by default
// $XDG_CONFIG_HOME/Kaprin/Kaprin.ini (~/.config/Kaprin/Kaprin.ini when it is not set).
#pragma once

#include "kaprin/core/ports.h"

#include <QSettings>
#include <QString>

#include <memory>
#include <string>

namespace kaprin {

class QSettingsStore : public SettingsStore {
public:
    // The user's store at DefaultPath().
    QSettingsStore();
    // A store in the given INI file (tests, or a station that keeps its own file).
    explicit QSettingsStore(const QString& iniPath);
    ~QSettingsStore() override;

    static QString DefaultPath();
    QString path() const;

    std::string ReadSetting(const std::string& section, const std::string& key) override;
    void WriteSetting(const std::string& section, const std::string& key,
                      const std::string& value) override;

private:
    std::unique_ptr<QSettings> settings_;
};

} // namespace kaprin
