// The recent files of the File menu, as the main window shows and updates them.
#include "kaprin/core/frm_main.h"
#include "kaprin/prefs/recent_files.h"
#include "kaprin/prefs/settings_keys.h"

namespace kaprin {

// The list lives in the store only: every step reads it afresh and writes at once.
void FrmMain::RefreshRecentMenu() {
    for (int n = 1; n <= settings::kRecentFiles; ++n) {
        const std::string entry =
            ports_.settings.ReadSetting(settings::kRecentFile, settings::RecentFileKey(n));
        if (entry.empty())
            continue;
        auto& item = mnuRF[static_cast<std::size_t>(n - 1)];
        item.caption = FileNamePart(entry);
        // Two files of one name in different folders differ in the tip.
        item.tooltip = entry;
        item.visible = true;
        if (n == 1)
            mnuLine2.visible = true;
    }
}

void RunPanel::ShiftRecentFiles() {
    auto& store = ports_.settings;
    for (int n = settings::kRecentFiles; n >= 2; --n) {
        store.WriteSetting(
            settings::kRecentFile, settings::RecentFileKey(n),
            store.ReadSetting(settings::kRecentFile, settings::RecentFileKey(n - 1)));
    }
}

void RunPanel::AddRecentFile(const std::string& path) {
    // An emptied file box (a step clicked during the transfer) names no file to list.
    if (path.empty())
        return;
    auto& store = ports_.settings;
    using settings::kRecentFile;
    using settings::RecentFileKey;
    for (int n = 1; n <= settings::kRecentFiles; ++n) {
        if (store.ReadSetting(kRecentFile, RecentFileKey(n)) != path)
            continue;
        // Already listed: it moves to the top, the entries above it move down one.
        for (int m = n; m >= 2; --m)
            store.WriteSetting(kRecentFile, RecentFileKey(m),
                               store.ReadSetting(kRecentFile, RecentFileKey(m - 1)));
        store.WriteSetting(kRecentFile, RecentFileKey(1), path);
        RecentFilesChanged();
        return;
    }
    ShiftRecentFiles();
    store.WriteSetting(kRecentFile, RecentFileKey(1), path);
    RecentFilesChanged();
}

void FrmMain::mnuRF_Click(int index) {
    if (index < 0 || index >= settings::kRecentFiles ||
        !mnuRF[static_cast<std::size_t>(index)].enabled)
        return;
    SetSFile(
        ports_.settings.ReadSetting(settings::kRecentFile, settings::RecentFileKey(index + 1)));
}

} // namespace kaprin
