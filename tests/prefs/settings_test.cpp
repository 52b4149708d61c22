#include "kaprin/prefs/settings_keys.h"

#include <gtest/gtest.h>

namespace kaprin::settings {
namespace {

TEST(SettingsTextTest, Booleans) {
    EXPECT_EQ(BoolText(true), "True");
    EXPECT_EQ(BoolText(false), "False");
    const std::vector<std::pair<std::string, std::optional<bool>>> cases = {
        {"True", true},       {"False", false},      {"true", true},     {"FALSE", false},
        {" True ", true},     {"0", false},          {"1", true},        {"-1", true},
        {"0.0", false},       {"2.5", true},         {"", std::nullopt}, {"yes", std::nullopt},
        {"1x", std::nullopt}, {"nan", std::nullopt}, {" ", std::nullopt}};
    for (const auto& [text, want] : cases)
        EXPECT_EQ(ParseBool(text), want) << '"' << text << '"';
}

TEST(SettingsTextTest, WholeNumbers) {
    const std::vector<std::pair<std::string, std::optional<std::int32_t>>> cases = {
        {"0", 0},
        {"4", 4},
        {"19", 19},
        {" 2 ", 2},
        {"+3", 3},
        {"-1", -1},
        {"", std::nullopt},
        {"x", std::nullopt},
        {"2.5", std::nullopt},
        {"3a", std::nullopt},
        {"99999999999", std::nullopt},
        {"--1", std::nullopt}};
    for (const auto& [text, want] : cases)
        EXPECT_EQ(ParseWhole(text), want) << '"' << text << '"';
    EXPECT_EQ(WholeText(19), "19");
}

} // namespace
} // namespace kaprin::settings
