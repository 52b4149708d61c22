// The update-set window "Setting": six segment slots, each a path with its browse
// button, the record-file commands Load and Save, and OK and Cancel. It is modal and
// exists only while it is shown; the main window checks the stored set after it closed.
#pragma once

#include "kaprin/base/control.h"
#include "kaprin/base/ports.h"
#include "kaprin/updateset/record_file.h"

#include <array>
#include <string>

namespace kaprin {

inline constexpr Rgb kSlotLabelColour{0, 128, 0};

class FrmSetting {
public:
    // `mainChooser` is the main window's file chooser, which the browse buttons share.
    FrmSetting(Ports ports, FileDialog& mainChooser);

    std::string Caption = "Setting";
    std::array<Control, kSegmentSlots> Label1{
        Control{"第一階段燒錄韌體", true, true, false, kSlotLabelColour},
        Control{"第二階段燒錄韌體", true, true, false, kSlotLabelColour},
        Control{"第三階段燒錄韌體", true, true, false, kSlotLabelColour},
        Control{"第四階段燒錄韌體", true, true, false, kSlotLabelColour},
        Control{"第五階段燒錄韌體", true, true, false, kSlotLabelColour},
        Control{"第六階段燒錄韌體", true, true, false, kSlotLabelColour}};
    std::array<TextBox, kSegmentSlots> txtFile;
    std::array<Control, kSegmentSlots> cmdBrowse{Control{"瀏覽"}, Control{"瀏覽"}, Control{"瀏覽"},
                                                 Control{"瀏覽"}, Control{"瀏覽"}, Control{"瀏覽"}};
    Control cmdLoad{"載入"};
    Control cmdSave{"存檔"};
    Control OKButton{"確定"};
    Control CancelButton{"取消"};
    FileDialog CD1; // the window's own dialog for Load and Save

    // Fills the boxes from the stored set.
    void Form_Load();
    void cmdBrowse_Click(int index);
    void cmdLoad_Click();
    void cmdSave_Click();
    // Stores the six boxes, then closes the window.
    void OKButton_Click();
    void CancelButton_Click();

    // True once OK or Cancel closed the window.
    bool IsClosed() const { return closed_; }

private:
    void Close();

    Ports ports_;
    FileDialog& mainChooser_;
    bool closed_ = false;
};

} // namespace kaprin
