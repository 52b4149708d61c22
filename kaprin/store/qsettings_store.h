// The settings store of application Kaprin as one INI file per user, by default
// $XDG_CONFIG_HOME/Kaprin/Kaprin.ini (~/.config/Kaprin/Kaprin.ini when it is not set).
#pragma once

#include "kaprin/base/ports.h"

#include <QSettings>
#include <QString>

#include <functional>
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

    // Why the file at `iniPath` cannot be a store, or empty when it can: the file or its
    // lock file exists and is not a regular file (a FIFO would block every read for
    // ever). Front ends refuse to start on such a store.
    static std::string FileProblem(const QString& iniPath);

    // A file that is not a regular file is never touched: reads give nothing new and
    // writes fail.
    std::string ReadSetting(const std::string& section, const std::string& key) override;
    bool WriteSetting(const std::string& section, const std::string& key,
                      const std::string& value) override;
    std::string Location() const override { return path().toStdString(); }

    // How long a write waits for another process's hold on the file's lock file (reads do
    // not take it); after it the write fails.
    int lockWaitMs = 3000;
    // Called once per holder that outlasted the wait, with a text naming it.
    std::function<void(const std::string& problem)> onLockHeld;

private:
    void Open();
    // False, after telling onLockHeld, when another process holds the lock past the wait;
    // QSettings itself would wait for it without end.
    bool LockWithinWait();

    QString path_;
    std::unique_ptr<QSettings> settings_;
    qint64 reportedHolder_ = 0;
};

} // namespace kaprin
