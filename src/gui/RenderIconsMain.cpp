// detector-render-icons: writes the application icon (artwork::paintIcon) into a hicolor tree,
// as SVG and as 48, 128 and 256 px PNGs, and the Windows edition's icon file and window
// pictures; `./x icons` runs it and the results are committed.

#include "gui/Artwork.hpp"
#include "gui/IconFile.hpp"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QSvgGenerator>
#include <cstdio>
#include <vector>

namespace {

// Explorer, the taskbar and the title bar pick these at 100 to 200 % display scaling.
constexpr int kWindowsIconSizes[] = {16, 20, 24, 32, 40, 48, 64, 256};
// The Windows window draws its pictures at half these pixels at 100 %, and scales them down
// for 125 and 150 %: drawn at twice the size they stay sharp up to 200 %.
constexpr qreal kWindowsArtScale = 2.0;

bool savePng(const QPixmap& pixmap, const QString& file) {
    if (pixmap.save(file, "PNG")) {
        return true;
    }
    std::fprintf(stderr, "detector-render-icons: cannot write %s\n", qPrintable(file));
    return false;
}

std::vector<std::uint8_t> pngBytes(const QPixmap& pixmap) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    pixmap.save(&buffer, "PNG");
    return {data.begin(), data.end()};
}

bool writeWindows(const QString& root) {
    std::vector<IconFile::Image> images;
    for (const int px : kWindowsIconSizes) {
        images.push_back({static_cast<std::uint32_t>(px), static_cast<std::uint32_t>(px),
                          pngBytes(artwork::icon(QSize(px, px)))});
    }
    const std::vector<std::uint8_t> ico = IconFile::bytes(images);
    QDir().mkpath(root + QStringLiteral("/artwork"));
    const QString icoName = root + QStringLiteral("/detector-updater.ico");
    QFile file(icoName);
    if (ico.empty() || !file.open(QIODevice::WriteOnly) ||
        file.write(reinterpret_cast<const char*>(ico.data()), static_cast<qint64>(ico.size())) !=
            static_cast<qint64>(ico.size()) ||
        !file.flush()) {
        std::fprintf(stderr, "detector-render-icons: cannot write %s\n", qPrintable(icoName));
        return false;
    }
    const QString art = root + QStringLiteral("/artwork/");
    return savePng(artwork::logo(QSize(360, 150), kWindowsArtScale),
                   art + QStringLiteral("logo.png")) &&
           savePng(artwork::device(QSize(170, 90), kWindowsArtScale),
                   art + QStringLiteral("device.png")) &&
           savePng(artwork::database(QSize(48, 48), kWindowsArtScale),
                   art + QStringLiteral("database.png"));
}

} // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: detector-render-icons HICOLOR-DIR ICON-NAME WINDOWS-DIR\n");
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);

    const QString scalable = root + QStringLiteral("/scalable/apps");
    QDir().mkpath(scalable);
    QSvgGenerator svg;
    svg.setFileName(scalable + QLatin1Char('/') + name + QStringLiteral(".svg"));
    svg.setSize(QSize(256, 256));
    svg.setViewBox(QRect(0, 0, 256, 256));
    svg.setTitle(QStringLiteral("detector-updater"));
    svg.setDescription(QStringLiteral("Radar waves around a camera lens"));
    {
        QPainter painter(&svg);
        artwork::paintIcon(painter, QSizeF(256, 256));
    }
    for (const int px : {48, 128, 256}) {
        const QString folder = root + QStringLiteral("/%1x%1/apps").arg(px);
        QDir().mkpath(folder);
        if (!savePng(artwork::icon(QSize(px, px)),
                     folder + QLatin1Char('/') + name + QStringLiteral(".png"))) {
            return 1;
        }
    }
    return writeWindows(QString::fromLocal8Bit(argv[3])) ? 0 : 1;
}
