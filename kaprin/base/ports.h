// The model's only ways out into the world. Each front end implements them; the tests
// use the fakes of tests/support.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kaprin {

class SerialPorts; // kaprin/prefs/serial_devices.h

// Millisecond tick counter; 32 bits, so differences are taken unsigned.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::uint32_t TickCount() = 0;
};

// Per-user store of application Kaprin: all values are text, absent reads as empty.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual std::string ReadSetting(const std::string& section, const std::string& key) = 0;
    // False when the value could not be saved (it is then lost when the program ends).
    virtual bool WriteSetting(const std::string& section, const std::string& key,
                              const std::string& value) = 0;
    // Where the values are kept, for messages (a file's path).
    virtual std::string Location() const { return "the settings store"; }
};

enum class WindowId { frmLanguage, frmComm, frmAbout, frmSetting, frmDevices };

// What a message box tells, shown by its icon.
enum class MessageKind { Information, Warning, Critical };

// A file chooser request. `filter` is in the "Name|*.A;*.B|Name2|*.C" form; `fileName` is
// the name the chooser offers (the dialog object keeps it between uses).
struct FileDialog {
    std::string filter;
    std::string initialDir;
    std::string fileName;
    bool appendsTo = false; // a save dialog for a file that is appended to, not replaced
};

// What a run asks of the person at the station: questions, messages, warnings and the
// bell; and how an unexpected failure ends the program. Both front ends have these.
class MessageServices {
public:
    virtual ~MessageServices() = default;

    // Yes/No and OK boxes titled with the program's title ("Kaprin").
    virtual bool AskYesNo(const std::string& text) = 0;
    virtual void ShowMessage(const std::string& text, MessageKind kind) = 0;
    // A warning that needs no answer and must not hold up a station: a message box in
    // the window, a line on standard error on a terminal.
    virtual void Warn(const std::string& text) { ShowMessage(text, MessageKind::Warning); }

    virtual void Beep() = 0;

    // An unexpected failure (missing library or export): report it, then end the
    // program with a non-zero exit status. Does not return.
    [[noreturn]] virtual void Fatal(const std::string& text) = 0;
};

// What only the main window has: file choosers, the other windows, help, its own close.
class WindowServices : public MessageServices {
public:
    // The chosen path, or nothing when the person cancelled.
    virtual std::optional<std::string> ChooseOpenFile(const FileDialog& dialog) = 0;
    virtual std::optional<std::string> ChooseSaveFile(const FileDialog& dialog) = 0;

    // Asks the front end to close the main window once the running handler has returned;
    // the front end then runs the model's close request and ends the program.
    virtual void CloseMainWindow() = 0;

    // A modeless window is shown, or brought forward when it is already open; a modal
    // one returns when it has closed. The window's model already exists in FrmMain.
    virtual void ShowWindow(WindowId id) = 0;
    virtual void ShowModalWindow(WindowId id) = 0;
    // The model has closed a window it owns (OK, Cancel); the front end drops its view.
    virtual void CloseWindow(WindowId id) = 0;

    // Opens the help page with the desktop's viewer; when none can show it, says so and
    // where the page is.
    virtual void OpenHelp(const std::string& path) = 0;
};

// The download library as the utility calls it. Flags are passed as true/false here;
// the binding passes true as all bits set.
class PellinApi {
public:
    virtual ~PellinApi() = default;
    virtual void BotLoad(const std::string& path) = 0;
    virtual void FontLoad(const std::string& path) = 0;
    virtual std::int32_t getPercent() = 0;
    virtual std::int32_t getBlock() = 0;
    virtual std::int32_t getError() = 0;
    virtual std::int32_t usePort(std::int32_t portIndex, std::int32_t baudRate) = 0;
    virtual void PowerOn(bool on) = 0;
    virtual void BootOn(bool on) = 0;
    virtual void BootStart(bool on) = 0;
    virtual void BootShutDown(bool on) = 0;
    virtual std::int32_t CheckZ() = 0;
    virtual std::int32_t CheckDevice() = 0;
};

class KaldunApi {
public:
    virtual ~KaldunApi() = default;
    virtual std::int32_t KALDUN(const std::string& path) = 0;
};

// How a transfer that was started ended, for the production record.
// Refused: the image's pin did not hold, so nothing was converted or sent.
enum class RecordOutcome { Ok, Failed, Interrupted, Refused };

// One transfer, as the production record keeps it. The writer adds the time, the
// station's host name and the device the port names.
struct DownloadRecord {
    std::int32_t portIndex = 0; // 0 is COM1
    std::string image;          // the PLN path handed to the library
    std::string imageSha256;    // lower-case hex; empty when the image could not be read
    RecordOutcome outcome = RecordOutcome::Failed;
    std::int32_t code = 0; // the library's result; 0 when ok or interrupted
    std::int32_t blocks = 0;
    std::uint32_t durationMs = 0;
};

// Where every transfer of either front end is recorded.
class ProductionRecord {
public:
    virtual ~ProductionRecord() = default;
    // SHA-256 of the file, taken just before it is handed to the library.
    virtual std::string ImageDigest(const std::string& path) = 0;
    // Asked once the device is found, before the chosen file is converted or sent: an
    // empty text lets it go on; otherwise why it is refused (the record has noted it).
    virtual std::string AdmitImage(std::int32_t /*portIndex*/, const std::string& /*image*/) {
        return {};
    }
    virtual void Write(const DownloadRecord& record) = 0;
};

// The ports a run and its panel need; no window among them.
struct RunPorts {
    MessageServices& messages;
    Clock& clock;
    SettingsStore& settings;
    PellinApi& pellin;
    KaldunApi& kaldun;
    ProductionRecord* record = nullptr; // none: transfers are not recorded
    // The serial component's port map and probe, and device detection; without it the
    // port map is not used and port failures are not explained.
    SerialPorts* serial = nullptr;
};

// Bound ports handed to the main window's model: the run's, and the window's services.
struct Ports {
    WindowServices& windows;
    Clock& clock;
    SettingsStore& settings;
    PellinApi& pellin;
    KaldunApi& kaldun;
    ProductionRecord* record = nullptr;
    SerialPorts* serial = nullptr;

    RunPorts run() const { return {windows, clock, settings, pellin, kaldun, record, serial}; }
};

// The period of the run's poll timer: short enough that a device and the end of a
// transfer are seen at once, long enough that a wait burns no CPU.
inline constexpr int kPollWaitMs = 5;

} // namespace kaprin
