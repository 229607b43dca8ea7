// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/Dialogs.h"

#include <QColorDialog>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QUrl>

#include <algorithm>
#include <memory>

namespace {

// The bar of a long open. Short opens never show it; a shown bar lets events through at most
// every PaceMs, which keeps the window answering without slowing the decoding.
class OpenProgressBar {
public:
    explicit OpenProgressBar(QWidget* parent)
        : m_parent(parent)
    {
        m_started.start();
    }
    ~OpenProgressBar() { delete m_bar; }
    OpenProgressBar(const OpenProgressBar&) = delete;
    OpenProgressBar& operator=(const OpenProgressBar&) = delete;

    bool advance(double share)
    {
        if (!m_shown) {
            if (m_started.elapsed() < ShowAfterMs)
                return true;
            show();
        }
        if (!m_bar) // gone with its window
            return false;
        if (m_paced.isValid() && m_paced.elapsed() < PaceMs)
            return !m_bar->wasCanceled();
        m_bar->setValue(static_cast<int>(std::clamp(share, 0.0, 1.0) * Steps));
        QCoreApplication::processEvents();
        m_paced.restart();
        return !m_bar->wasCanceled();
    }

private:
    static constexpr int ShowAfterMs = 500;
    static constexpr int PaceMs = 30;
    static constexpr int Steps = 1000;

    void show()
    {
        m_bar = new QProgressDialog(
            QStringLiteral("Otwieranie obrazu…"), QStringLiteral("Anuluj"), 0, Steps, m_parent);
        m_bar->setWindowTitle(QStringLiteral("Probnik"));
        m_bar->setWindowModality(Qt::WindowModal);
        m_bar->setAutoClose(false);
        m_bar->setAutoReset(false);
        m_bar->setMinimumDuration(0);
        m_bar->show();
        m_shown = true;
    }

    QPointer<QWidget> m_parent;
    QPointer<QProgressDialog> m_bar;
    QElapsedTimer m_started;
    QElapsedTimer m_paced;
    bool m_shown = false;
};

} // namespace

QString Dialogs::openProfile(QWidget* parent, const QString& dir)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters({ QStringLiteral("Profile ICC (*.icc *.icm *.ICC *.ICM)"),
        QStringLiteral("Wszystkie pliki (*)") });
    if (!dir.isEmpty())
        dialog.setDirectory(dir);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

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

QString Dialogs::saveImage(QWidget* parent, const QString& dir)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    const QString png = QStringLiteral("Obraz PNG (*.png)");
    const QString svg = QStringLiteral("Rysunek SVG (*.svg)");
    dialog.setNameFilters({ png, svg });
    dialog.setDefaultSuffix(QStringLiteral("png"));
    // The suffix a bare name gets follows the kind chosen.
    QObject::connect(
        &dialog, &QFileDialog::filterSelected, &dialog, [&dialog, svg](const QString& filter) {
            dialog.setDefaultSuffix(filter == svg ? QStringLiteral("svg") : QStringLiteral("png"));
        });
    // The program asks before replacing a file, in its own dialog.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!dir.isEmpty())
        dialog.setDirectory(dir);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

probnik::Progress::Handler Dialogs::openProgress(QWidget* parent)
{
    auto bar = std::make_shared<OpenProgressBar>(parent);
    return [bar](double share) { return bar->advance(share); };
}
