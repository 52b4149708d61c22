#include "converter.h"

#include "banks.h"
#include "hex_line.h"
#include "line_reader.h"
#include "pln_writer.h"

#include <cstring>
#include <string>
#include <strings.h>

namespace kaldun {
namespace {

constexpr uint8_t kData = 0x00;
constexpr uint8_t kEndOfFile = 0x01;
constexpr uint8_t kSegmentAddress = 0x02;
constexpr uint8_t kLinearAddress = 0x04;
constexpr int kLastPage = 2;

bool endsWith(const std::string& path, const char* ext) {
    const std::size_t n = std::strlen(ext);
    return path.size() >= n && ::strcasecmp(path.c_str() + path.size() - n, ext) == 0;
}

// How the reading of one page ended.
struct PageEnd {
    enum Kind { FileEnd, Switch, Failed } kind = FileEnd;
    int nextPage = 0;                 // for Switch: the page the record opens
    Result failure = Result::Written; // for Failed
};

// The input being read: one file of the image, and whether it has had its end-of-file record.
struct Input {
    LineReader reader;
    bool sawEndOfFile = false;

    bool open(const std::string& path) {
        sawEndOfFile = false;
        return reader.open(path);
    }
};

// Reads lines for `page` until the file ends or a record opens a later page.
PageEnd readPage(Input& in, BankFiles& banks, int page) {
    Record record;
    std::string_view line;
    bool blank = false;
    for (;;) {
        const LineReader::Status status = in.reader.next(line, blank, kMaxLineLength);
        if (status == LineReader::Status::End)
            return {};
        if (status == LineReader::Status::ReadError)
            return {PageEnd::Failed, 0, Result::InputOpenFailed};
        if (blank)
            continue;
        if (line.size() > kMaxLineLength || decodeLine(line, record) != DecodeStatus::Ok) {
            // Text after an end-of-file record is not part of the image.
            if (in.sawEndOfFile)
                return {};
            return {PageEnd::Failed, 0, Result::BadLine};
        }

        switch (record.type) {
        case kData:
            if (record.address + static_cast<uint32_t>(record.length) > 0x10000)
                return {PageEnd::Failed, 0, Result::BadLine};
            if (!banks.placeData(page, record.address, record.data, record.length))
                return {PageEnd::Failed, 0, Result::BankFileFailed};
            break;
        case kEndOfFile:
            // Reading goes on, so that concatenated files keep working.
            in.sawEndOfFile = true;
            break;
        case kSegmentAddress:
            if (page == 0 && static_cast<int8_t>(record.data[0]) > 0)
                return {PageEnd::Switch, 1, Result::Written};
            if (page == 1)
                return {PageEnd::Switch, 2, Result::Written};
            break;
        case kLinearAddress: {
            if (record.length != 2)
                return {PageEnd::Failed, 0, Result::BadPageAddress};
            const int value = record.data[0] << 8 | record.data[1];
            if (value > kLastPage || value < page)
                return {PageEnd::Failed, 0, Result::BadPageAddress};
            if (value > page)
                return {PageEnd::Switch, value, Result::Written};
            break;
        }
        default:
            break; // start addresses and unknown types carry no data
        }
    }
}

// The steps of one conversion; `path` is the working copy whose last character changes as
// the files of a series are opened.
Result run(std::string path) {
    const std::string plnPath = plnPathFor(path);

    // 1. The bank files, all eight created empty; banks 0-3 stay open for page 0.
    BankFolder folder;
    if (!folder.ok())
        return Result::BankFileFailed;
    BankFiles banks(folder);
    for (int b = 0; b < kBankCount; ++b)
        if (!banks.create(b) || (b >= 4 && !banks.close(b)))
            return Result::BankFileFailed;

    // 2. The input.
    Input in;
    if (!in.open(path))
        return Result::InputOpenFailed;

    // 3. Page 0.
    PageEnd end = readPage(in, banks, 0);
    if (end.kind == PageEnd::Failed)
        return end.failure;

    bool morePages = true;
    if (endsWith(path, ".HEX")) {
        // 4. A plain HEX file holds all its pages; without a page record it is page 0 only.
        if (end.kind != PageEnd::Switch)
            morePages = false;
    } else {
        // 5. A series file or a pair holds page 0 alone; a page record in it ends it.
        in.reader.close();
        end = {};
        if (endsWith(path, ".HEC")) {
            path.back() = '0';
            if (!in.open(path))
                return Result::CompanionOpenFailed;
            end = readPage(in, banks, 0);
            if (end.kind == PageEnd::Failed)
                return end.failure;
        }
    }

    // 6. and 7. Pages 1 and 2, each from the same file when a page record opened it, else
    // from the next file of the series; a missing file ends the image there.
    for (int page = 1; morePages && page <= kLastPage; ++page) {
        if (!banks.closeAll())
            return Result::BankFileFailed;
        if (!banks.create(2 * page + 2) || !banks.create(2 * page + 3))
            return Result::BankFileFailed;
        if (end.kind != PageEnd::Switch) {
            in.reader.close();
            path.back() = static_cast<char>('0' + page);
            if (!in.open(path))
                break;
        }
        // A type 04 record may open page 2 straight from page 0; page 1 then stays empty.
        if (end.kind == PageEnd::Switch && end.nextPage > page)
            continue;
        end = readPage(in, banks, page);
        if (end.kind == PageEnd::Failed)
            return end.failure;
    }
    in.reader.close();

    // 8. The PLN file.
    if (!banks.closeAll())
        return Result::BankFileFailed;
    // 9. The bank files and their folder go with `folder`.
    return writePln(folder, plnPath);
}

} // namespace

Result convert(const char* path) {
    if (path == nullptr)
        return Result::InputOpenFailed;
    const std::size_t length = ::strnlen(path, kPathBufferSize);
    // The path and its NUL must fit the buffer; the PLN name needs three characters to
    // replace.
    if (length >= kPathBufferSize || length < 3)
        return Result::InputOpenFailed;
    return run(std::string(path, length));
}

} // namespace kaldun
