// The main window's CSV export of the sample list and its statistics.
#include "app/Main.h"

#include "analysis/CsvExport.h"
#include "analysis/Stat.h"
#include "analysis/Warn.h"
#include "app/ProbnikApplication.h"

#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QTextBlock>

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

void TProbnikMain::FileSaveAs1Execute()
{
    const QString path = ProbnikApplication::dialogs().saveCsv(this, InitialDir);
    if (path.isEmpty())
        return;
    if (QFileInfo::exists(path)
        && (!OKBottomDlg
            || ProbnikApplication::dialogs().runModal(OKBottomDlg) != QDialog::Accepted))
        return;

    csv::Statistics statistics;
    if (Statystyka) {
        Statystyka->Calculate();
        statistics = { { Statystyka->MeanR, Statystyka->MeanG, Statystyka->MeanB },
            { Statystyka->StdDevR, Statystyka->StdDevG, Statystyka->StdDevB },
            { Statystyka->VarCoefR, Statystyka->VarCoefG, Statystyka->VarCoefB } };
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

    // A failure ends the export here, in the error box: nothing is written and InitialDir
    // stays.
    const auto fail = [this](const std::string& message) {
        ProbnikApplication::showError(this, QString::fromStdString(message));
    };
    std::ostringstream bytes;
    if (const auto error = csv::write(bytes, lines))
        return fail(error->message);
    // Written whole or not at all: a failed write leaves an existing file as it was.
    QSaveFile file(path);
    const std::string data = bytes.str();
    if (!file.open(QIODevice::WriteOnly)
        || file.write(data.data(), qint64(data.size())) != qint64(data.size()) || !file.commit())
        return fail("Cannot create file " + QDir::toNativeSeparators(path).toStdString());
    InitialDir = QDir::toNativeSeparators(QFileInfo(path).absolutePath());
}
