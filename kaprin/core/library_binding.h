// The real download and converter libraries, bound by file name at the first call of
// any of their functions, each export looked up by name at its own first call.
#pragma once

#include "kaldun/kaldun.h"
#include "kaprin/base/ports.h"
#include "pellin/pellin.h"

#include <cstdint>
#include <string>

namespace kaprin {

inline constexpr const char* kPellinFile = "libPellin.so";
inline constexpr const char* kKaldunFile = "libKALDUN.so";

// A shared library opened at first use: the program's folder first, then the usual
// search of the dynamic loader. A library or export that cannot be found is reported
// through MessageServices::Fatal, which ends the program.
class LazyLibrary {
public:
    LazyLibrary(MessageServices& messages, std::string programDir, std::string fileName);
    // The library stays loaded: a download worker may still run in it.
    ~LazyLibrary() = default;
    LazyLibrary(const LazyLibrary&) = delete;
    LazyLibrary& operator=(const LazyLibrary&) = delete;

    // The address of an export; does not return when it cannot be had.
    void* Symbol(const char* name);
    const std::string& fileName() const { return fileName_; }

    // Resolves `slot` at its first use and keeps it.
    template <class Fn> Fn Resolve(Fn& slot, const char* name) {
        if (!slot)
            slot = reinterpret_cast<Fn>(Symbol(name));
        return slot;
    }

private:
    void Open();

    MessageServices& messages_;
    std::string programDir_;
    std::string fileName_;
    void* handle_ = nullptr;
};

class PellinLibrary : public PellinApi {
public:
    PellinLibrary(MessageServices& messages, std::string programDir,
                  std::string fileName = kPellinFile);

    void BotLoad(const std::string& path) override;
    void FontLoad(const std::string& path) override;
    std::int32_t getPercent() override;
    std::int32_t getBlock() override;
    std::int32_t getError() override;
    std::int32_t usePort(std::int32_t portIndex, std::int32_t baudRate) override;
    void PowerOn(bool on) override;
    void BootOn(bool on) override;
    void BootStart(bool on) override;
    void BootShutDown(bool on) override;
    std::int32_t CheckZ() override;
    std::int32_t CheckDevice() override;

private:
    // Typed from the library's own declarations, so that the two cannot drift apart.
    LazyLibrary lib_;
    decltype(&::BotLoad) botLoad_ = nullptr;
    decltype(&::FontLoad) fontLoad_ = nullptr;
    decltype(&::getPercent) getPercent_ = nullptr;
    decltype(&::getBlock) getBlock_ = nullptr;
    decltype(&::getError) getError_ = nullptr;
    decltype(&::CheckZ) checkZ_ = nullptr;
    decltype(&::CheckDevice) checkDevice_ = nullptr;
    decltype(&::usePort) usePort_ = nullptr;
    decltype(&::PowerOn) powerOn_ = nullptr;
    decltype(&::BootOn) bootOn_ = nullptr;
    decltype(&::BootStart) bootStart_ = nullptr;
    decltype(&::BootShutDown) bootShutDown_ = nullptr;
};

class KaldunLibrary : public KaldunApi {
public:
    KaldunLibrary(MessageServices& messages, std::string programDir,
                  std::string fileName = kKaldunFile);
    std::int32_t KALDUN(const std::string& path) override;

private:
    LazyLibrary lib_;
    decltype(&::KALDUN) kaldun_ = nullptr;
};

// True travels as all bits set.
inline std::uint8_t FlagByte(bool on) {
    return on ? 0xFF : 0x00;
}

} // namespace kaprin
