// The PLN check refuses a visibly cut image and nothing the library would send whole.
#include "kaprin/core/image_check.h"
#include "pln_image.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct CutCase {
    const char* scenario;
    std::string file;
    int passes;
    bool cut;
};

std::string Whole(int banks) {
    testsupport::PlnLayout layout;
    layout.banks = banks;
    return testsupport::MakePlnImage(layout);
}

class CutPlnImage : public ::testing::TestWithParam<CutCase> {};

TEST_P(CutPlnImage, RefusesOnlyWhatCannotGoOutWhole) {
    const CutCase& c = GetParam();
    kaprin::test::TempDir dir;
    EXPECT_EQ(kaprin::IsCutPlnImage(dir.Write("I.PLN", c.file), c.passes), c.cut) << c.scenario;
}

const std::string kEight = Whole(8);
const std::string kBareLines = ":0100000055AA\n:02001000A55AEF";

INSTANTIATE_TEST_SUITE_P(
    Images, CutPlnImage,
    ::testing::Values(
        CutCase{"as the converter writes it", kEight, 8, false},
        CutCase{"LF line ends, closing line without one", ":0100000055AA\n=0000000000", 8, false},
        CutCase{"data lines alone", kBareLines + "\n", 8, false},
        CutCase{"cut inside a data line", kEight.substr(0, kEight.rfind(":") + 20), 8, true},
        CutCase{"cut inside a header line", Whole(2) + "=0200000102", 8, true},
        CutCase{"cut between CR and LF",
                kEight.substr(0, kEight.find("\r\n", kEight.find(":")) + 1), 8, true},
        CutCase{"last data line without its line end", kBareLines, 8, true},
        CutCase{"cut at a line end inside a bank", kEight.substr(0, kEight.rfind(":")), 8, true},
        CutCase{"a bank's header lines only", Whole(1) + "=020000010100FC\r\n", 8, true},
        CutCase{"wrong checksum", ":0100000055AB\n", 8, true},
        CutCase{"length byte disagrees", ":0200000055A9\n", 8, true},
        CutCase{"not hexadecimal", ":01000000G5AA\n", 8, true},
        CutCase{"cut beyond a font job's two banks", kEight.substr(0, kEight.size() - 30), 2,
                false},
        CutCase{"cut after a bank's closing line", Whole(3), 8, false}));

} // namespace
