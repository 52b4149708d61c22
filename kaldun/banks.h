// The page and bank model, and the temporary bank files the banks pass through.
#pragma once

#include "hex_line.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace kaldun {

inline constexpr int kBankCount = 8;
inline constexpr uint32_t kBankSize = 0x4000;
// Every bank file address lies in this window.
inline constexpr uint16_t kBankWindow = 0x4000;
// Records longer than this are cut into pieces of kPieceLength before they are placed.
inline constexpr std::size_t kLongestWholeRecord = 27;
inline constexpr std::size_t kPieceLength = 16;

// A private folder under TMPDIR (or /tmp) holding "Flash.B00" to "Flash.B07"; the folder and
// the bank files are removed when it goes.
class BankFolder {
public:
    BankFolder();
    ~BankFolder();
    BankFolder(const BankFolder&) = delete;
    BankFolder& operator=(const BankFolder&) = delete;

    bool ok() const { return !dir_.empty(); }
    const std::string& dir() const { return dir_; }
    std::string bankPath(int bank) const;

private:
    std::string dir_;
};

// The bank files being written. Each open bank gathers its lines in memory and writes them
// out in large pieces.
class BankFiles {
public:
    explicit BankFiles(const BankFolder& folder) : folder_(folder) {}
    ~BankFiles();
    BankFiles(const BankFiles&) = delete;
    BankFiles& operator=(const BankFiles&) = delete;

    // Creates the bank file empty, replacing an old one, and keeps it open.
    bool create(int bank);
    // Writes out what is gathered and closes the file; false on a write error, or when an
    // earlier write to this bank failed.
    bool close(int bank);
    bool closeAll();

    // Places one data record read for page (0, 1 or 2): records longer than
    // kLongestWholeRecord bytes are cut into pieces first, and each record or piece that
    // crosses a bank boundary is split there. Data of pages 1 and 2 below 8000 is dropped.
    // The caller has checked that the record ends at or below FFFF. False on a write error.
    bool placeData(int page, uint16_t address, const uint8_t* data, std::size_t length);

private:
    struct Bank {
        int fd = -1;
        bool failed = false;
        std::string pending;
    };

    bool placeWhole(int page, uint32_t address, const uint8_t* data, std::size_t length);
    bool appendLine(int bank, uint32_t offset, const uint8_t* data, std::size_t length);
    bool flush(Bank& bank);

    const BankFolder& folder_;
    std::array<Bank, kBankCount> banks_;
};

} // namespace kaldun
