// detector-render-icons: writes the application icon (artwork::paintIcon) into a hicolor tree,
// as SVG and as 48, 128 and 256 px PNGs; `./x icons` runs it and the results are committed.

#include "gui/Artwork.hpp"

#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QSvgGenerator>
#include <cstdio>

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: detector-render-icons HICOLOR-DIR ICON-NAME\n");
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
        const QString file = folder + QLatin1Char('/') + name + QStringLiteral(".png");
        if (!artwork::icon(QSize(px, px)).save(file, "PNG")) {
            std::fprintf(stderr, "detector-render-icons: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
