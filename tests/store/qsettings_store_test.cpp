#include "kaprin/store/qsettings_store.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>

#include <chrono>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using kaprin::QSettingsStore;
using kaprin::test::TempDir;

QString Ini(const TempDir& dir) {
    return QString::fromStdString(dir / "Kaprin/Kaprin.ini");
}

// A value written by one store is read by a fresh one, as by the next start.
TEST(QSettingsStore, ValuesSurviveBetweenRuns) {
    TempDir dir;
    struct Entry {
        const char* section;
        const char* key;
        std::string value;
    };
    const std::vector<Entry> entries = {
        {"Setup", "Language", "English.ini"},
        {"Setup", "DTR", "True"},
        {"Comm", "COM PORT", "19"},
        {"Comm", "BAUD RATE", "4"},
        {"RecentFile", "File1", "/home/op/fw/a b,c;d=e#f\"g\\h.PLN"},
        {"RecentFile", "File2", "/srv/更新檔/第一段.PLN"},
        {"RecentFile", "File3", " leading and trailing "},
        {"Setting", "File1", "@Variant(not a variant)"},
        {"Setting", "File2", ""},
        {"Setting", "File3", "[Setup]\tDTR=False"},
    };
    {
        QSettingsStore store(Ini(dir));
        for (const auto& e : entries)
            store.WriteSetting(e.section, e.key, e.value);
    }
    QSettingsStore again(Ini(dir));
    for (const auto& e : entries)
        EXPECT_EQ(again.ReadSetting(e.section, e.key), e.value) << e.section << "/" << e.key;
}

// Absent keys and sections read as empty text; "File1" of two sections are distinct.
TEST(QSettingsStore, AbsentReadsEmptyAndSectionsAreSeparate) {
    TempDir dir;
    QSettingsStore store(Ini(dir));
    EXPECT_EQ(store.ReadSetting("Setup", "Language"), "");
    EXPECT_EQ(store.ReadSetting("Nowhere", "Nothing"), "");
    store.WriteSetting("RecentFile", "File1", "/a/X.PLN");
    EXPECT_EQ(store.ReadSetting("Setting", "File1"), "");
    store.WriteSetting("Setting", "File1", "/b/Y.PLN");
    EXPECT_EQ(store.ReadSetting("RecentFile", "File1"), "/a/X.PLN");
    store.WriteSetting("RecentFile", "File1", "/c/Z.PLN");
    EXPECT_EQ(store.ReadSetting("RecentFile", "File1"), "/c/Z.PLN");
    EXPECT_EQ(store.ReadSetting("Setting", "File1"), "/b/Y.PLN");
}

// The file is plain INI with the sections of the program; a key with a space is escaped.
TEST(QSettingsStore, FileIsIniWithNamedSections) {
    TempDir dir;
    QSettingsStore store(Ini(dir));
    store.WriteSetting("Setup", "DTR", "False");
    store.WriteSetting("Comm", "COM PORT", "2");
    const std::string text = dir.Read("Kaprin/Kaprin.ini");
    EXPECT_NE(text.find("[Setup]"), std::string::npos);
    EXPECT_NE(text.find("DTR=False"), std::string::npos);
    EXPECT_NE(text.find("[Comm]"), std::string::npos);
    EXPECT_NE(text.find("COM%20PORT=2"), std::string::npos);
}

// Each write reaches the file at once, and another copy's write is seen at the next read.
TEST(QSettingsStore, TwoCopiesSeeEachOthersWrites) {
    TempDir dir;
    QSettingsStore first(Ini(dir));
    QSettingsStore second(Ini(dir));
    first.WriteSetting("Comm", "COM PORT", "3");
    EXPECT_NE(dir.Read("Kaprin/Kaprin.ini").find("COM%20PORT=3"), std::string::npos);
    EXPECT_EQ(second.ReadSetting("Comm", "COM PORT"), "3");
    second.WriteSetting("Comm", "BAUD RATE", "1");
    first.WriteSetting("Setup", "RTS", "True");
    QSettingsStore third(Ini(dir));
    EXPECT_EQ(third.ReadSetting("Comm", "COM PORT"), "3");
    EXPECT_EQ(third.ReadSetting("Comm", "BAUD RATE"), "1");
    EXPECT_EQ(third.ReadSetting("Setup", "RTS"), "True");
}

// A write waits a bounded time for a lock another process holds, names the holder once,
// and works again once the lock is let go.
TEST(QSettingsStore, HeldLockFailsAWriteInBoundedTime) {
    TempDir dir;
    QSettingsStore store(Ini(dir));
    store.lockWaitMs = 200;
    std::vector<std::string> problems;
    store.onLockHeld = [&](const std::string& text) { problems.push_back(text); };
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(dir / "Kaprin")));
    QLockFile held(Ini(dir) + ".lock");
    ASSERT_TRUE(held.tryLock(0));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(store.WriteSetting("Comm", "COM PORT", "3"));
    EXPECT_FALSE(store.WriteSetting("Comm", "COM PORT", "4"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("process " + std::to_string(getpid())), std::string::npos);
    held.unlock();
    EXPECT_TRUE(store.WriteSetting("Comm", "COM PORT", "5"));
    EXPECT_EQ(QSettingsStore(Ini(dir)).ReadSetting("Comm", "COM PORT"), "5");
}

// A hand-edited value with bare commas is kept as text, not lost.
TEST(QSettingsStore, HandEditedListStaysText) {
    TempDir dir;
    dir.Write("Kaprin/Kaprin.ini", "[RecentFile]\nFile1=/a/b, c.PLN\n");
    QSettingsStore store(Ini(dir));
    EXPECT_EQ(store.ReadSetting("RecentFile", "File1"), "/a/b, c.PLN");
}

// A damaged file or a folder that cannot be written does not stop the program; a write
// that did not reach the file says so, and the next good write is judged on its own.
TEST(QSettingsStore, DamagedOrUnwritableFileIsHarmless) {
    TempDir dir;
    dir.Write("Kaprin/Kaprin.ini", std::string("\x00\xff[[[=\n=x\n[Setup\nDTR", 20));
    QSettingsStore damaged(Ini(dir));
    EXPECT_EQ(damaged.ReadSetting("Setup", "RTS"), "");

    QSettingsStore nowhere("/proc/kaprin-cannot-write/Kaprin.ini");
    EXPECT_FALSE(nowhere.WriteSetting("Setup", "DTR", "True"));
    EXPECT_FALSE(QFile::exists("/proc/kaprin-cannot-write/Kaprin.ini"));

    const std::string folder = dir / "Kaprin";
    QSettingsStore store(Ini(dir));
    ::chmod(folder.c_str(), 0500);
    const bool refused = ::access(folder.c_str(), W_OK) != 0; // root writes anyway
    EXPECT_EQ(store.WriteSetting("Setup", "RTS", "True"), !refused);
    ::chmod(folder.c_str(), 0700);
    EXPECT_TRUE(store.WriteSetting("Setup", "RTS", "False"));
}

// A FIFO (or any non-regular file) as the settings file or its lock would block every
// read for ever: it is named as the problem and never opened.
TEST(QSettingsStore, FifoIsRefusedNotOpened) {
    TempDir dir;
    dir.Write("Kaprin/keep", "");
    EXPECT_EQ(QSettingsStore::FileProblem(Ini(dir)), "");
    for (const char* name : {"Kaprin/Kaprin.ini", "Kaprin/Kaprin.ini.lock"}) {
        const std::string fifo = dir / name;
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        EXPECT_NE(QSettingsStore::FileProblem(Ini(dir)).find("is not a regular file"),
                  std::string::npos);
        QSettingsStore store(Ini(dir));
        EXPECT_EQ(store.ReadSetting("Setup", "DTR"), "");
        EXPECT_FALSE(store.WriteSetting("Setup", "DTR", "True"));
        ::unlink(fifo.c_str());
    }
}

// The user's store lives in $XDG_CONFIG_HOME/Kaprin/Kaprin.ini.
TEST(QSettingsStore, DefaultPathFollowsXdgConfigHome) {
    TempDir dir;
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    EXPECT_EQ(QSettingsStore::DefaultPath(), Ini(dir));
    {
        QSettingsStore store;
        store.WriteSetting("Setup", "Language", "English.ini");
    }
    EXPECT_TRUE(QFile::exists(Ini(dir)));
    if (old)
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

// Two processes writing the run options at the same moment leave a whole file that holds
// every key either of them wrote.
TEST(QSettingsStore, TwoProcessesClosingAtOnceDoNotCorruptTheFile) {
    TempDir dir;
    const std::string file = dir / "Kaprin/Kaprin.ini";
    const int rounds = 40;
    std::vector<pid_t> children;
    for (const char* name : {"one", "two"}) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            execl(STORE_WRITER, STORE_WRITER, file.c_str(), name, std::to_string(rounds).c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    QSettingsStore store(QString::fromStdString(file));
    for (const char* name : {"one", "two"}) {
        for (int round = 0; round < rounds; ++round)
            EXPECT_EQ(store.ReadSetting("Writers", std::string(name) + "_" + std::to_string(round)),
                      "done")
                << name << " " << round;
    }
    // Both writers end with the same round, so the options hold its value.
    EXPECT_EQ(store.ReadSetting("Setup", "SHUTDOWN"), (rounds - 1) % 2 ? "True" : "False");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(file + ".lock")));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
