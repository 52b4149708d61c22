// The image transfer: link start, passes of header frames, data lines and end frame, each
// acknowledged by the device, and the optional frames after a good transfer.
#include "engine.h"
#include "record.h"

#include <cstring>

namespace pellin {

namespace {

constexpr uint32_t kMaxRefusals = 5;
constexpr int kSyncTries = 4;

} // namespace

Status Engine::SendAndWait(uint32_t seconds) {
    const int32_t length = static_cast<int32_t>(std::strlen(state_.line));
    uint32_t refusals = 0;
    uint32_t strayBytes = 0;
    for (;;) {
        // 1. Send the frame and time the reply from here. A byte already waiting (line noise,
        // a late echo, a second answer) would otherwise be taken for this frame's answer and
        // shift every later one.
        DiscardInput();
        port_.WritePort(state_.line, length);
        const uint32_t start = clock_.Tick();
        // 2. No reply in time: time-out; the frame is not sent again.
        uint8_t reply = 0;
        if (!WaitByte(start, seconds * 1000, &reply))
            return kTimeOut;
        // 3. Accepted, or programming failed.
        if (reply == kAck)
            return kOk;
        if (reply == kEsc)
            return kProgramFail;
        // 4. Any other byte is a refusal; NAKs and others count together.
        if (reply != kNak)
            ++strayBytes;
        if (++refusals == kMaxRefusals) {
            if (reply == kNak)
                return kRefusedNak;
            // Not one real answer among them: the line, not the device, is talking.
            return strayBytes == kMaxRefusals ? kNoisyLine : kRefusedOther;
        }
        // A NAK is the device's own answer: the frame goes again at once, since its boot
        // loader may give up waiting between frames. A byte that is no answer may be noise
        // ahead of the real one, which would then be taken for the answer to the frame sent
        // again and shift every later one: drop what comes until this frame's answer is due.
        if (reply != kNak) {
            const uint32_t due = AnswerWindowMs(length);
            const uint32_t elapsed = clock_.Tick() - start;
            if (elapsed < due)
                DiscardUntilQuiet(due - elapsed, due - elapsed);
        }
    }
}

void Engine::BuildFrame(uint8_t type, const uint8_t* data, uint8_t count) {
    std::memset(state_.line, 0, sizeof state_.line);
    FormatControlFrame(state_.line, type, data, count);
}

void Engine::PutFrame(const char* text) {
    std::memset(state_.line, 0, sizeof state_.line);
    std::strncpy(state_.line, text, sizeof state_.line - 1);
}

bool Engine::LinkStart() {
    // 1. Open the port.
    if (port_.OpenPort() != 0)
        return false;
    // 2. Modem lines, with no pause before or after.
    SetLines();
    // 3. Synchronise: end frames until one is acknowledged, four at most.
    BuildFrame(kTypeEnd, nullptr, 0);
    for (int i = 0; i < kSyncTries; ++i) {
        if (SendAndWait(2) == kOk)
            break;
    }
    // 4. One more, whatever the tries gave; only this one decides.
    if (SendAndWait(2) == kOk)
        return true;
    port_.ClosePort();
    return false;
}

Status Engine::RunPass(ImageFile& file, int32_t pass) {
    // 1. Note where the block begins; an empty rest of file is a good, empty pass.
    const uint64_t blockStart = file.Position();
    ImageFile::Read read = file.ReadLine(state_.line);
    if (read == ImageFile::Read::End)
        return kOk;
    if (read == ImageFile::Read::TooLong)
        return kRefusedOther;
    if (read == ImageFile::Read::Error)
        return kFileError;

    Status status = kOk;
    if (state_.line[0] == '=') {
        // 2. The block brings its own header lines: both are sent as read.
        if ((status = SendAndWait(2)) != kOk)
            return status;
        read = file.ReadLine(state_.line);
        if (read == ImageFile::Read::End)
            return kOk;
        if (read == ImageFile::Read::TooLong)
            return kRefusedOther;
        if (read == ImageFile::Read::Error)
            return kFileError;
        if ((status = SendAndWait(10)) != kOk)
            return status;
    } else {
        // 3. No header lines: build them, and read this line again in the data loop.
        const uint8_t header[2] = {static_cast<uint8_t>(state_.fontFlag),
                                   static_cast<uint8_t>(pass)};
        BuildFrame(kTypeAnnounce, header, 2);
        if ((status = SendAndWait(2)) != kOk)
            return status;
        BuildFrame(kTypePrepare, header, 2);
        if ((status = SendAndWait(10)) != kOk)
            return status;
        if (!file.Seek(blockStart))
            return kFileError;
    }

    // 4. Data lines, sent as read; percent moves only after an acknowledged line.
    for (;;) {
        read = file.ReadLine(state_.line);
        if (read == ImageFile::Read::TooLong)
            return kRefusedOther;
        if (read == ImageFile::Read::Error)
            return kFileError;
        if (read == ImageFile::Read::End || state_.line[0] != ':')
            break;
        if ((status = SendAndWait(2)) != kOk)
            return status;
        state_.percent.store(ProgressPercent(file.Position(), file.Length()));
    }

    // 5. The closing line is not sent: the end frame takes its place.
    BuildFrame(kTypeEnd, nullptr, 0);
    return SendAndWait(2);
}

Status Engine::Transfer(const char* path) {
    // 1. Open the image; nothing is sent when it cannot be read.
    ImageFile file;
    if (!file.Open(path)) {
        state_.error.store(kFileError);
        return kFileError;
    }

    // 2.-3. The passes, one per bank.
    const int32_t passes = state_.fontFlag != 0 ? 2 : 8;
    Status status = kOk;
    for (int32_t pass = 0; pass < passes; ++pass) {
        status = RunPass(file, pass);
        if (status == kTimeOut) {
            // Leave the device at a block boundary; this frame's answer does not matter.
            BuildFrame(kTypeEnd, nullptr, 0);
            (void)SendAndWait(2);
            break;
        }
        if (status != kOk)
            break;
        state_.block.fetch_add(1);
    }

    // 4. Publish: the error code first, so that whoever sees the final percent also sees it.
    file.Close();
    state_.error.store(status);
    if (status == kOk)
        state_.percent.store(100);
    else
        state_.percent.fetch_add(1);

    // 5.-6. The frames after a good transfer; decided by this transfer's own status, since
    // the caller may already have cleared the published code.
    if (status == kOk && state_.shutDownFlag.load() != 0) {
        PutFrame(kShutDownFrame);
        (void)SendAndWait(1);
    }
    if (status == kOk && state_.startFlag.load() != 0) {
        PutFrame(kStartFrame);
        (void)SendAndWait(1);
    }
    return status;
}

} // namespace pellin
