#include "kaprin/gui/file_dialogs.h"

#include "kaprin/gui/binding.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>

namespace kaprin::gui {

QStringList NameFilters(const std::string& filter) {
    const QStringList parts = Q(filter).split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(';', Qt::SkipEmptyParts);
        for (QString& pattern : patterns)
            pattern = pattern.trimmed();
        filters << parts[i].trimmed() + " (" + patterns.join(' ') + ")";
    }
    if (parts.size() % 2 == 1 && !parts.last().isEmpty())
        filters << parts.last().trimmed() + " (*)";
    return filters;
}

namespace {

// "*.SAV" of the chosen filter gives the suffix a typed name without one receives.
QString SuffixOf(const QString& nameFilter) {
    static const QRegularExpression first(R"(\(\*\.([^ *?)]+))");
    const auto match = first.match(nameFilter);
    return match.hasMatch() ? match.captured(1) : QString();
}

} // namespace

void Configure(QFileDialog& dialog, const FileDialog& request, DialogKind kind) {
    // Qt's own dialog everywhere: its filters ignore letter case, as the program does
    // with file kinds, and it behaves the same on every desktop.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setWindowTitle(kind == DialogKind::Open ? QObject::tr("Open") : QObject::tr("Save As"));
    if (kind == DialogKind::Open) {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        // A file that is appended to is not replaced: no question about replacing it.
        dialog.setOption(QFileDialog::DontConfirmOverwrite, request.appendsTo);
    }
    const QStringList filters = NameFilters(request.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        dialog.selectNameFilter(filters.first());
        if (kind == DialogKind::Save)
            dialog.setDefaultSuffix(SuffixOf(filters.first()));
    }
    // The initial folder may name a file (the main window passes its file box): then
    // its folder is opened with the file selected.
    const QFileInfo initial(Q(request.initialDir));
    if (!request.initialDir.empty()) {
        if (initial.isDir()) {
            dialog.setDirectory(initial.absoluteFilePath());
        } else if (initial.dir().exists()) {
            dialog.setDirectory(initial.absolutePath());
            if (request.fileName.empty() && initial.exists())
                dialog.selectFile(initial.fileName());
        }
    }
    if (!request.fileName.empty())
        dialog.selectFile(Q(request.fileName));
}

std::optional<std::string> RunFileDialog(QWidget* parent, const FileDialog& request,
                                         DialogKind kind) {
    QFileDialog dialog(parent);
    dialog.setObjectName("CD1");
    Configure(dialog, request, kind);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty())
        return std::nullopt;
    return S(QDir::toNativeSeparators(chosen.first()));
}

} // namespace kaprin::gui
