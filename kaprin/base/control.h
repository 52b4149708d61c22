// State of the window controls as the model sees them. A front end copies this state
// into its widgets (matched by control name) and forwards each widget event to the
// model's handler of the same name; no rule of the utility lives in a front end.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kaprin {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kLineLampOn{255, 0, 0};
inline constexpr Rgb kLineLampOff{112, 0, 0};
inline constexpr Rgb kChaserIdle{0, 112, 0};
inline constexpr Rgb kChaserPassed{0, 128, 0};
inline constexpr Rgb kChaserLit{0, 255, 0};

// A button, label, lamp, menu item, frame or option button: whatever of these fields
// its kind has. `colour` is the fill of a lamp or the text colour of a label.
struct Control {
    Control() = default;
    explicit Control(std::string caption_, bool enabled_ = true, bool visible_ = true,
                     bool checked_ = false, Rgb colour_ = {})
        : caption(std::move(caption_)), enabled(enabled_), visible(visible_), checked(checked_),
          colour(colour_) {}

    std::string caption;
    bool enabled = true;
    bool visible = true;
    bool checked = false;
    Rgb colour{};
    std::string tooltip;
};

struct TextBox {
    std::string text;
    bool enabled = true;
};

// A drop-down list whose text can also be typed: a typed text selects no entry.
struct ComboBox {
    std::vector<std::string> entries;
    int listIndex = -1;
    std::string text;

    void Select(int index) {
        listIndex = index;
        text = index >= 0 && index < static_cast<int>(entries.size()) ? entries[index] : "";
    }
    void Type(std::string typed) {
        text = std::move(typed);
        listIndex = -1;
    }
};

struct ListBox {
    std::vector<std::string> items;
    int listIndex = -1;
    std::string tooltip;
};

// Rows of cells under column headings; a row is chosen whole. With no rows the view shows
// `emptyText` in their place, which cannot be chosen.
struct Table {
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;
    int listIndex = -1;
    std::string emptyText;
};

struct ProgressBar {
    int min = 0, max = 100, value = 0;
};

struct StatusBar {
    std::string panel1, panel2;
    // The last transfer's pass/fail mark and the session's counts.
    std::string panel3;
    Rgb panel3Colour{};
};

struct Timer {
    int intervalMs = 0;
    bool enabled = false;
};

} // namespace kaprin
