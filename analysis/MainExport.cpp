// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The main window's CSV export of the sample list and its statistics.
#include "app/Main.h"

#include "analysis/CsvExport.h"
#include "analysis/SaveCsv.h"
#include "analysis/Stat.h"
#include "common/NumberText.h"

#include <QPlainTextEdit>
#include <QTextBlock>

using namespace probnik;

QString TProbnikMain::FloatToDotStr(float value)
{
    return QString::fromStdString(floatToDotStr(value));
}

void TProbnikMain::FileSave1Execute()
{
    if (RichEdit1->document()->isEmpty())
        return;
    FileSaveAs1Execute();
}

void TProbnikMain::FileSaveAs1Execute()
{
    saveCsvAs(this, InitialDir, [this](std::ostream& out) {
        ColourStatistics statistics;
        if (Statystyka) {
            Statystyka->Calculate();
            statistics = Statystyka->statistics();
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
