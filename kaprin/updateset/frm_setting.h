// The update-set window model. Placeholder so that the main window, which owns the
// window's model, compiles; the update sets fill it in.
#pragma once

namespace kaprin {

class FrmSetting {};

} // namespace kaprin
