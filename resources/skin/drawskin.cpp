// Draws the window skin, every picture the windows show, as PNG written for
// quick decoding (pngfile.h), once at its shown size and once at twice that
// size as "name@2x.png" for dense screens; and the program's icon at the sizes
// desktops and installers ask for.
//
// Some pictures are drawn at another size than their controls': the buttons
// at twice, for smoother edges. Their 1x files hold them scaled to the
// control the way the window itself scales a picture, so the window shows
// the same pixels without scaling them at every start. Their 2x files keep
// the drawn size, which the window scales to the ratios between 1 and 2.
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
    // The size of the controls that show it, where it is drawn at another.
    QSize shown;
};

// What an image control shows of a picture at ratio 1: the file's pixels,
// premultiplied as a pixmap holds them, scaled smoothly to the control's size.
// Premultiplied pixels come back unchanged from the file's straight RGBA.
QImage scaledAsShown(const QImage &drawn, QSize shown)
{
    const QImage filed = drawn.convertToFormat(QImage::Format_RGBA8888);
    return filed.convertToFormat(QImage::Format_ARGB32_Premultiplied)
        .scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

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

    // The controls' sizes in the forms; the window's tests check that each
    // 1x picture has its control's size.
    constexpr QSize kRoundButton(76, 76);
    for (const qreal ratio : {1.0, 2.0}) {
        pictureRatio = ratio;
        // The names Qt looks for when a screen is denser than one device pixel per pixel.
        const QString suffix = ratio == 1 ? QString() : QStringLiteral("@%1x").arg(ratio);
        const std::vector<Picture> pictures = {
            {QStringLiteral("background"), background(), {}},
            {QStringLiteral("read"), readButton(false), kRoundButton},
            {QStringLiteral("read_pressed"), readButton(true), kRoundButton},
            {QStringLiteral("save"), saveButton(false), kRoundButton},
            {QStringLiteral("save_pressed"), saveButton(true), kRoundButton},
            {QStringLiteral("back"), backButton(false), kRoundButton},
            {QStringLiteral("back_pressed"), backButton(true), kRoundButton},
            {QStringLiteral("about"), aboutButton(), {36, 36}},
            {QStringLiteral("help"), helpButton(), {36, 36}},
            {QStringLiteral("minimize"), minimizeButton(), {24, 24}},
            {QStringLiteral("close"), closeButton(), {23, 24}},
            {QStringLiteral("overlay"), overlay(), {}},
            {QStringLiteral("about_background"), aboutBackground(), {}},
            {QStringLiteral("icon"), appIcon(), {}},
        };
        for (const Picture &picture : pictures) {
            const QString path = out.filePath(picture.file + suffix + QStringLiteral(".png"));
            const bool scale = ratio == 1 && picture.shown.isValid() && picture.shown != picture.image.size();
            if (!saveUnfilteredPng(scale ? scaledAsShown(picture.image, picture.shown) : picture.image, path)) {
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
