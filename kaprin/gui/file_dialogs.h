// The model's file chooser requests as Qt file dialogs.
#pragma once

#include "kaprin/base/ports.h"

#include <QStringList>

#include <optional>
#include <string>

class QFileDialog;
class QWidget;

namespace kaprin::gui {

// "PLN File|*.PLN|HEX File|*.HEX;*.H00;*.HEC" -> {"PLN File (*.PLN)",
// "HEX File (*.HEX *.H00 *.HEC)"}. The dialog matches them without regard to case.
QStringList NameFilters(const std::string& filter);

enum class DialogKind { Open, Save };

// Filters, folder and offered name as the request gives them.
void Configure(QFileDialog& dialog, const FileDialog& request, DialogKind kind);

// Shows the dialog; the chosen path, or nothing when it was cancelled.
std::optional<std::string> RunFileDialog(QWidget* parent, const FileDialog& request,
                                         DialogKind kind);

} // namespace kaprin::gui
