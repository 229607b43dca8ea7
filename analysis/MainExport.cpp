// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The main window's CSV export of the sample list and its statistics.
#include "app/Main.h"

#include "analysis/CsvExport.h"
#include "analysis/Stat.h"
#include "analysis/Warn.h"
#include "app/ProbnikApplication.h"
#include "common/WholeFile.h"

#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTextBlock>

#include <filesystem>
#include <sstream>

using namespace probnik;

QString TProbnikMain::FloatToDotStr(float value)
{
    return QString::fromStdString(csv::floatToDotStr(value));
}

void TProbnikMain::FileSave1Execute()
{
    if (RichEdit1->document()->isEmpty())
        return;
    FileSaveAs1Execute();
}

bool TProbnikMain::SaveCsvAs(
    QWidget* parent, const std::function<std::optional<Error>(std::ostream&)>& write)
{
    Dialogs& dialogs = ProbnikApplication::dialogs();
    const QString path = dialogs.saveCsv(parent, InitialDir);
    if (path.isEmpty())
        return false;
    if (QFileInfo::exists(path)
        && (!OKBottomDlg || dialogs.runModal(OKBottomDlg) != QDialog::Accepted))
        return false;
    // A failure ends the save here, in the error box: nothing is written and InitialDir stays.
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
    InitialDir = QDir::toNativeSeparators(QFileInfo(path).absolutePath());
    return true;
}

void TProbnikMain::FileSaveAs1Execute()
{
    SaveCsvAs(this, [this](std::ostream& out) {
        csv::Statistics statistics;
        if (Statystyka) {
            Statystyka->Calculate();
            const ColourStatistics s = Statystyka->statistics();
            statistics = { { s.R.Mean, s.G.Mean, s.B.Mean }, { s.R.StdDev, s.G.StdDev, s.B.StdDev },
                { s.R.VarCoef, s.G.VarCoef, s.B.VarCoef } };
        }
        std::vector<std::string> rows;
        for (QTextBlock block = RichEdit1->document()->firstBlock(); block.isValid();
             block = block.next())
            rows.push_back(block.text().toStdString());
        const std::vector<std::string> lines
            = csv::buildLines(rows, Separator.toStdString(), statistics);

        // The scratch buffer keeps the lines of the last file written.
        QStringList text;
        for (const std::string& line : lines)
            text << QString::fromStdString(line);
        R->setPlainText(text.join(u'\n'));
        return csv::write(out, lines);
    });
}
