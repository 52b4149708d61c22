#include "kaprin/prefs/frm_comm.h"

#include "kaprin/core/frm_main.h"
#include "kaprin/prefs/settings_keys.h"

#include <cctype>

namespace kaprin {

namespace {

bool SameEntry(const std::string& typed, const std::string& entry) {
    auto first = typed.find_first_not_of(' ');
    auto last = typed.find_last_not_of(' ');
    if (first == std::string::npos)
        return false;
    const std::string t = typed.substr(first, last - first + 1);
    if (t.size() != entry.size())
        return false;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(t[i])) !=
            std::toupper(static_cast<unsigned char>(entry[i])))
            return false;
    }
    return true;
}

// The selected entry; a typed text counts when it names an entry.
int ChosenIndex(const ComboBox& combo) {
    if (combo.listIndex >= 0 && combo.listIndex < static_cast<int>(combo.entries.size()))
        return combo.listIndex;
    for (std::size_t i = 0; i < combo.entries.size(); ++i) {
        if (SameEntry(combo.text, combo.entries[i]))
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace

FrmComm::FrmComm(FrmMain& main) : main_(main) {
    for (int n = 1; n <= settings::kPorts; ++n)
        Combo1[0].entries.push_back("COM" + std::to_string(n));
    for (std::int32_t rate : settings::kBaudRates)
        Combo1[1].entries.push_back(std::to_string(rate));
    Combo1[2].text = "8";
    Combo1[3].text = "1";
    Combo1[4].text = "None";
}

void FrmComm::Form_Load() {
    auto& store = main_.ports().settings;
    using namespace settings;
    // A stored position outside its list (never written by the utility) selects the
    // default entry.
    int port = ParseWhole(store.ReadSetting(kComm, kComPort)).value_or(0);
    if (port < 0 || port >= kPorts)
        port = 0;
    Combo1[0].Select(port);

    const std::string storedRate = store.ReadSetting(kComm, kBaudRate);
    int rate = kDefaultBaudIndex;
    if (auto n = ParseWhole(storedRate)) {
        if (*n >= 0 && *n < static_cast<int>(Combo1[1].entries.size())) {
            rate = *n;
        } else {
            // Start-up passes such a number on as the rate itself: show that rate.
            for (std::size_t i = 0; i < std::size(kBaudRates); ++i) {
                if (kBaudRates[i] == *n)
                    rate = static_cast<int>(i);
            }
        }
    }
    Combo1[1].Select(rate);
}

void FrmComm::Command1_Click() {
    const int port = ChosenIndex(Combo1[0]);
    const int rate = ChosenIndex(Combo1[1]);
    // A typed text that names no entry: nothing to apply, the window stays open.
    if (port < 0 || rate < 0)
        return;
    const std::string portName = Combo1[0].entries[static_cast<std::size_t>(port)];
    const std::int32_t baud = settings::kBaudRates[rate];
    FrmMain& main = main_;
    main.ports().pellin.usePort(port, baud);
    main.lblPort.caption = portName;
    main.ports().settings.WriteSetting(settings::kComm, settings::kComPort,
                                       settings::WholeText(port));
    main.ports().settings.WriteSetting(settings::kComm, settings::kBaudRate,
                                       settings::WholeText(rate));
    main.ports().windows.CloseWindow(WindowId::frmComm);
    main.ChildWindow_Closed(WindowId::frmComm); // destroys this window's model
}

void FrmComm::Command2_Click() {
    FrmMain& main = main_;
    main.ports().windows.CloseWindow(WindowId::frmComm);
    main.ChildWindow_Closed(WindowId::frmComm); // destroys this window's model
}

void FrmMain::mnuComm_Click() {
    if (!frmComm) {
        frmComm = std::make_unique<FrmComm>(*this);
        frmComm->Form_Load();
    }
    ports_.windows.ShowWindow(WindowId::frmComm);
}

} // namespace kaprin
