// Start-up, the command line and the close request, of the run panel and the main window.
#include "kaprin/base/port_choice.h"
#include "kaprin/core/frm_main.h"
#include "kaprin/prefs/comm_settings.h"
#include "kaprin/prefs/serial_devices.h"
#include "kaprin/prefs/settings_keys.h"
#include "kaprin/updateset/record_file.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <string_view>

namespace kaprin {

namespace {

bool StartsWith(const std::string& word, const char* option) {
    return word.size() >= 2 && word[0] == option[0] && word[1] == option[1];
}

// Byte length of the UTF-8 character at the start of `text` (1 for a stray byte).
std::size_t FirstCharLength(const std::string& text) {
    if (text.empty())
        return 0;
    auto lead = static_cast<unsigned char>(text[0]);
    std::size_t n = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    return std::min(n, text.size());
}

// The number of an "-E" word, clamped to 9 above and to the 16-bit range below whatever its
// size; nothing when the text is not a whole number.
std::optional<std::int16_t> FailLimitOf(const std::string& text) {
    if (auto n = settings::ParseWhole(text))
        return static_cast<std::int16_t>(std::clamp<std::int32_t>(*n, INT16_MIN, 9));
    // Too large for 32 bits: a run of digits after an optional sign.
    std::string t = settings::Trim(text);
    const bool negative = !t.empty() && t[0] == '-';
    if (!t.empty() && (t[0] == '-' || t[0] == '+'))
        t.erase(0, 1);
    if (t.empty() || t.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return negative ? std::int16_t{INT16_MIN} : std::int16_t{9};
}

// What a word is to ParseCommandOptions: its option letter, or 0 when it matches none.
char OptionLetter(const std::string& word) {
    if (word.size() < 2 || word[0] != '-')
        return 0;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(word[1])));
    return std::string_view("ASDCFE").find(letter) == std::string_view::npos ? 0 : letter;
}

} // namespace

std::string CommandWordsProblem(const std::vector<std::string>& words) {
    std::vector<std::string> given;
    for (const std::string& w : words)
        if (!w.empty())
            given.push_back(w);
    if (given.size() > static_cast<std::size_t>(kCmdMaxWords))
        return "too many words: the program takes at most " + std::to_string(kCmdMaxWords) +
               " (one of -A, -C, -S, -D; -F=FILE; -E<n>), and \"" + given[kCmdMaxWords] +
               "\" is one more";
    std::string mode, file, limit;
    for (const std::string& w : given) {
        const char letter = OptionLetter(w);
        if (letter == 0)
            return "\"" + w + "\" is not an option (give the file as -F=" + w + ")";
        std::string& seen = letter == 'F' ? file : letter == 'E' ? limit : mode;
        if (!seen.empty())
            return seen + " and " + w + " exclude each other" +
                   (&seen == &mode ? ": give one of -A, -C, -S, -D" : ": give it once");
        seen = w;
    }
    return {};
}

void FrmMain::Form_Load() {
    LoadCommandLine();
    RefreshRecentMenu();
    ApplyStartupSettings();
    AutoFailCount = 0;
}

void RunPanel::LoadCommandLine() {
    SplitCommandLine();
    ParseCommandOptions();
}

void RunPanel::SplitCommandLine() {
    auto& m = module1;
    m.CmdWordCount = 0;
    if (commandWords_) {
        for (const std::string& word : *commandWords_) {
            if (m.CmdWordCount == kCmdMaxWords)
                break;
            if (!word.empty())
                m.CmdWords[static_cast<std::size_t>(m.CmdWordCount++)] = word;
        }
        return;
    }
    const std::string& line = commandLine_;
    std::size_t start = 0;
    while (m.CmdWordCount < kCmdMaxWords && start < line.size()) {
        std::size_t space = line.find(' ', start);
        if (space == std::string::npos) {
            m.CmdWords[static_cast<std::size_t>(m.CmdWordCount++)] = line.substr(start);
            break;
        }
        // A leading space or two in a row make no empty word.
        if (space > start)
            m.CmdWords[static_cast<std::size_t>(m.CmdWordCount++)] =
                line.substr(start, space - start);
        start = space + 1;
    }
}

void RunPanel::ParseCommandOptions() {
    auto& m = module1;
    if (m.CmdWordCount == 0) {
        m.CmdGiven = false;
        return;
    }
    m.CmdGiven = true;
    m.CmdMode = kCmdNone;
    m.CmdFile.clear();
    m.AutoFailLimit = 3;
    for (int i = 0; i < m.CmdWordCount; ++i) {
        std::string& word = m.CmdWords[static_cast<std::size_t>(i)];
        const std::string asTyped = word;
        for (char& c : word)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (StartsWith(word, "-A")) {
            m.CmdMode = kCmdAuto;
        } else if (StartsWith(word, "-S")) {
            m.CmdMode = kCmdStart;
        } else if (StartsWith(word, "-D")) {
            m.CmdMode = kCmdShutDown;
        } else if (StartsWith(word, "-C")) {
            m.CmdMode = kCmdAutoClose;
        } else if (StartsWith(word, "-F")) {
            // "-F", a separator character, then the path in the letter case typed.
            const std::string rest = asTyped.substr(2);
            const std::string path = rest.substr(FirstCharLength(rest));
            if (!path.empty())
                m.CmdFile = path;
        } else if (StartsWith(word, "-E")) {
            m.AutoFailLimit = FailLimitOf(word.substr(2)).value_or(3);
        }
    }
}

void FrmMain::ApplyStartupSettings() {
    const int port = LoadRunSettings();
    ApplyMainLang();
    LampIndex = 0;
    lblPort.caption = ComName(port + 1);

    // The engineer panel stays hidden.
    mnuEMode.visible = false;
    ShowEngineerPanel(false);

    // A step whose file is not set or is gone is disabled from the start, not only once
    // the update-set window has closed. The status text is not touched here.
    for (int k = 0; k < kSegmentSlots; ++k)
        CheckUpdateFile(k);
}

int RunPanel::LoadRunSettings() {
    auto& store = ports_.settings;
    using namespace settings;

    // 1. Language.
    std::string language = store.ReadSetting(kSetup, kLanguage);
    if (language.empty())
        language = kDefaultLanguageFile;
    LoadLangFile(LanguageFolder() + "/" + language);

    // 2. The last file, with its times.
    SetSFile(store.ReadSetting(kRecentFile, RecentFileKey(1)));

    // 3, 4. Delay and both line flags off.
    cboDelay.Select(0);
    SetPowerLine(false);
    SetBootLine(false);

    // 5. The port map, then port and baud rate to the library. Nothing stored can stop
    // the program: an unreadable port or one outside the list is the first port.
    if (ports_.serial)
        ports_.serial->SetPortMap(comm::ReadPortMap(store));
    const int port = comm::ReadPortPosition(store);
    ports_.pellin.usePort(port, comm::ReadBaudRate(store));

    // 6. Run options.
    mnuDTR.checked = ReadBool(store, kSetup, kDTR, true);
    mnuRTS.checked = ReadBool(store, kSetup, kRTS, true);
    mnuConvert.checked = ReadBool(store, kSetup, kConvert, true);
    mnuQuenlar.checked = ReadBool(store, kSetup, kQuenlar, true);
    mnuBotStart.checked = ReadBool(store, kSetup, kStart, false);
    mnuBotShutDown.checked = ReadBool(store, kSetup, kShutDown, false);
    return port;
}

bool RunPanel::RunCommandLineAction() {
    // Once only: a later activation (after one of the utility's own dialogs) would
    // switch the automatic mode off again.
    if (commandLineDone_)
        return false;
    commandLineDone_ = true;
    const auto& m = module1;
    if (!m.CmdGiven || m.CmdWordCount <= 0)
        return false;
    if (!m.CmdFile.empty())
        SetSFile(m.CmdFile);
    switch (m.CmdMode) {
    case kCmdAuto:
    case kCmdAutoClose:
        return true;
    case kCmdStart:
        // Only its own item: a restored "After Quenlar Shut Down" stays on.
        mnuBotStart.checked = true;
        break;
    case kCmdShutDown:
        mnuBotShutDown.checked = true;
        break;
    default:
        break;
    }
    return false;
}

void RunPanel::Form_QueryUnload() {
    t2.enabled = false;
    mnuAutoQuenlar.checked = false;
    using namespace settings;
    auto& store = ports_.settings;
    store.WriteSetting(kSetup, kEMode, BoolText(EngineerMode()));
    store.WriteSetting(kSetup, kDTR, BoolText(mnuDTR.checked));
    store.WriteSetting(kSetup, kRTS, BoolText(mnuRTS.checked));
    store.WriteSetting(kSetup, kConvert, BoolText(mnuConvert.checked));
    store.WriteSetting(kSetup, kQuenlar, BoolText(mnuQuenlar.checked));
    store.WriteSetting(kSetup, kStart, BoolText(mnuBotStart.checked));
    store.WriteSetting(kSetup, kShutDown, BoolText(mnuBotShutDown.checked));
}

} // namespace kaprin
