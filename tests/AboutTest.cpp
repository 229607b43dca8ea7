// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The about box, the help menu, the end of the program and the manual that the build renders.
#include "info/about.h"
#include "analysis/CsvExport.h"
#include "analysis/Kolorymetria.h"
#include "analysis/Stat.h"
#include "analysis/Total.h"
#include "analysis/Warn.h"
#include "app/Main.h"
#include "app/ProbnikApplication.h"
#include "app/Settings.h"
#include "app/Startup.h"
#include "common/Windows1250.h"
#include "demo/Pokaz.h"
#include "resources/Version.h"
#include "tests/FakeDialogs.h"
#include "tests/MainWindowFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScreen>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <vector>

namespace {

const QString Email = QString::fromUtf8(probnik::version::Email);
const QString Web = QString::fromUtf8(probnik::version::Web);

void touch(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write("%PDF-1.4\n");
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class AboutBoxTest : public testing::Test {
protected:
    void SetUp() override
    {
        auto fake = std::make_unique<FakeDialogs>();
        dialogs = fake.get();
        ProbnikApplication::instance()->setDialogs(std::move(fake));
        box = std::make_unique<TAboutBox>();
        AboutBox = box.get();
    }
    void TearDown() override
    {
        box.reset();
        EXPECT_EQ(AboutBox, nullptr);
    }

    FakeDialogs* dialogs = nullptr;
    std::unique_ptr<TAboutBox> box;
};

} // namespace

TEST_F(AboutBoxTest, Design)
{
    EXPECT_EQ(box->windowTitle(), QStringLiteral("O programie"));
    EXPECT_EQ(box->size(), QSize(259, 209));
    EXPECT_EQ(box->minimumSize(), box->maximumSize());
    EXPECT_EQ(box->Panel1->geometry(), QRect(9, 10, 241, 159));
    EXPECT_EQ(box->Panel1->frameShadow(), QFrame::Sunken);

    struct Label {
        QLabel* label;
        QPoint place;
        QString text;
        bool link;
        bool hand;
    };
    const std::vector<Label> labels {
        { box->ProductName, { 88, 16 }, QStringLiteral("PROBNIK "), false, false },
        { box->Version, { 88, 40 }, QStringLiteral("Wersja 1.1.1.1"), false, true },
        { box->Copyright, { 8, 80 }, QString::fromUtf8(probnik::version::LegalCopyright), false,
            false },
        { box->Label1, { 8, 104 }, QStringLiteral("Pytania i uwagi:"), false, false },
        { box->Label2, { 88, 104 }, Email, true, true },
        { box->Label3, { 88, 131 }, QString(Web).remove(QStringLiteral("https://")), true, true },
    };
    for (const Label& l : labels) {
        const std::string name = l.label->objectName().toStdString();
        EXPECT_EQ(l.label->parentWidget(), box->Panel1) << name;
        EXPECT_EQ(l.label->pos(), l.place) << name;
        EXPECT_EQ(l.label->text(), l.text) << name;
        EXPECT_EQ(l.label->textFormat(), Qt::PlainText) << name;
        EXPECT_EQ(l.label->font().underline(), l.link) << name;
        EXPECT_EQ(l.label->palette().color(QPalette::WindowText),
            l.link ? QColor(Qt::blue) : QColor(Qt::black))
            << name;
        EXPECT_EQ(l.label->cursor().shape(), l.hand ? Qt::PointingHandCursor : Qt::ArrowCursor)
            << name;
        EXPECT_EQ(l.label->font().pixelSize(), l.label == box->Label3 ? 12 : 11) << name;
    }
    EXPECT_EQ(box->Label3->width(), 139);
    // The address is shown whole in that width.
    EXPECT_LE(box->Label3->fontMetrics().horizontalAdvance(box->Label3->text()), 139);

    EXPECT_EQ(box->ProgramIcon->geometry(), QRect(24, 16, 33, 41));
    const QPixmap icon = box->ProgramIcon->pixmap();
    ASSERT_FALSE(icon.isNull());
    // Stretched until it fills its place one way, proportions kept.
    EXPECT_TRUE(
        (icon.width() == 33 && icon.height() <= 41) || (icon.height() == 41 && icon.width() <= 33))
        << icon.width() << "x" << icon.height();

    EXPECT_EQ(box->OKButton->geometry(), QRect(78, 176, 65, 26));
    EXPECT_EQ(box->OKButton->text(), QStringLiteral("OK"));
    EXPECT_TRUE(box->OKButton->isDefault());
}

TEST_F(AboutBoxTest, TheLinksOpenTheMailAndTheWebPage)
{
    box->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(box.get()));

    // Labels that are no links, and buttons other than the left one, open nothing.
    QTest::mouseClick(box->Version, Qt::LeftButton);
    QTest::mouseClick(box->Label1, Qt::LeftButton);
    QTest::mouseClick(box->Label2, Qt::RightButton);
    EXPECT_TRUE(dialogs->opened.isEmpty());

    QTest::mouseClick(box->Label2, Qt::LeftButton);
    QTest::mouseClick(box->Label3, Qt::LeftButton);
    ASSERT_EQ(dialogs->opened.size(), 2);
    const QUrl mail = dialogs->opened[0];
    EXPECT_EQ(
        mail.toString(), QStringLiteral("mailto:") + Email + QStringLiteral("?Subject=Probnik"));
    EXPECT_EQ(mail.scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(mail.path(), Email);
    EXPECT_EQ(mail.query(), QStringLiteral("Subject=Probnik"));
    // The web page is the program's own address, whatever the label shows.
    box->Label3->setText(QStringLiteral("elsewhere"));
    QTest::mouseClick(box->Label3, Qt::LeftButton);
    EXPECT_EQ(dialogs->opened[1], QUrl(Web));
    EXPECT_EQ(dialogs->opened[2], QUrl(Web));
    EXPECT_TRUE(dialogs->opened[1].isValid());
    EXPECT_TRUE(box->isVisible());
}

TEST_F(AboutBoxTest, ShownCentredWithOKFocusedAndClosedByOK)
{
    struct Close {
        const char* how;
        std::function<void(TAboutBox&)> act;
    };
    const std::vector<Close> closes {
        { "click", [](TAboutBox& b) { QTest::mouseClick(b.OKButton, Qt::LeftButton); } },
        { "Enter", [](TAboutBox& b) { QTest::keyClick(&b, Qt::Key_Return); } },
    };
    for (const Close& close : closes) {
        box->move(0, 0);
        box->setResult(QDialog::Rejected);
        box->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(box.get()));
        QApplication::setActiveWindow(box.get());
        EXPECT_EQ(box->focusWidget(), box->OKButton) << close.how;
        const QRect screen = box->screen()->geometry();
        const QRect outer = box->frameGeometry();
        EXPECT_EQ(outer.x() - screen.x(), (screen.width() - outer.width()) / 2) << close.how;
        EXPECT_EQ(outer.y() - screen.y(), (screen.height() - outer.height()) / 2) << close.how;

        close.act(*box);
        EXPECT_FALSE(box->isVisible()) << close.how;
        EXPECT_EQ(box->result(), QDialog::Accepted) << close.how;
    }
}

TEST_F(MainWindowTest, AboutRunsTheAboutBoxModallyUntilOK)
{
    TAboutBox box;
    AboutBox = &box;
    const auto restore = qScopeGuard([] { AboutBox = nullptr; });
    int result = -1;
    bool wasModal = false;
    dialogs->onModal = [&](QDialog* dialog) {
        // A person reads the box, then presses OK.
        QTimer::singleShot(0, &box, [&] {
            wasModal = box.isModal() && box.isVisible();
            box.OKButton->click();
        });
        result = dialog->exec();
        return result;
    };
    window->HelpAbout1->trigger();
    EXPECT_EQ(dialogs->modals, QList<QDialog*> { &box });
    EXPECT_TRUE(wasModal);
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_FALSE(box.isVisible());
}

TEST_F(MainWindowTest, TheMenusHoldTheirCommands)
{
    std::vector<QStringList> menus;
    for (QAction* item : window->menuBar()->actions()) {
        QStringList entries { item->text() };
        for (QAction* entry : item->menu()->actions())
            entries << (entry->isSeparator() ? QStringLiteral("-") : entry->text());
        menus.push_back(entries);
    }
    const std::vector<QStringList> expected {
        { QStringLiteral("&Plik"), QStringLiteral("&Otwórz"), QStringLiteral("Zapi&sz"),
            QStringLiteral("-"), QStringLiteral("Koniec") },
        { QStringLiteral("&Analiza"), QStringLiteral("Kolorymetria"),
            QStringLiteral("Histogram obszaru"), QStringLiteral("&Kalibracja"),
            QStringLiteral("Wykres a*b*") },
        { QStringLiteral("Pomoc"), QStringLiteral("Opis"), QStringLiteral("O programie..") },
    };
    EXPECT_EQ(menus, expected);
    EXPECT_EQ(window->Pomoc1->text(), QStringLiteral("Opis"));
}

TEST_F(MainWindowTest, KoniecEndsTheProgramAtOnceWithTheDemonstrationOpen)
{
    TShower shower;
    shower.show();
    QTimer::singleShot(0, window->FileExit1, &QAction::trigger);
    // The loop ends through "Koniec" with 0, long before the safety timer would end it with 1.
    QTimer safety;
    safety.setSingleShot(true);
    QObject::connect(&safety, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    safety.start(5000);
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(dialogs->modals.isEmpty());
    EXPECT_TRUE(dialogs->messages.isEmpty());
}

TEST(ManualTest, FoundInTheFirstFolderThatHoldsIt)
{
    QTemporaryDir a, b, c;
    touch(b.filePath(QString::fromLatin1(ManualFileName)));
    touch(c.filePath(QString::fromLatin1(ManualFileName)));
    // A folder named like the manual is no manual.
    ASSERT_TRUE(QDir(a.path()).mkdir(QString::fromLatin1(ManualFileName)));
    struct Case {
        QStringList folders;
        QString found;
    };
    const std::vector<Case> cases {
        { { a.path(), b.path(), c.path() }, b.filePath(QStringLiteral("Probnik.pdf")) },
        { { c.path(), b.path() }, c.filePath(QStringLiteral("Probnik.pdf")) },
        { { a.path() }, QString() },
        { {}, QString() },
    };
    for (const Case& k : cases)
        EXPECT_EQ(findManual(k.folders), k.found) << k.folders.join(u',').toStdString();

    EXPECT_EQ(manualFolders(),
        (QStringList { QCoreApplication::applicationDirPath(), QStringLiteral(PROBNIK_DOC_DIR),
            QDir::currentPath() }));
}

TEST_F(MainWindowTest, OpisOpensTheManualBesideTheProgramElseInTheCurrentFolder)
{
    const QString besideProgram
        = QCoreApplication::applicationDirPath() + QStringLiteral("/Probnik.pdf");
    if (QFileInfo::exists(besideProgram)
        || QFileInfo::exists(QStringLiteral(PROBNIK_DOC_DIR "/Probnik.pdf")))
        GTEST_SKIP() << "a manual is already installed where the program looks first";
    const QString home = QDir::currentPath();
    QTemporaryDir current;
    QDir::setCurrent(current.path());
    const auto restore = qScopeGuard([&] {
        QDir::setCurrent(home);
        QFile::remove(besideProgram);
    });

    // No manual anywhere: nothing happens.
    window->Pomoc1->trigger();
    EXPECT_TRUE(dialogs->opened.isEmpty());
    EXPECT_TRUE(dialogs->errors.isEmpty());

    // The folder of the last picture plays no part, only the current folder.
    QTemporaryDir pictures;
    const QString picture = pictures.filePath(QStringLiteral("rgb24.bmp"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(PROBNIK_TEST_DATA "/bmpsuite/g/rgb24.bmp"), picture));
    touch(pictures.filePath(QStringLiteral("Probnik.pdf")));
    open(picture);
    touch(current.filePath(QStringLiteral("Probnik.pdf")));
    window->Pomoc1->trigger();
    ASSERT_EQ(dialogs->opened.size(), 1);
    EXPECT_EQ(dialogs->opened.last(),
        QUrl::fromLocalFile(QDir::currentPath() + QStringLiteral("/Probnik.pdf")));

    // Beside the program comes first.
    touch(besideProgram);
    window->Pomoc1->trigger();
    ASSERT_EQ(dialogs->opened.size(), 2);
    EXPECT_EQ(dialogs->opened.last(), QUrl::fromLocalFile(besideProgram));
    EXPECT_TRUE(dialogs->opened.last().isLocalFile());
}

TEST(ManualTest, TheBuildRendersItWithPicturesOfTheWindows)
{
    const QString pdf = QStringLiteral(PROBNIK_MANUAL);
    const QString source = QStringLiteral(PROBNIK_MANUAL_SOURCE);
    const QByteArray bytes = readAll(pdf);
    ASSERT_FALSE(bytes.isEmpty()) << "no manual at " << pdf.toStdString();
    EXPECT_TRUE(bytes.startsWith("%PDF-"));
    EXPECT_TRUE(bytes.trimmed().endsWith("%%EOF"));
    // Rendered again whenever its text changes.
    EXPECT_GE(QFileInfo(pdf).lastModified(), QFileInfo(source).lastModified());

    const QString text = QString::fromLatin1(bytes);
    const auto count = [&text](const QString& pattern) {
        qsizetype n = 0;
        for (auto it = QRegularExpression(pattern).globalMatch(text); it.hasNext(); it.next())
            ++n;
        return n;
    };
    EXPECT_GE(count(QStringLiteral("/Type\\s*/Page\\b(?!s)")), 8);
    // The fonts travel with the file, so the Polish letters show on any machine.
    EXPECT_GE(count(QStringLiteral("/FontFile2")), 1);

    // Every picture the text shows is in the file.
    QSet<QString> pictures;
    const QString html = QString::fromUtf8(readAll(source));
    for (auto it
         = QRegularExpression(QStringLiteral("<img[^>]*src=\"([^\"]+)\"")).globalMatch(html);
         it.hasNext();)
        pictures << it.next().captured(1);
    EXPECT_GE(pictures.size(), 8);
    EXPECT_GE(count(QStringLiteral("/Subtype\\s*/Image")), pictures.size());
}

TEST(ManualTest, NamesEveryWindowAndCommandAsTheProgramShowsThem)
{
    createWindows();
    const auto destroy = qScopeGuard([] { destroyWindows(); });
    // Line breaks in the source are blanks in the manual.
    const QString html
        = QString::fromUtf8(readAll(QStringLiteral(PROBNIK_MANUAL_SOURCE))).simplified();
    ASSERT_FALSE(html.isEmpty());

    QStringList names;
    for (QDialog* window : { static_cast<QDialog*>(AboutBox), static_cast<QDialog*>(Statystyka),
             static_cast<QDialog*>(OKBottomDlg), static_cast<QDialog*>(Global) })
        names << window->windowTitle();
    names << Shower->windowTitle() << Kolorymetria->windowTitle() << Kolorymetria->Zapisz->text()
          << Kolorymetria->RefSet->text();
    for (QAction* item : ProbnikMain->menuBar()->actions()) {
        names << item->text();
        for (QAction* entry : item->menu()->actions())
            if (!entry->isSeparator())
                names << entry->text();
    }
    for (QToolButton* button : ProbnikMain->ToolBar1->findChildren<QToolButton*>())
        names << button->toolTip();
    for (QPushButton* button : ProbnikMain->ToolBar1->findChildren<QPushButton*>())
        names << button->text() << button->toolTip();
    for (QLabel* label : { ProbnikMain->Label6, ProbnikMain->Label4, ProbnikMain->Label5 })
        names << label->text().trimmed();
    for (QRadioButton* item : Shower->FakturaItems)
        names << item->text();
    names << Shower->Label4->text() << Shower->Label5->text() << Shower->Button1->text()
          << Statystyka->BitBtn1->text() << Global->BitBtn1->text() << Global->OKBtn->text()
          << Global->CancelBtn->text() << OKBottomDlg->OKBtn->text()
          << OKBottomDlg->CancelBtn->text() << AboutBox->Label1->text();

    for (QString name : names) {
        name.remove(u'&');
        EXPECT_TRUE(html.contains(name.toHtmlEscaped())) << name.toStdString();
    }
}

TEST_F(MainWindowTest, TheManualListsEveryMessageTheProgramShows)
{
    const QString html
        = QString::fromUtf8(readAll(QStringLiteral(PROBNIK_MANUAL_SOURCE))).simplified();
    ASSERT_FALSE(html.isEmpty());

    // Shown by the windows: pictures that cannot be read.
    QTemporaryDir dir;
    const QString bad = QStringLiteral(PROBNIK_TEST_DATA "/bmpsuite/b/");
    for (const QString& path : { dir.filePath(QStringLiteral("gone.bmp")),
             bad + QStringLiteral("badbitcount.bmp"), bad + QStringLiteral("shortfile.bmp") })
        open(path);
    QStringList messages = dialogs->errors;
    ASSERT_EQ(messages.size(), 3);
    // Made by the core for the windows to show.
    const std::string stored = dir.filePath(QStringLiteral("file")).toStdString();
    touch(QString::fromStdString(stored));
    std::ostringstream failing;
    failing.setstate(std::ios::badbit);
    for (const std::optional<probnik::Error>& error :
        { probnik::Settings {}.write(stored + "/config/Probnik.ini"),
            std::optional(probnik::toWindows1250("漢").error()),
            probnik::csv::write(failing, { "R" }), probnik::lab::writeCsv(failing, {}, {}, "1"),
            probnik::lab::writeCsv(failing, {}, {}, ";") }) {
        ASSERT_TRUE(error.has_value());
        messages << QString::fromStdString(error->message);
    }
    // The export's own failure, as its handler words it.
    messages << QStringLiteral("Cannot create file …");

    for (QString message : messages) {
        message.replace(QRegularExpression(QStringLiteral(" /.*$")), QStringLiteral(" …"));
        EXPECT_TRUE(html.contains(QStringLiteral("<i>") + message.toHtmlEscaped()))
            << message.toStdString();
    }
}

TEST(ManualTest, SaysWhatTheCommandLineAndTheEnvironmentDo)
{
    const QString html
        = QString::fromUtf8(readAll(QStringLiteral(PROBNIK_MANUAL_SOURCE))).simplified();
    ASSERT_FALSE(html.isEmpty());
    for (const char* said : { "probnik obraz.bmp", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR",
             // how a spreadsheet set to Polish reads the statistics as numbers
             "„Ustawienia regionalne”: „Angielski (USA)”" })
        EXPECT_TRUE(html.contains(QString::fromUtf8(said))) << said;
    EXPECT_FALSE(html.contains(QStringLiteral("nie ma opcji wiersza poleceń")));
}
