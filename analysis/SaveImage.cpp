// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/SaveImage.h"

#include "analysis/Warn.h"
#include "app/Dialogs.h"
#include "app/ProbnikApplication.h"
#include "common/WholeFile.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSvgGenerator>
#include <QWidget>

#include <filesystem>
#include <string_view>

using namespace probnik;

QByteArray imageBytes(QWidget* shown, const QString& extension, const QString& title)
{
    const QString kind = extension.toLower();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (kind == QLatin1String("png")) {
        const QImage picture = shown->grab().toImage();
        if (picture.isNull() || !picture.save(&buffer, "PNG"))
            return {};
        return bytes;
    }
    if (kind == QLatin1String("svg")) {
        // Painted through the SVG generator, the widgets' lines, areas and texts stay
        // elements of the drawing rather than one bitmap.
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(shown->size());
        svg.setViewBox(QRect(QPoint(0, 0), shown->size()));
        svg.setTitle(title);
        svg.setDescription(QStringLiteral("Probnik"));
        QPainter painter;
        if (!painter.begin(&svg))
            return {};
        shown->render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
        painter.end();
        return bytes;
    }
    return {};
}

bool saveImageAs(QWidget* parent, QString& initialDir, QWidget* shown)
{
    Dialogs& dialogs = ProbnikApplication::dialogs();
    QString path = dialogs.saveImage(parent, initialDir);
    if (path.isEmpty())
        return false;
    QString extension = QFileInfo(path).suffix().toLower();
    if (extension.isEmpty()) {
        path += QStringLiteral(".png");
        extension = QStringLiteral("png");
    }
    if (extension != QLatin1String("png") && extension != QLatin1String("svg")) {
        ProbnikApplication::showError(parent,
            QStringLiteral("Obraz zapisuje się tylko jako PNG albo SVG: nazwa pliku ma się "
                           "kończyć na .png lub .svg, a nie .%1.")
                .arg(extension));
        return false;
    }
    if (QFileInfo::exists(path)
        && (!OKBottomDlg || dialogs.runModal(OKBottomDlg) != QDialog::Accepted))
        return false;
    const QByteArray bytes = imageBytes(shown, extension, shown->windowTitle());
    if (bytes.isEmpty()) {
        ProbnikApplication::showError(parent, QStringLiteral("Nie udało się utworzyć obrazu."));
        return false;
    }
    if (!writeWholeFile(std::filesystem::path(path.toStdString()),
            std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())))) {
        ProbnikApplication::showError(parent,
            QStringLiteral("Nie można zapisać pliku %1.").arg(QDir::toNativeSeparators(path)));
        return false;
    }
    initialDir = QDir::toNativeSeparators(QFileInfo(path).absolutePath());
    return true;
}
