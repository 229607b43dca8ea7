// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The CSV export from the main window: dialogs, the file's bytes, and what stays unchanged.
#include "tests/MainWindowFixture.h"

#include "analysis/Stat.h"
#include "analysis/Warn.h"
#include "app/Surface.h"

#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>

using namespace probnik;

namespace {

const QString Picture = QStringLiteral(PROBNIK_TEST_DATA "/bmpsuite/g/rgb24.bmp");

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void put(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

class ExportTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        Statystyka = &statistics;
        OKBottomDlg = &question;
        open(Picture);
    }
    void TearDown() override
    {
        Statystyka = nullptr;
        OKBottomDlg = nullptr;
        MainWindowTest::TearDown();
    }
    // Samples with known colours, painted into ScreenCopy where the clicks land.
    void sample(int x, int y, Color c)
    {
        window->ScreenCopy.setPixel(x, y, c);
        QTest::mouseClick(window->Client, Qt::LeftButton, {}, QPoint(x, y));
    }
    QString save(const QString& name)
    {
        const QString path = dir.filePath(name);
        dialogs->saveAnswers << path;
        window->FileSave1Execute();
        return path;
    }

    QTemporaryDir dir;
    TStatystyka statistics;
    TOKBottomDlg question;
};

} // namespace

TEST_F(ExportTest, AnEmptyListSavesNothing)
{
    window->FileSave1Execute();
    EXPECT_TRUE(dialogs->saveDirs.isEmpty());
}

TEST_F(ExportTest, TheFileHoldsTheRowsAndTheirStatistics)
{
    sample(100, 100, rgb(200, 5, 0));
    sample(101, 100, rgb(201, 5, 0));
    sample(102, 100, rgb(203, 5, 0));
    sample(103, 100, rgb(198, 5, 0));
    const QString rowsBefore = window->RichEdit1->toPlainText();
    const QString folderBefore = window->InitialDir;
    const QString path = save(QStringLiteral("probki.csv"));

    EXPECT_EQ(dialogs->saveDirs, QStringList { folderBefore });
    EXPECT_EQ(QString::fromLatin1(contents(path)).toStdString(),
        QString::fromLatin1("R;G;B;;;;R;G;B\r\n"
                            "200 ;5   ;0;;;\x8C"
                            "rednia;200;5;0\r\n"
                            "201 ;5   ;0;;;Odchylenie standardowe;2.16024684906006;0;0\r\n"
                            "203 ;5   ;0;;;Wsp\xF3\xB3"
                            "czynnik zmienno\x9C"
                            "ci;1.08012342453003;0;0\r\n"
                            "198 ;5   ;0\r\n")
            .toStdString());
    EXPECT_EQ(window->RichEdit1->toPlainText(), rowsBefore);
    EXPECT_EQ(window->R->toPlainText().split(u'\n').size(), 5);
    EXPECT_EQ(window->InitialDir, QDir::toNativeSeparators(dir.path()));
    // The next dialogs start in the export folder.
    save(QStringLiteral("again.csv"));
    EXPECT_EQ(dialogs->saveDirs.last(), QDir::toNativeSeparators(dir.path()));
}

TEST_F(ExportTest, ASeparatorOfSeveralCharactersIsUsedVerbatim)
{
    window->Edit1->setText(QStringLiteral("|ą|"));
    sample(100, 100, rgb(5, 120, 7));
    const QString path = save(QStringLiteral("one.csv"));
    EXPECT_EQ(contents(path),
        QByteArray("R|\xB9|G|\xB9|B|\xB9||\xB9||\xB9||\xB9|R|\xB9|G|\xB9|B\r\n"
                   "5   |\xB9|120 |\xB9|7|\xB9||\xB9||\xB9|\x8C"
                   "rednia|\xB9|0|\xB9|0|\xB9|0\r\n"));
}

TEST_F(ExportTest, AnExistingFileIsReplacedOnlyAfterTak)
{
    sample(100, 100, rgb(1, 2, 3));
    const QString path = dir.filePath(QStringLiteral("old.csv"));
    put(path, "old content that is longer than the new one ..................................\r\n");

    dialogs->onModal = [](QDialog*) { return int(QDialog::Rejected); }; // "Nie"
    save(QStringLiteral("old.csv"));
    EXPECT_EQ(dialogs->modals, QList<QDialog*> { &question });
    EXPECT_TRUE(contents(path).startsWith("old content"));
    EXPECT_NE(window->InitialDir, QDir::toNativeSeparators(dir.path()));

    dialogs->onModal = [](QDialog*) { return int(QDialog::Accepted); }; // "Tak"
    save(QStringLiteral("old.csv"));
    EXPECT_EQ(contents(path), QByteArray("R;G;B;;;;R;G;B\r\n1   ;2   ;3;;;\x8Crednia;0;0;0\r\n"));
}

TEST_F(ExportTest, AFileThatCannotBeWrittenIsReportedAndChangesNothing)
{
    sample(100, 100, rgb(1, 2, 3));
    const QString folderBefore = window->InitialDir;
    // A path under a regular file can never be created, not even by root.
    put(dir.filePath(QStringLiteral("file")), "x");
    const QString path = dir.filePath(QStringLiteral("file/probki.csv"));
    dialogs->saveAnswers << path;
    window->FileSave1Execute();
    EXPECT_EQ(dialogs->errors,
        QStringList { QStringLiteral("Cannot create file ") + QDir::toNativeSeparators(path) });
    EXPECT_EQ(dialogs->errorParents, QList<QWidget*> { window.get() });
    EXPECT_EQ(window->InitialDir, folderBefore);
    EXPECT_EQ(window->Samples.SampleCount, 1);
}

TEST_F(ExportTest, TheSeparatorEditTakesOnlyWhatTheFileCanStore)
{
    window->Edit1->clear();
    window->Edit1->setFocus();
    for (const QChar c : QStringLiteral("ą漢€,")) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(window->Edit1, &press);
    }
    EXPECT_EQ(window->Edit1->text(), QStringLiteral("ą€,"));
    EXPECT_EQ(window->Separator, QStringLiteral("ą€,"));
}

TEST_F(ExportTest, TheQuestionSaysTakAndNie)
{
    EXPECT_EQ(question.windowTitle(), QStringLiteral("Uwaga!"));
    EXPECT_EQ(question.Label1->text(), QStringLiteral("Ten plik juz istnieje."));
    EXPECT_EQ(question.Label2->text(), QStringLiteral("Skasować go ?"));
    EXPECT_TRUE(question.OKBtn->isDefault());
    question.show();
    QTest::keyClick(&question, Qt::Key_Escape);
    EXPECT_EQ(question.result(), QDialog::Rejected);
    question.show();
    question.OKBtn->click();
    EXPECT_EQ(question.result(), QDialog::Accepted);
}
