// Draws the window skin, every picture the windows show, as PNG written for
// quick decoding (pngfile.h), once at its shown size and once at twice that
// size as "name@2x.png" for dense screens; and the program's icon at the sizes
// desktops and installers ask for.
// Usage: drawskin <skin directory> <icon directory>   (run with QT_QPA_PLATFORM=offscreen)
//
// The pictures are committed; the build only embeds and installs them. Rerun
// this program (target skin-images) after changing it or the project's
// version, look at the results, commit both.
//
// The drawing lives beside this file, one file for each kind of picture
// (backgrounds, buttons, appicon); emblem and shapes hold the pieces they share,
// painting the palette and the canvas.

#include "appicon.h"
#include "backgrounds.h"
#include "buttons.h"
#include "painting.h"
#include "pngfile.h"

#include <QDir>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QSaveFile>
#include <QTextStream>

#include <utility>
#include <vector>

using namespace drawskin;

namespace {

struct Picture {
    QString file;
    QImage image;
};

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication application(argc, argv);
    QTextStream err(stderr);
    if (argc != 3) {
        err << "usage: drawskin <skin directory> <icon directory>\n";
        return 2;
    }
    // A missing family would silently fall back to another font and change
    // every committed picture; refuse instead.
    const QStringList families = QFontDatabase::families();
    if (!families.contains(kTextFamily)) {
        err << "drawskin: font family \"" << kTextFamily << "\" is not installed (run scripts/setup)\n";
        return 1;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const QDir icons(QString::fromLocal8Bit(argv[2]));
    for (const QDir &dir : {out, icons}) {
        if (!dir.exists() && !QDir().mkpath(dir.path())) {
            err << "drawskin: cannot create " << dir.path() << "\n";
            return 1;
        }
    }

    for (const qreal ratio : {1.0, 2.0}) {
        pictureRatio = ratio;
        // The names Qt looks for when a screen is denser than one device pixel per pixel.
        const QString suffix = ratio == 1 ? QString() : QStringLiteral("@%1x").arg(ratio);
        const std::vector<Picture> pictures = {
            {QStringLiteral("background"), background()},
            {QStringLiteral("read"), readButton(false)},
            {QStringLiteral("read_pressed"), readButton(true)},
            {QStringLiteral("save"), saveButton(false)},
            {QStringLiteral("save_pressed"), saveButton(true)},
            {QStringLiteral("back"), backButton(false)},
            {QStringLiteral("back_pressed"), backButton(true)},
            {QStringLiteral("about"), aboutButton()},
            {QStringLiteral("help"), helpButton()},
            {QStringLiteral("minimize"), minimizeButton()},
            {QStringLiteral("close"), closeButton()},
            {QStringLiteral("overlay"), overlay()},
            {QStringLiteral("about_background"), aboutBackground()},
            {QStringLiteral("icon"), appIcon()},
        };
        for (const Picture &picture : pictures) {
            const QString path = out.filePath(picture.file + suffix + QStringLiteral(".png"));
            if (!saveUnfilteredPng(picture.image, path)) {
                err << "drawskin: cannot write " << path << "\n";
                return 1;
            }
        }
    }
    // The icons are files of their own sizes, not high-density variants.
    pictureRatio = 1;
    for (int size : kIconSizes) {
        const QString path = icons.filePath(QStringLiteral("loggercfg-%1.png").arg(size));
        if (!appIcon(size).save(path, "PNG")) {
            err << "drawskin: cannot write " << path << "\n";
            return 1;
        }
    }
    for (const auto &[file, bytes] : {std::pair{QStringLiteral("loggercfg.ico"), appIconIco()},
                                      std::pair{QStringLiteral("loggercfg.svg"), appIconSvg()}}) {
        QSaveFile out(icons.filePath(file));
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) < 0 || !out.commit()) {
            err << "drawskin: cannot write " << out.fileName() << "\n";
            return 1;
        }
    }
    return 0;
}
