#include "banks.h"
#include "write_all.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace kaldun {
namespace {

constexpr std::size_t kFlushSize = 64 * 1024;

} // namespace

BankFolder::BankFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = (tmp && *tmp) ? tmp : "/tmp";
    pattern += "/kaldun-XXXXXX";
    if (::mkdtemp(pattern.data()))
        dir_ = pattern;
}

BankFolder::~BankFolder() {
    if (dir_.empty())
        return;
    for (int b = 0; b < kBankCount; ++b)
        ::unlink(bankPath(b).c_str());
    ::rmdir(dir_.c_str());
}

std::string BankFolder::bankPath(int bank) const {
    return dir_ + "/Flash.B0" + static_cast<char>('0' + bank);
}

BankFiles::~BankFiles() {
    for (Bank& bank : banks_)
        if (bank.fd >= 0)
            ::close(bank.fd);
}

bool BankFiles::create(int bank) {
    Bank& b = banks_[bank];
    if (b.fd >= 0)
        ::close(b.fd);
    b.pending.clear();
    b.failed = false;
    b.fd = ::open(folder_.bankPath(bank).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    return b.fd >= 0;
}

bool BankFiles::flush(Bank& bank) {
    if (!bank.failed && !bank.pending.empty())
        bank.failed = !WriteAll(bank.fd, bank.pending.data(), bank.pending.size());
    bank.pending.clear();
    return !bank.failed;
}

bool BankFiles::close(int bank) {
    Bank& b = banks_[bank];
    if (b.fd < 0)
        return !b.failed;
    bool good = flush(b);
    if (::close(b.fd) != 0)
        good = false;
    b.fd = -1;
    b.failed = !good;
    return good;
}

bool BankFiles::closeAll() {
    bool good = true;
    for (int b = 0; b < kBankCount; ++b)
        good = close(b) && good;
    return good;
}

bool BankFiles::appendLine(int bank, uint32_t offset, const uint8_t* data, std::size_t length) {
    Bank& b = banks_[bank];
    if (b.fd < 0 || b.failed)
        return false;
    appendDataLine(b.pending, static_cast<uint16_t>(kBankWindow + offset), data, length);
    if (b.pending.size() >= kFlushSize)
        return flush(b);
    return true;
}

bool BankFiles::placeWhole(int page, uint32_t address, const uint8_t* data, std::size_t length) {
    // 1. The bank within the page, and the address moved into the bank window.
    const uint32_t k = address / kBankSize;
    const uint32_t offset = address % kBankSize;
    // Pages 1 and 2 keep only their upper half (k = 2 and 3).
    auto kept = [page](uint32_t bankInPage) { return page == 0 || bankInPage >= 2; };
    auto bankOf = [page](uint32_t bankInPage) { return static_cast<int>(bankInPage) + 2 * page; };

    // 2. The record stays within its bank.
    if (offset + length <= kBankSize)
        return !kept(k) || appendLine(bankOf(k), offset, data, length);

    // 3. It crosses a bank boundary: the first part fills the bank, the rest starts the next.
    const std::size_t first = kBankSize - offset;
    if (kept(k) && !appendLine(bankOf(k), offset, data, first))
        return false;
    return !kept(k + 1) || appendLine(bankOf(k + 1), 0, data + first, length - first);
}

bool BankFiles::placeData(int page, uint16_t address, const uint8_t* data, std::size_t length) {
    if (length <= kLongestWholeRecord)
        return placeWhole(page, address, data, length);
    for (std::size_t done = 0; done < length; done += kPieceLength) {
        const std::size_t piece = std::min(kPieceLength, length - done);
        if (!placeWhole(page, address + static_cast<uint32_t>(done), data + done, piece))
            return false;
    }
    return true;
}

} // namespace kaldun
