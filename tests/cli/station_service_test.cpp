// What a station tells systemd as its run goes: a table of hooks called and the messages
// they send, with the clock the test sets.
#include "kaprin/cli/station_service.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kaprin::cli {
namespace {

struct Step {
    char hook; // r ready, s transfer start, p progress, o outcome, q stop request,
               // l records lost from the log file so far
    int value; // the percent, the outcome's code (0 good), or the clock for p
    std::vector<std::string> sent;
};

struct ServiceCase {
    const char* name;
    std::vector<Step> steps;
};

class Service : public ::testing::TestWithParam<ServiceCase> {};

// Every step sends exactly its messages, no more.
TEST_P(Service, SendsWhatTheStationDoes) {
    std::uint32_t now = 0;
    std::vector<std::string> sent;
    StationService service({[&](const std::string& s) { sent.push_back("READY " + s); },
                            [&](const std::string& s) { sent.push_back("STATUS " + s); },
                            [&](std::uint64_t usec, const std::string& s) {
                                sent.push_back("STOPPING " + std::to_string(usec) + " " + s);
                            }},
                           [&] { return now; });
    int lost = 0;
    service.unwrittenRecords = [&] { return lost; };
    for (const Step& step : GetParam().steps) {
        sent.clear();
        DownloadRecord record;
        switch (step.hook) {
        case 'r':
            service.OnReady("COM1");
            break;
        case 's':
            service.OnTransferStart();
            break;
        case 'p':
            now = static_cast<std::uint32_t>(step.value);
            service.OnProgress(50);
            break;
        case 'o':
            record.outcome = step.value ? RecordOutcome::Failed : RecordOutcome::Ok;
            record.code = step.value;
            service.OnOutcome(record);
            break;
        case 'q':
            service.OnStopRequest();
            break;
        case 'l':
            lost = step.value;
            break;
        }
        EXPECT_EQ(sent, step.sent) << GetParam().name << ": " << step.hook << step.value;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Steps, Service,
    ::testing::Values(
        ServiceCase{"counts",
                    {{'r', 0, {"READY waiting for a device on COM1"}},
                     {'s', 0, {"STATUS downloading 0 % on COM1"}},
                     {'p', 999, {}},
                     {'p', 1000, {"STATUS downloading 50 % on COM1"}},
                     {'p', 3000, {}},
                     {'o',
                      2,
                      {"STATUS waiting for a device on COM1; last failed, code 2; 1 download(s): "
                       "0 good, 1 failed"}},
                     {'s',
                      0,
                      {"STATUS downloading 0 % on COM1; last failed, code 2; 1 download(s): "
                       "0 good, 1 failed"}},
                     {'o',
                      0,
                      {"STATUS waiting for a device on COM1; last ok; 2 download(s): 1 "
                       "good, 1 failed"}}}},
        // A stop during a transfer extends the time-out, renewed at half its age until the
        // transfer ends; a second request changes nothing.
        ServiceCase{"stop_during_a_transfer",
                    {{'r', 0, {"READY waiting for a device on COM1"}},
                     {'s', 0, {"STATUS downloading 0 % on COM1"}},
                     {'p', 1000, {"STATUS downloading 50 % on COM1"}},
                     {'q', 0, {"STOPPING 30000000 stopping after the download, 50 % on COM1"}},
                     {'q', 0, {}},
                     {'p', 15999, {}},
                     {'p', 16000, {"STOPPING 30000000 stopping after the download, 50 % on COM1"}},
                     {'o', 0, {"STATUS stopping; last ok; 1 download(s): 1 good, 0 failed"}},
                     {'p', 60000, {}}}},
        // A record the log file did not take is named until the station ends.
        ServiceCase{"records_lost",
                    {{'r', 0, {"READY waiting for a device on COM1"}},
                     {'s', 0, {"STATUS downloading 0 % on COM1"}},
                     {'l', 1, {}},
                     {'o',
                      0,
                      {"STATUS waiting for a device on COM1; last ok; 1 download(s): 1 good, 0 "
                       "failed; 1 record(s) not written to the log file"}}}},
        ServiceCase{"stop_while_waiting",
                    {{'r', 0, {"READY waiting for a device on COM1"}},
                     {'q', 0, {"STOPPING 0 stopping"}},
                     {'q', 0, {}}}}),
    [](const testing::TestParamInfo<ServiceCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace kaprin::cli
