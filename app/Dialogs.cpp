// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/Dialogs.h"

#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

QString Dialogs::openBitmap(QWidget* parent, const QString& dir)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // Every picture read comes first and is chosen; bitmaps alone stay the second choice.
    dialog.setNameFilters({ QStringLiteral("Obrazy (*.bmp *.png *.tif *.tiff *.jpg *.jpeg)"),
        QStringLiteral("Bitmap Files (*.bmp)") });
    dialog.setDefaultSuffix(QStringLiteral("bmp"));
    if (!dir.isEmpty())
        dialog.setDirectory(dir);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

void Dialogs::error(QWidget* parent, const QString& message)
{
    QMessageBox::critical(parent, QStringLiteral("Probnik"), message);
}

void Dialogs::colour(QWidget* parent)
{
    QColorDialog dialog(parent);
    dialog.exec();
}

void Dialogs::message(QWidget* parent, const QString& text, const QString& caption)
{
    QMessageBox box(QMessageBox::NoIcon, caption.isEmpty() ? QStringLiteral("Probnik") : caption,
        text, QMessageBox::Ok, parent);
    box.exec();
}

int Dialogs::runModal(QDialog* dialog)
{
    return dialog->exec();
}

void Dialogs::openUrl(const QUrl& url)
{
    QDesktopServices::openUrl(url);
}

QString Dialogs::saveCsv(QWidget* parent, const QString& dir)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QStringLiteral("Excel SCV (*.csv)"));
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    // The program asks before replacing a file, in its own dialog.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!dir.isEmpty())
        dialog.setDirectory(dir);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}
