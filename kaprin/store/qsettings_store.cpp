#include "kaprin/store/qsettings_store.h"

#include <QLockFile>
#include <QStandardPaths>
#include <QStringList>
#include <QVariant>

#include <cerrno>
#include <sys/stat.h>

namespace kaprin {

namespace {

QString Key(const std::string& section, const std::string& key) {
    return QString::fromStdString(section) + '/' + QString::fromStdString(key);
}

} // namespace

QSettingsStore::QSettingsStore() : QSettingsStore(DefaultPath()) {}

QSettingsStore::QSettingsStore(const QString& iniPath) : path_(iniPath) {
    if (FileProblem(path_).empty())
        Open();
}

QSettingsStore::~QSettingsStore() = default;

void QSettingsStore::Open() {
    settings_ = std::make_unique<QSettings>(path_, QSettings::IniFormat);
}

QString QSettingsStore::DefaultPath() {
    // GenericConfigLocation follows $XDG_CONFIG_HOME and falls back to ~/.config.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           "/Kaprin/Kaprin.ini";
}

QString QSettingsStore::path() const {
    return path_;
}

std::string QSettingsStore::FileProblem(const QString& iniPath) {
    for (const QString& p : {iniPath, iniPath + ".lock"}) {
        struct stat st {};
        const std::string name = p.toStdString();
        if (::stat(name.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
            return "the settings file " + name + " is not a regular file";
    }
    return {};
}

bool QSettingsStore::LockWithinWait() {
    QLockFile lock(path_ + ".lock");
    if (lock.tryLock(lockWaitMs)) {
        lock.unlock();
        return true;
    }
    // A lock file that cannot be made (no folder yet) is for QSettings itself to handle.
    if (lock.error() != QLockFile::LockFailedError)
        return true;
    qint64 pid = 0;
    QString host;
    QString app;
    lock.getLockInfo(&pid, &host, &app);
    if (pid != reportedHolder_ && onLockHeld) {
        reportedHolder_ = pid;
        std::string holder = "process " + std::to_string(pid);
        if (!app.isEmpty())
            holder += " (" + app.toStdString() + ")";
        if (!host.isEmpty())
            holder += " on " + host.toStdString();
        onLockHeld("the settings file " + path_.toStdString() + " has been locked by " + holder +
                   " for more than " + std::to_string(lockWaitMs / 1000) +
                   " s; its settings are not read or saved while it holds " + path_.toStdString() +
                   ".lock");
    }
    return false;
}

std::string QSettingsStore::ReadSetting(const std::string& section, const std::string& key) {
    if (!settings_)
        return {};
    // Picks up what another copy of the program wrote since the last access, unless the
    // file was replaced by something that would block the read.
    if (FileProblem(path_).empty())
        settings_->sync();
    const QVariant value = settings_->value(Key(section, key));
    // A hand-edited value with bare commas reads back as a list; keep its text.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(", ").toStdString();
    return value.toString().toStdString();
}

bool QSettingsStore::WriteSetting(const std::string& section, const std::string& key,
                                  const std::string& value) {
    if (!settings_ || !FileProblem(path_).empty() || !LockWithinWait())
        return false;
    settings_->setValue(Key(section, key), QString::fromStdString(value));
    // Every write reaches the file at once. QSettings takes a lock file, merges with what
    // is on disk and replaces the file atomically, so two copies closing together do
    // not corrupt it.
    settings_->sync();
    // A format error is about what was read; the write itself may well have worked.
    if (settings_->status() != QSettings::AccessError)
        return true;
    // The status keeps its first error: a fresh object judges the next write on its own.
    // Qt keeps the unsaved value pending for the file and writes it with a later sync.
    Open();
    return false;
}

} // namespace kaprin
