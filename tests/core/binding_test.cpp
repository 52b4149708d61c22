#include "kaprin/core/library_binding.h"

#include "fakes.h"
#include "temp_dir.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

namespace kaprin {
namespace {

using test::FakeClock;
using test::FakeWindows;
using test::FatalError;

const std::string kFull = std::string(KAPRIN_STANDIN_DIR) + "/full";
const std::string kPartial = std::string(KAPRIN_STANDIN_DIR) + "/partial";

// The calls a stand-in recorded since the last read, read from the copy the binding
// loaded (dlopen of the same file gives the same copy).
std::string TakeCalls(const std::string& library) {
    void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!handle)
        return "<not loaded>";
    auto calls = reinterpret_cast<const char* (*)()>(dlsym(handle, "standin_calls"));
    auto reset = reinterpret_cast<void (*)()>(dlsym(handle, "standin_reset"));
    std::string text = calls ? calls() : "<no log>";
    if (reset)
        reset();
    dlclose(handle);
    return text;
}

bool Loaded(const std::string& library) {
    void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle)
        dlclose(handle);
    return handle != nullptr;
}

struct BindingTest : ::testing::Test {
    FakeClock clock;
    FakeWindows windows{clock};
};

// Every export reaches the library from the program's folder with its arguments;
// true travels as all bits set and results come back unchanged.
TEST_F(BindingTest, PellinCallsReachTheLibrary) {
    PellinLibrary pellin(windows, kFull);
    const std::string file = kFull + "/libPellin.so";
    TakeCalls(file);
    EXPECT_EQ(pellin.usePort(2, 57600), 3);
    pellin.PowerOn(true);
    pellin.PowerOn(false);
    pellin.BootOn(true);
    pellin.BootStart(false);
    pellin.BootShutDown(true);
    pellin.BotLoad("/fw/x.PLN");
    pellin.FontLoad("/fw/f.PLN");
    EXPECT_EQ(pellin.getPercent(), 42);
    EXPECT_EQ(pellin.getBlock(), 7);
    EXPECT_EQ(pellin.getError(), 3);
    EXPECT_EQ(pellin.CheckZ(), -1);
    EXPECT_EQ(pellin.CheckDevice(), 1);
    EXPECT_EQ(TakeCalls(file), "usePort(2,57600);PowerOn(255);PowerOn(0);BootOn(255);"
                               "BootStart(0);BootShutDown(255);BotLoad(/fw/x.PLN);"
                               "FontLoad(/fw/f.PLN);getPercent();getBlock();getError();"
                               "CheckZ();CheckDevice();");
    EXPECT_TRUE(windows.messages.empty());
}

TEST_F(BindingTest, KaldunCallReachesTheLibrary) {
    KaldunLibrary kaldun(windows, kFull);
    const std::string file = kFull + "/libKALDUN.so";
    EXPECT_EQ(kaldun.KALDUN("/fw/image.HEX"), 13);
    EXPECT_EQ(TakeCalls(file), "KALDUN(/fw/image.HEX);");
}

// Creating a binding loads nothing: a missing library is found out at the first call,
// which reports it by name.
TEST_F(BindingTest, MissingLibraryIsFatalAtFirstCall) {
    test::TempDir empty;
    PellinLibrary pellin(windows, empty.path().string(), "libPellinAbsentForTest.so");
    KaldunLibrary kaldun(windows, empty.path().string(), "libKALDUNAbsentForTest.so");
    try {
        pellin.usePort(0, 115200);
        FAIL() << "no fatal report";
    } catch (const FatalError& e) {
        EXPECT_NE(std::string(e.what()).find("libPellinAbsentForTest.so"), std::string::npos)
            << e.what();
    }
    try {
        kaldun.KALDUN("/x.HEX");
        FAIL() << "no fatal report";
    } catch (const FatalError& e) {
        EXPECT_NE(std::string(e.what()).find("libKALDUNAbsentForTest.so"), std::string::npos)
            << e.what();
    }
}

// Each export is looked up at its own first call: the others work, the missing one is
// reported by name when it is first called, and the binding goes on working after.
TEST_F(BindingTest, MissingExportIsFatalAtItsFirstCall) {
    const std::string file = kPartial + "/libPellin.so";
    PellinLibrary pellin(windows, kPartial);
    EXPECT_FALSE(Loaded(file)) << "loaded before the first call";
    EXPECT_EQ(pellin.CheckDevice(), 1);
    EXPECT_TRUE(Loaded(file));
    try {
        pellin.CheckZ();
        FAIL() << "no fatal report";
    } catch (const FatalError& e) {
        EXPECT_NE(std::string(e.what()).find("CheckZ"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("libPellin.so"), std::string::npos) << e.what();
    }
    EXPECT_EQ(pellin.getBlock(), 7);
    EXPECT_EQ(TakeCalls(file), "CheckDevice();getBlock();");

    KaldunLibrary kaldun(windows, kPartial);
    EXPECT_THROW(kaldun.KALDUN("/x.HEX"), FatalError);
}

// A library in the program's folder that cannot be loaded is reported with the reason.
TEST_F(BindingTest, BrokenLibraryBesideTheProgram) {
    test::TempDir dir;
    dir.Write("libPellin.so", "not a shared library");
    PellinLibrary pellin(windows, dir.path().string());
    try {
        pellin.CheckDevice();
        FAIL() << "no fatal report";
    } catch (const FatalError& e) {
        EXPECT_NE(std::string(e.what()).find("libPellin.so"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find(dir.path().string()), std::string::npos) << e.what();
    }
}

} // namespace
} // namespace kaprin
