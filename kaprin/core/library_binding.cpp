#include "kaprin/core/library_binding.h"

#include <dlfcn.h>
#include <sys/stat.h>

namespace kaprin {

LazyLibrary::LazyLibrary(MessageServices& messages, std::string programDir, std::string fileName)
    : messages_(messages), programDir_(std::move(programDir)), fileName_(std::move(fileName)) {}

void LazyLibrary::Open() {
    const std::string beside = programDir_ + "/" + fileName_;
    struct stat st {};
    const bool besideExists = !programDir_.empty() && ::stat(beside.c_str(), &st) == 0;
    // A broken library beside the program is reported, never replaced by another one that
    // the search happens to find.
    const std::string& target = besideExists ? beside : fileName_;
    handle_ = ::dlopen(target.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* error = ::dlerror();
        messages_.Fatal("The library " + fileName_ +
                        " cannot be loaded: " + (error ? error : "not found"));
    }
}

void* LazyLibrary::Symbol(const char* name) {
    if (!handle_)
        Open();
    ::dlerror();
    void* address = ::dlsym(handle_, name);
    if (!address)
        messages_.Fatal("The function " + std::string(name) + " cannot be found in the library " +
                        fileName_ + ".");
    return address;
}

PellinLibrary::PellinLibrary(MessageServices& messages, std::string programDir,
                             std::string fileName)
    : lib_(messages, std::move(programDir), std::move(fileName)) {}

void PellinLibrary::BotLoad(const std::string& path) {
    lib_.Resolve(botLoad_, "BotLoad")(path.c_str());
}

void PellinLibrary::FontLoad(const std::string& path) {
    lib_.Resolve(fontLoad_, "FontLoad")(path.c_str());
}

std::int32_t PellinLibrary::getPercent() {
    return lib_.Resolve(getPercent_, "getPercent")();
}
std::int32_t PellinLibrary::getBlock() {
    return lib_.Resolve(getBlock_, "getBlock")();
}
std::int32_t PellinLibrary::getError() {
    return lib_.Resolve(getError_, "getError")();
}

std::int32_t PellinLibrary::usePort(std::int32_t portIndex, std::int32_t baudRate) {
    return lib_.Resolve(usePort_, "usePort")(portIndex, baudRate);
}

void PellinLibrary::PowerOn(bool on) {
    lib_.Resolve(powerOn_, "PowerOn")(FlagByte(on));
}
void PellinLibrary::BootOn(bool on) {
    lib_.Resolve(bootOn_, "BootOn")(FlagByte(on));
}
void PellinLibrary::BootStart(bool on) {
    lib_.Resolve(bootStart_, "BootStart")(FlagByte(on));
}
void PellinLibrary::BootShutDown(bool on) {
    lib_.Resolve(bootShutDown_, "BootShutDown")(FlagByte(on));
}

std::int32_t PellinLibrary::CheckZ() {
    return lib_.Resolve(checkZ_, "CheckZ")();
}
std::int32_t PellinLibrary::CheckDevice() {
    return lib_.Resolve(checkDevice_, "CheckDevice")();
}

KaldunLibrary::KaldunLibrary(MessageServices& messages, std::string programDir,
                             std::string fileName)
    : lib_(messages, std::move(programDir), std::move(fileName)) {}

std::int32_t KaldunLibrary::KALDUN(const std::string& path) {
    return lib_.Resolve(kaldun_, "KALDUN")(path.c_str());
}

} // namespace kaprin
