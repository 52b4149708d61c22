#include "kaprin/record/image_pin.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

namespace kaprin::record {
namespace {

// sha256 of "abc", the image's contents in every row.
const std::string kAbc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
const std::string kOther = std::string(64, '0');

// Where the pin comes from and what is refused: the file beside the image before the
// folder's list, the explicit pin before both, both sha256sum modes, and a refusal that
// names both hashes.
TEST(ImagePin, Rules) {
    struct Row {
        const char* scene;
        std::string beside; // FW.HEX.sha256, or none when empty
        std::string sums;   // SHA256SUMS, or none when empty
        PinRule rule;
        bool allowed;
        std::string refusalHas;
    };
    const std::vector<Row> rows = {
        {"no pin anywhere", "", "", {}, true, ""},
        {"no pin, one required", "", "", {"", true}, false, "FW.HEX is not pinned"},
        {"file beside, text mode", kAbc + "  FW.HEX\n", "", {}, true, ""},
        {"file beside, binary mode, a path", kAbc + " */srv/fw/FW.HEX\n", "", {"", true}, true, ""},
        {"file beside wins over the list",
         kAbc + "  FW.HEX\n",
         kOther + "  FW.HEX\n",
         {},
         true,
         ""},
        {"file beside, mismatch",
         kOther + "  FW.HEX\n",
         "",
         {},
         false,
         "has SHA-256 " + kAbc + ", but "},
        {"file beside names another file",
         kAbc + "  OLD.HEX\n",
         "",
         {},
         false,
         "has no SHA-256 for FW.HEX"},
        {"list, upper-case, CR LF",
         "",
         kOther + "  A.HEX\r\n" +
             "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD  FW.HEX\r\n",
         {},
         true,
         ""},
        {"list, mismatch", "", kOther + "  FW.HEX\n", {}, false, "SHA256SUMS pins " + kOther},
        {"explicit pin", "", kOther + "  FW.HEX\n", {kAbc, true}, true, ""},
        {"explicit pin, mismatch",
         kAbc + "  FW.HEX\n",
         "",
         {kOther, false},
         false,
         "but --expect-sha256 pins " + kOther},
        {"a malformed line is no pin",
         "",
         std::string(63, 'a') + "  FW.HEX\n",
         {},
         false,
         "has no SHA-256"},
    };
    for (const Row& row : rows) {
        kaprin::test::TempDir dir;
        const std::string image = dir.Write("FW.HEX", "abc");
        if (!row.beside.empty())
            dir.Write("FW.HEX.sha256", row.beside);
        if (!row.sums.empty())
            dir.Write("SHA256SUMS", row.sums);
        const PinVerdict v = CheckImagePin(image, row.rule);
        EXPECT_EQ(v.allowed, row.allowed) << row.scene << ": " << v.refusal;
        EXPECT_NE(v.refusal.find(row.refusalHas), std::string::npos)
            << row.scene << ": " << v.refusal;
        if (!row.allowed && !v.expected.empty()) {
            EXPECT_EQ(v.actual, kAbc) << row.scene;
        }
    }
}

} // namespace
} // namespace kaprin::record
