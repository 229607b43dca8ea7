// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/SaveCsv.h"

#include "analysis/Warn.h"
#include "app/Dialogs.h"
#include "app/ProbnikApplication.h"
#include "common/WholeFile.h"

#include <QDir>
#include <QFileInfo>

#include <filesystem>
#include <sstream>

using namespace probnik;

bool saveCsvAs(QWidget* parent, QString& initialDir,
    const std::function<std::optional<Error>(std::ostream&)>& write)
{
    Dialogs& dialogs = ProbnikApplication::dialogs();
    const QString path = dialogs.saveCsv(parent, initialDir);
    if (path.isEmpty())
        return false;
    if (QFileInfo::exists(path)
        && (!OKBottomDlg || dialogs.runModal(OKBottomDlg) != QDialog::Accepted))
        return false;
    // A failure ends the save here, in the error box: nothing is written and initialDir stays.
    std::ostringstream bytes;
    if (const auto error = write(bytes)) {
        ProbnikApplication::showError(parent, QString::fromStdString(error->message));
        return false;
    }
    if (!writeWholeFile(std::filesystem::path(path.toStdString()), bytes.str())) {
        ProbnikApplication::showError(
            parent, QStringLiteral("Cannot create file ") + QDir::toNativeSeparators(path));
        return false;
    }
    initialDir = QDir::toNativeSeparators(QFileInfo(path).absolutePath());
    return true;
}
