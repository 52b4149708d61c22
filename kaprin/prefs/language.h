// Language files and the table of numbered texts loaded from them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kaprin {

struct LangSlot {
    std::int16_t id = 0;
    std::string text;
};

// 128 slots of (id, text). A load writes its entries from slot 0 on and leaves the
// slots beyond them as they were, so texts of an earlier load can still be found.
class LangTable {
public:
    static constexpr int kSlots = 128;
    // 128 entries fit many times over; a larger file is read only this far.
    static constexpr std::size_t kMaxFileBytes = 1 << 20;

    // Reads a language file into the table; false (and the table unchanged) when the
    // file cannot be read.
    bool LoadFile(const std::string& path);
    // Takes the entries of a file's text (already UTF-8).
    void LoadText(const std::string& text);
    // The text of the first slot with this id; empty when none has it.
    std::string Text(std::int16_t id) const;
    const std::array<LangSlot, kSlots>& slots() const { return slots_; }

private:
    std::array<LangSlot, kSlots> slots_{};
};

// A file's bytes (at most `maxBytes`), or nothing when the path names no readable
// ordinary file.
std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t maxBytes = SIZE_MAX);
bool IsValidUtf8(const std::string& bytes);
// Valid UTF-8 is taken as it stands (without a byte-order mark); anything else is read
// as Big5 (code page 950), the legacy files' encoding. Undecodable bytes become U+FFFD.
std::string DecodeLanguageText(const std::string& bytes);

// The folder `name` inside `dir`, matched without regard to letter case (an exact match
// wins); `dir` + "/" + `name` when no entry matches.
std::string FindIgnoreCase(const std::string& dir, const std::string& name);
// The ordinary files of `dir` whose names end in ".ini" in any letter case, sorted.
std::vector<std::string> ListLanguageFiles(const std::string& dir);

inline constexpr const char* kDefaultLanguageFile = "English.ini";

} // namespace kaprin
