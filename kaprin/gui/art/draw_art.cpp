// Writes the product pictures to a folder: the About picture, the window logo and the
// desktop icon. Run by hand (target kaprin_art) when the artwork changes; the installed
// desktop icons are these files. The windows draw their pictures themselves.
#include "kaprin/gui/art/art.h"

#include <QGuiApplication>

#include <cstdio>

namespace {

bool Save(const QImage& image, const QString& path) {
    if (image.save(path, "PNG"))
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw_art FOLDER\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    using namespace kaprin::gui;
    const bool ok = Save(DrawAbout(1), folder + "/about.png") &&
                    Save(DrawIcon(48, 1), folder + "/logo48.png") &&
                    Save(DrawIcon(256, 1), folder + "/kaprin.png");
    return ok ? 0 : 1;
}
