// A main window on the fakes, started from an empty store with a language file whose
// text for every id is "T" followed by the id, so tests can tell the texts apart.
#pragma once

#include "fakes.h"
#include "temp_dir.h"

#include "kaprin/core/frm_main.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace kaprin::test {

inline std::string T(int id) {
    return "T" + std::to_string(id);
}

class MainWindowTest : public ::testing::Test {
protected:
    FakeWorld world;
    TempDir dir;
    std::unique_ptr<FrmMain> main;

    void SetUp() override {
        std::string entries;
        for (int id : {1300, 1302, 1304, 1306, 1311, 1312, 1313, 1314, 1315, 1316, 1317, 1318,
                       1319, 1320, 1321, 1322, 1323, 1324, 1325, 1326, 1327, 1328, 1329, 1330})
            entries += "#" + std::to_string(id) + " " + T(id) + "\r\n";
        dir.Write("Language/English.ini", entries);
        main = std::make_unique<FrmMain>(world.ports(), dir.path().string(), "");
        main->LoadLangFile(dir / "Language/English.ini");
        Forget();
    }

    // A fresh main window started as the program starts it, with a command line.
    void StartWith(const std::string& commandLine) {
        main = std::make_unique<FrmMain>(world.ports(), dir.path().string(), commandLine);
        main->Form_Load();
        main->Form_Activate();
    }

    // Drops what start-up left in the records, so a test sees only its own calls.
    void Forget() {
        world.log.clear();
        world.store.writes.clear();
        world.windows.pumpWaits.clear();
        world.windows.questions.clear();
    }

    // The log entries that start with one of the prefixes, in order.
    std::vector<std::string> Calls(std::initializer_list<const char*> prefixes) const {
        std::vector<std::string> picked;
        for (const auto& entry : world.log) {
            for (const char* prefix : prefixes) {
                if (entry.rfind(prefix, 0) == 0) {
                    picked.push_back(entry);
                    break;
                }
            }
        }
        return picked;
    }

    bool AllLamps(Rgb colour) const {
        return std::all_of(main->Shape1.begin(), main->Shape1.end(),
                           [&](const Control& lamp) { return lamp.colour == colour; });
    }

    // The front end's part: one pump (the fake clock moves on, scripted events run),
    // then the run's tick when it is on, until the run is idle.
    void Drive(int steps = 100000) {
        while (main->run.Busy() && steps-- > 0) {
            world.windows.DoEvents(kPollWaitMs);
            if (main->run.tick.enabled)
                main->tRun_Timer();
        }
    }
    // A click of Start and the run it starts, with what the run came to.
    DownloadOutcome Click() {
        main->cmdStart_Click();
        Drive();
        return main->run.lastOutcome().value_or(DownloadOutcome{});
    }

    // A good transfer: a few polls, then 100 and no error.
    void ScriptGoodTransfer() {
        world.pellin.percents = {0, 30, 70, 100};
        world.pellin.blocks = {0, 3, 7, 9};
        world.pellin.errors = {0};
        world.pellin.lastError = 0;
    }
};

} // namespace kaprin::test
