#include "kaprin/cli/cli_options.h"

#include <gtest/gtest.h>

namespace kaprin::cli {
namespace {

struct OptionCase {
    std::vector<std::string> args = {};
    std::vector<std::string> modelWords = {};
    std::optional<int> port = std::nullopt, baud = std::nullopt;
    AnswerPolicy answers = AnswerPolicy::Ask;
    bool once = false;
    std::string log = "";
    std::string portPath = "";
    std::vector<std::pair<int, std::string>> mapEdits = {};
    std::string error = ""; // a part of the expected error, empty when the line is good
};

class OptionTable : public ::testing::TestWithParam<OptionCase> {};

// The program's words reach the model unchanged, whole and in order; our own options
// never do.
TEST_P(OptionTable, SplitsOwnOptionsFromTheProgramsWords) {
    const OptionCase& c = GetParam();
    ParsedOptions p = ParseCliOptions(c.args);
    if (!c.error.empty()) {
        EXPECT_NE(p.error.find(c.error), std::string::npos) << p.error;
        return;
    }
    ASSERT_EQ(p.error, "");
    EXPECT_EQ(p.options.modelWords, c.modelWords);
    EXPECT_EQ(p.options.port, c.port);
    EXPECT_EQ(p.options.baud, c.baud);
    EXPECT_EQ(p.options.answers, c.answers);
    EXPECT_EQ(p.options.once, c.once);
    EXPECT_EQ(p.options.logFile, c.log);
    EXPECT_EQ(p.options.portPath, c.portPath);
    EXPECT_EQ(p.options.mapEdits, c.mapEdits);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, OptionTable,
    ::testing::Values(
        OptionCase{.args = {}},
        OptionCase{.args = {"-A", "-F=/fw/my X.PLN", "-E5"},
                   .modelWords = {"-A", "-F=/fw/my X.PLN", "-E5"}},
        OptionCase{
            .args = {"-c", "--port", "3", "x.pln"}, .modelWords = {"-c", "x.pln"}, .port = 3},
        OptionCase{.args = {"--port=20", "--baud=250000", "-A"},
                   .modelWords = {"-A"},
                   .port = 20,
                   .baud = 250000},
        OptionCase{.args = {"--baud", "9600", "--once", "--yes", "-F=a.hex"},
                   .modelWords = {"-F=a.hex"},
                   .baud = 9600,
                   .answers = AnswerPolicy::Yes,
                   .once = true},
        OptionCase{.args = {"--no", "--no", "--log", "/tmp/k.log", "-A"},
                   .modelWords = {"-A"},
                   .answers = AnswerPolicy::No,
                   .log = "/tmp/k.log"},
        // After "--" every word is the program's, even one that looks like ours.
        OptionCase{.args = {"--", "--port", "-A"}, .modelWords = {"--port", "-A"}},
        // An empty word would become an empty word of the program's line: dropped.
        OptionCase{.args = {"", "-A", ""}, .modelWords = {"-A"}},
        // A device path for the port in use; COM names; the last --port wins.
        OptionCase{.args = {"--port", "/dev/serial/by-id/usb-X", "-A"},
                   .modelWords = {"-A"},
                   .portPath = "/dev/serial/by-id/usb-X"},
        OptionCase{.args = {"--port=/dev/ttyUSB0", "--port=com7"}, .port = 7},
        OptionCase{.args = {"--map", "COM3=/dev/serial/by-id/usb-X", "--unmap=com4"},
                   .mapEdits = {{3, "/dev/serial/by-id/usb-X"}, {4, ""}}},
        OptionCase{.args = {"--map", "COM3=dev/ttyUSB0"}, .error = "not a device path"},
        OptionCase{.args = {"--map", "COM3"}, .error = "COM<n>=PATH"},
        OptionCase{.args = {"--map", "COM21=/dev/x"}, .error = "COM<n>=PATH"},
        OptionCase{.args = {"--unmap", "3"}, .error = "is not COM<n>"},
        OptionCase{.args = {"--port", std::string(300, '/')}, .error = "longer than 255"},
        OptionCase{.args = {"--port", "0"}, .error = "from 1 to 20"},
        OptionCase{.args = {"--port", "21"}, .error = "from 1 to 20"},
        OptionCase{.args = {"--port", "3x"}, .error = "\"3x\""},
        OptionCase{.args = {"--port"}, .error = "--port needs a value"},
        OptionCase{.args = {"--baud", "4"}, .error = "baud rate"},
        OptionCase{.args = {"--baud", "99999999999999999999"}, .error = "baud rate"},
        OptionCase{.args = {"--yes", "--no"}, .error = "exclude each other"},
        OptionCase{.args = {"--once=1"}, .error = "takes no value"},
        OptionCase{.args = {"--log="}, .error = "needs a file name"},
        OptionCase{.args = {"--verbose"}, .error = "unknown option --verbose"},
        // The line's record: an empty pin or order is a station's unset configuration.
        OptionCase{.args = {"--expect-sha256=", "--order=", "--ask-unit", "--require-pin"}},
        OptionCase{.args = {"--expect-sha256", std::string(63, 'a') + "g"}, .error = "64 hex"},
        OptionCase{.args = {"--ask-unit", "--unit-id", "X"}, .error = "exclude each other"},
        OptionCase{.args = {"--unit-id="}, .error = "--unit-id needs a value"},
        OptionCase{.args = {"--json", "-A"}, .error = "belong to --report"}));

} // namespace
} // namespace kaprin::cli
