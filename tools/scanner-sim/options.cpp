#include "options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace sim {

const char kUsage[] = R"usage(Usage: scanner-sim [options]

Plays a scanner's boot loader on a pseudo-terminal. The first line on standard output is
  RS232_COM1=<slave path>
which a shell can export so that port COM1 of the download library opens the simulator:
  scanner-sim --log sim.log > sim.out &
  sleep 0.2; export "$(head -n1 sim.out)"

The simulator answers ACK (06) to every LF-terminated frame, "Z" to the probe byte "Z", and
echoes every other byte sent outside a frame (the device name of the presence probe).
It runs until it gets SIGINT or SIGTERM, until --exit-after is met, or until the process that
started it ends.

Faults (frames are counted from 1, resent frames included):
  --nak-at N[,N...]      answer NAK (15) to frame N
  --esc-at N[,N...]      answer ESC (1B, programming failed) to frame N
  --reply-at N:HH        answer byte HH (hex) to frame N; may be repeated
  --refuse-rate P        refuse each frame with probability P (0 to 1) ...
  --refuse-byte HH       ... answering byte HH (default 15, NAK)
  --seed N               seed of the random refusals (default 1)
  --silent-from N        answer nothing at all from frame N on (a device that hangs)
  --no-echo              answer no probe byte (the line looks empty)
  --check                NAK a frame whose record checksum is wrong
  --extra-byte-at N[,N...]  after the answer to frame N send one byte more (line noise) ...
  --extra-byte HH        ... this one (default 3F)

Timing:
  --baud B               pace both directions at B baud, 10 bits per byte (default: no pacing)
  --turnaround US        the device's time from a frame's LF to its answer, in microseconds

Device changes (for the utility's automatic mode):
  --away MS              after each complete download, the next probe byte starts MS ms in
                         which nothing is answered: the device was taken away, and a new one
                         is plugged in when they are over
  --exit-after N         exit with status 0 after N complete downloads, once the line has
                         been quiet for the linger time
  --linger MS            quiet time after an end frame that completes a download whose last
                         passes were empty, and before --exit-after exits (default 500)

A download is complete when the end frame of its last pass (pass 7, or pass 1 of a font job)
is acknowledged, when a shut-down or start frame follows it, or when the line stays quiet for
the linger time after an acknowledged end frame.

Output:
  --log FILE             write every frame and probe byte received, with the answer given,
                         and at exit a line of totals (frames, bytes each way, downloads)
  --help                 this text
)usage";

namespace {

bool ParseLong(const char* text, long& value) {
    if (text == nullptr || *text == '\0')
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 10);
    return errno == 0 && *end == '\0' && value >= 0;
}

bool ParseByte(const char* text, uint8_t& value) {
    if (text == nullptr || *text == '\0' || std::strlen(text) > 2)
        return false;
    char* end = nullptr;
    const unsigned long v = std::strtoul(text, &end, 16);
    if (*end != '\0')
        return false;
    value = static_cast<uint8_t>(v);
    return true;
}

// Calls add(frame) for each frame number of a list such as "5,6,9".
template <typename Add> bool ParseFrameList(const char* text, Add add) {
    std::string list = text == nullptr ? "" : text;
    if (list.empty())
        return false;
    size_t at = 0;
    while (at <= list.size()) {
        const size_t comma = list.find(',', at);
        const std::string item = list.substr(at, comma == std::string::npos ? comma : comma - at);
        long frame = 0;
        if (!ParseLong(item.c_str(), frame) || frame == 0)
            return false;
        add(frame);
        if (comma == std::string::npos)
            break;
        at = comma + 1;
    }
    return true;
}

} // namespace

bool ParseOptions(int argc, char** argv, Options& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--help" || name == "-h") {
            options.help = true;
            continue;
        }
        if (name == "--no-echo") {
            options.noEcho = true;
            continue;
        }
        if (name == "--check") {
            options.checkRecords = true;
            continue;
        }
        if (i + 1 >= argc) {
            error = "missing value after " + name;
            return false;
        }
        const char* value = argv[++i];
        long number = 0;
        bool ok = true;
        if (name == "--nak-at") {
            ok = ParseFrameList(value, [&](long frame) { options.replyAt[frame] = 0x15; });
        } else if (name == "--esc-at") {
            ok = ParseFrameList(value, [&](long frame) { options.replyAt[frame] = 0x1B; });
        } else if (name == "--extra-byte-at") {
            ok = ParseFrameList(value, [&](long frame) { options.extraAt.insert(frame); });
        } else if (name == "--extra-byte") {
            ok = ParseByte(value, options.extraByte);
        } else if (name == "--reply-at") {
            const char* colon = std::strchr(value, ':');
            uint8_t byte = 0;
            ok = colon != nullptr && ParseByte(colon + 1, byte);
            if (ok)
                ok = ParseFrameList(std::string(value, colon).c_str(),
                                    [&](long frame) { options.replyAt[frame] = byte; });
        } else if (name == "--refuse-rate") {
            char* end = nullptr;
            options.refuseRate = std::strtod(value, &end);
            ok = *value != '\0' && *end == '\0' && options.refuseRate >= 0 &&
                 options.refuseRate <= 1;
        } else if (name == "--refuse-byte") {
            ok = ParseByte(value, options.refuseByte);
        } else if (name == "--seed") {
            ok = ParseLong(value, number);
            options.seed = static_cast<unsigned>(number);
        } else if (name == "--silent-from") {
            ok = ParseLong(value, options.silentFrom) && options.silentFrom > 0;
        } else if (name == "--baud") {
            ok = ParseLong(value, options.baud);
        } else if (name == "--turnaround") {
            ok = ParseLong(value, options.turnaroundUs);
        } else if (name == "--away") {
            ok = ParseLong(value, options.awayMs);
        } else if (name == "--exit-after") {
            ok = ParseLong(value, options.exitAfter);
        } else if (name == "--linger") {
            ok = ParseLong(value, options.lingerMs);
        } else if (name == "--log") {
            options.logPath = value;
        } else {
            error = "unknown option " + name;
            return false;
        }
        if (!ok) {
            error = "bad value for " + name + ": " + value;
            return false;
        }
    }
    return true;
}

} // namespace sim
