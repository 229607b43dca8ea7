// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Build tool: draws one of the program's SVG icons as a square PNG of a given size, so the
// bitmap sizes an icon theme wants all come from the one drawing. It needs no display.
//
//   probnik_svg_to_png ICON.svg SIZE OUT.png

#include <QCoreApplication>
#include <QImage>
#include <QImageReader>
#include <QStringList>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: probnik_svg_to_png ICON.svg SIZE OUT.png\n");
        return 2;
    }
    bool ok = false;
    const int size = args[2].toInt(&ok);
    if (!ok || size < 1 || size > 1024) {
        std::fprintf(stderr, "probnik_svg_to_png: bad size %s\n", qPrintable(args[2]));
        return 2;
    }
    if (!QImageReader::supportedImageFormats().contains("svg")) {
        std::fprintf(stderr,
            "probnik_svg_to_png: Qt cannot read SVG here; install Qt's SVG plugins "
            "(Debian package libqt6svg6)\n");
        return 1;
    }

    QImageReader reader(args[1], "svg");
    reader.setScaledSize(QSize(size, size));
    const QImage image = reader.read();
    if (image.isNull()) {
        std::fprintf(stderr, "probnik_svg_to_png: %s: %s\n", qPrintable(args[1]),
            qPrintable(reader.errorString()));
        return 1;
    }
    if (!image.convertToFormat(QImage::Format_ARGB32).save(args[3], "PNG")) {
        std::fprintf(stderr, "probnik_svg_to_png: cannot write %s\n", qPrintable(args[3]));
        return 1;
    }
    return 0;
}
