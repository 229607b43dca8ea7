// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The main window, the splash and the start-up, driven as a user drives them.
#include "app/Main.h"
#include "analysis/Stat.h"
#include "analysis/Total.h"
#include "analysis/Warn.h"
#include "app/Display.h"
#include "app/Intro.h"
#include "app/ProbnikApplication.h"
#include "app/Startup.h"
#include "app/Surface.h"
#include "demo/Pokaz.h"
#include "info/about.h"
#include "picture/BmpReader.h"
#include "testing/BmpWholeReader.h"
#include "tests/FakeDialogs.h"
#include "tests/MainWindowFixture.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <memory>

using namespace probnik;

namespace {

const QString Good = QStringLiteral(PROBNIK_TEST_DATA "/bmpsuite/g/");
const QString Bad = QStringLiteral(PROBNIK_TEST_DATA "/bmpsuite/b/");

QString settingsPath()
{
    return qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Probnik.ini");
}

QString readSettingsFile()
{
    QFile file(settingsPath());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void writeSettingsFile(const QByteArray& text)
{
    QDir().mkpath(qEnvironmentVariable("XDG_CONFIG_HOME"));
    QFile file(settingsPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

Color inverted(Color c)
{
    return ~c & 0xFFFFFF;
}

} // namespace

TEST_F(MainWindowTest, DesignAtStart)
{
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Probnik"));
    EXPECT_EQ(window->Client->size(), QSize(904, 496));
    EXPECT_EQ(window->ScreenCopy.width(), 904);
    EXPECT_EQ(window->ScreenCopy.pixel(300, 300), White);
    EXPECT_EQ(window->canvas().pixel(300, 300), WindowGrey);
    EXPECT_EQ(window->MagnifierBitmap.pixel(50, 50), WindowGrey);
    EXPECT_EQ(window->Edit1->geometry(), QRect(466, 8, 25, 17));
    EXPECT_EQ(window->RichEdit1->geometry(), QRect(600, 33, 289, 289));
    EXPECT_TRUE(window->RichEdit1->isReadOnly());
    EXPECT_TRUE(window->RichEdit1->hasFocus());
    EXPECT_FALSE(window->R->isVisible());
    EXPECT_EQ(window->ToolButton1->toolTip(), QStringLiteral("Otwórz"));
    EXPECT_EQ(window->ToolButton1->statusTip(), QStringLiteral("Otwórz bitmapę"));
    EXPECT_EQ(window->ToolButton2->statusTip(), QStringLiteral("Zapisz CSV"));
    EXPECT_EQ(window->Button1->statusTip(), QStringLiteral("Usuń ostatnia linię"));
    EXPECT_EQ(window->A->maximum(), 100);
    EXPECT_EQ(window->FileOpen1->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    EXPECT_EQ(window->ColorDial->shortcut(), QKeySequence(Qt::Key_F9));
    for (QWidget* control : sixControls())
        EXPECT_TRUE(control == window->ToolButton7 || !control->isEnabled())
            << control->objectName().toStdString();
}

TEST_F(MainWindowTest, OpenShowsThePictureAndEnablesTheTools)
{
    QTest::mouseClick(window->Client, Qt::RightButton, {}, QPoint(200, 150));
    ASSERT_EQ(window->MagnifierCentre, (Point { 200, 150 }));

    open(Good + QStringLiteral("rgb24.bmp"));

    EXPECT_EQ(dialogs->openDirs.value(0), QString());
    EXPECT_EQ(window->InitialDir, QDir::toNativeSeparators(QDir::cleanPath(Good)));
    EXPECT_EQ(window->ImageWidth, 127);
    EXPECT_EQ(window->ImageHeight, 64);
    EXPECT_EQ(window->DisplayBox, (Rect { 10, 50, 410, 251 }));
    EXPECT_EQ(window->MagnifierCentre, (Point {}));
    for (QWidget* control : sixControls())
        EXPECT_TRUE(control->isEnabled()) << control->objectName().toStdString();

    const Rect box = window->DisplayBox;
    const Canvas& surface = window->canvas();
    // Picture is the box's part only; ScreenCopy holds the whole picture stretched, without
    // the grid; the surface has the grid.
    EXPECT_EQ(window->Picture.width(), box.width());
    EXPECT_EQ(window->Picture.height(), box.height());
    const Canvas whole = readBmpFile((Good + QStringLiteral("rgb24.bmp")).toStdString()).value();
    for (const Point p :
        { Point { 11, 51 }, Point { 409, 250 }, Point { 200, 120 }, Point { 333, 222 } }) {
        const Color shown = whole.pixel(
            (p.x - box.Left) * 127 / box.width(), (p.y - box.Top) * 64 / box.height());
        EXPECT_EQ(window->ScreenCopy.pixel(p.x, p.y), shown) << p.x << "," << p.y;
        EXPECT_EQ(window->ColourAt(p.x, p.y), shown);
    }
    EXPECT_EQ(surface.pixel(box.Left, 100), inverted(window->ScreenCopy.pixel(box.Left, 100)));
    EXPECT_EQ(
        surface.pixel(box.Left + 40, 100), inverted(window->ScreenCopy.pixel(box.Left + 40, 100)));
    EXPECT_EQ(surface.pixel(box.Left + 41, 101), window->ScreenCopy.pixel(box.Left + 41, 101));
    // Outside the box ScreenCopy stays white and the surface background.
    EXPECT_EQ(window->ScreenCopy.pixel(500, 300), White);
    EXPECT_EQ(surface.pixel(500, 300), WindowGrey);
    EXPECT_EQ(window->ColourAt(500, 300), WindowGrey);
    // The box's edge reads the surface, where the grid line is.
    EXPECT_EQ(window->ColourAt(box.Left, 100), surface.pixel(box.Left, 100));
}

TEST_F(MainWindowTest, OpenAcceptsAnyCaseAndIgnoresOtherFiles)
{
    QTemporaryDir dir;
    const QString upper = dir.filePath(QStringLiteral("PHOTO.BMP"));
    ASSERT_TRUE(QFile::copy(Good + QStringLiteral("pal8.bmp"), upper));
    const QString other = dir.filePath(QStringLiteral("photo.gif"));
    ASSERT_TRUE(QFile::copy(Good + QStringLiteral("pal8.bmp"), other));

    open(other);
    EXPECT_TRUE(window->Picture.isEmpty());
    EXPECT_EQ(window->InitialDir, QString());
    EXPECT_FALSE(window->Button4->isEnabled());

    open(upper);
    EXPECT_EQ(window->ImageWidth, 127);
    EXPECT_EQ(window->InitialDir, QDir::toNativeSeparators(dir.path()));
    EXPECT_TRUE(window->Button4->isEnabled());

    // The other formats by their content, whatever the letter case of their extension.
    const QString scan = dir.filePath(QStringLiteral("SCAN.Tiff"));
    ASSERT_TRUE(QImage(5, 3, QImage::Format_RGB32).save(scan, "tiff"));
    open(scan);
    EXPECT_EQ(window->ImageWidth, 5);

    // Cancelling the dialog changes nothing.
    window->FileOpen1Execute();
    EXPECT_EQ(window->ImageWidth, 5);
    EXPECT_EQ(dialogs->openDirs.last(), QDir::toNativeSeparators(dir.path()));
}

TEST_F(MainWindowTest, AFileThatCannotBeReadChangesNothingButTheFolder)
{
    open(Good + QStringLiteral("rgb24.bmp"));
    QTest::mouseClick(window->Client, Qt::RightButton, {}, QPoint(100, 100));
    const Canvas picture = window->Picture;
    const Rect box = window->DisplayBox;

    struct Case {
        QString path;
        std::string message;
    };
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("gone.bmp"));
    const std::vector<Case> cases {
        { Bad + QStringLiteral("badbitcount.bmp"), "Bitmap image is not valid" },
        { Bad + QStringLiteral("shortfile.bmp"), "Stream read error" },
        { missing, "Cannot open file " + missing.toStdString() },
    };
    for (const Case& c : cases) {
        dialogs->errors.clear();
        dialogs->errorParents.clear();
        // The Open handler shows the error itself; nothing is thrown through Qt.
        dialogs->openAnswers << c.path;
        window->FileOpen1Execute();
        EXPECT_EQ(dialogs->errors, QStringList { QString::fromStdString(c.message) });
        EXPECT_EQ(dialogs->errorParents, QList<QWidget*> { window.get() });
        EXPECT_EQ(window->InitialDir, QDir::toNativeSeparators(QFileInfo(c.path).absolutePath()));
        EXPECT_EQ(window->Picture.width(), picture.width());
        EXPECT_EQ(window->DisplayBox, box);
        EXPECT_EQ(window->MagnifierCentre, (Point { 100, 100 }));
    }
}

TEST_F(MainWindowTest, ACancelledOpenLeavesEverythingAsItWas)
{
    open(Good + QStringLiteral("rgb24.bmp"));
    QTest::mouseClick(window->Client, Qt::LeftButton, {}, QPoint(300, 200));
    QTest::mouseClick(window->Client, Qt::RightButton, {}, QPoint(100, 100));
    ASSERT_EQ(window->Samples.SampleCount, 1);
    const auto pixels = [](const Canvas& c) {
        std::vector<Color> all;
        for (int y = 0; y < c.height(); ++y)
            all.insert(all.end(), c.row(y), c.row(y) + c.width());
        return all;
    };
    const auto picture = pixels(window->Picture);
    const auto screen = pixels(window->ScreenCopy);
    const QString samples = window->RichEdit1->toPlainText();
    const QString folder = window->InitialDir;

    // While the bar is up the person tries to open another picture (the Open command, and as a
    // drop does), which the read ignores, then presses "Anuluj".
    QTemporaryDir dir;
    const QString other = dir.filePath(QStringLiteral("other.bmp"));
    ASSERT_TRUE(QFile::copy(Good + QStringLiteral("pal8.bmp"), other));
    dialogs->duringOpen = [&] {
        window->OpenPicture(other);
        dialogs->openAnswers << other;
        window->FileOpen1Execute();
        return false;
    };
    open(other);
    EXPECT_GT(dialogs->openProgressSteps, 0);
    EXPECT_EQ(dialogs->openDirs.size(), 2) << "no Open dialog during the read";
    EXPECT_TRUE(dialogs->errors.isEmpty());
    EXPECT_EQ(window->InitialDir, folder);
    EXPECT_EQ(window->ImageWidth, 127);
    EXPECT_EQ(pixels(window->Picture), picture);
    EXPECT_EQ(pixels(window->ScreenCopy), screen);
    EXPECT_EQ(window->Samples.SampleCount, 1);
    EXPECT_EQ(window->RichEdit1->toPlainText(), samples);
    EXPECT_EQ(window->MagnifierCentre, (Point { 100, 100 }));

    dialogs->duringOpen = [] { return true; };
    open(other);
    EXPECT_EQ(window->InitialDir, QDir::toNativeSeparators(dir.path()));
    EXPECT_EQ(window->Samples.SampleCount, 0);
}

TEST_F(MainWindowTest, ALockThatCannotBeMadeIsReportedAndTheProgramRuns)
{
    struct Case {
        const char* what;
        std::function<void(const QString& lock)> make;
        bool reported;
    };
    const Case cases[] = {
        { "a folder in the lock's place",
            [](const QString& lock) { EXPECT_TRUE(QDir().mkdir(lock)); }, true },
        { "an empty lock file left by a crash",
            [](const QString& lock) {
                QFile file(lock);
                EXPECT_TRUE(file.open(QIODevice::WriteOnly));
            },
            false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        dialogs->errors.clear();
        // Another runtime folder, holding what stands in the lock's place.
        QTemporaryDir runtime;
        c.make(runtime.filePath(QStringLiteral("Probnik0_Mutex.lock")));
        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
        auto other = std::make_unique<TProbnikMain>();
        qputenv("XDG_RUNTIME_DIR", saved);
        QCoreApplication::processEvents();
        EXPECT_TRUE(other->isFirstCopy());
        ASSERT_EQ(dialogs->errors.size(), c.reported ? 1 : 0);
        if (c.reported) {
            EXPECT_TRUE(dialogs->errors.first().contains(QDir::toNativeSeparators(runtime.path())))
                << dialogs->errors.first().toStdString();
        }
    }
    EXPECT_TRUE(window->isFirstCopy());
}

TEST_F(MainWindowTest, RightClickFillsTheMagnifier)
{
    open(Good + QStringLiteral("rgb24.bmp"));
    QTest::mouseClick(window->Client, Qt::RightButton, {}, QPoint(200, 150));
    EXPECT_EQ(window->MagnifierCentre, (Point { 200, 150 }));
    const Color centre = window->ScreenCopy.pixel(200, 150);
    EXPECT_EQ(window->MagnifierBitmap.pixel(60, 60), centre);
    EXPECT_EQ(window->canvas().pixel(660, 410), centre);
    EXPECT_EQ(window->canvas().pixel(661, 411), centre);
    // A left click is no magnifier click.
    QTest::mouseClick(window->Client, Qt::LeftButton, {}, QPoint(300, 200));
    EXPECT_EQ(window->MagnifierCentre, (Point { 200, 150 }));
}

TEST_F(MainWindowTest, KeysInTheListRepaintButKeysInTheEditsDoNot)
{
    open(Good + QStringLiteral("rgb24.bmp"));
    Canvas& surface = window->canvas();
    const Color picture = surface.pixel(150, 150);
    const Color scribble = rgb(1, 2, 3) == picture ? rgb(4, 5, 6) : rgb(1, 2, 3);

    surface.setPixel(150, 150, scribble);
    QTest::keyClick(window->Edit1, Qt::Key_Right);
    QTest::keyClick(window->A, Qt::Key_Up);
    EXPECT_EQ(surface.pixel(150, 150), scribble);

    QTest::keyClick(window->RichEdit1, Qt::Key_Down);
    EXPECT_EQ(surface.pixel(150, 150), picture);
    // Before any right click the magnifier stays the background.
    EXPECT_EQ(surface.pixel(650, 400), WindowGrey);
}

TEST_F(MainWindowTest, TheWindowNeverGetsSmallerThanItsLimits)
{
    const QSize design = window->size();
    const QSize narrow = window->windowSizeForOuter(749, 550);
    window->resize(narrow);
    EXPECT_EQ(window->width(), window->windowSizeForOuter(750, 550).width());
    window->resize(window->windowSizeForOuter(750, 600));
    EXPECT_EQ(window->size(), window->windowSizeForOuter(750, 600));
    window->resize(window->windowSizeForOuter(800, 549));
    EXPECT_EQ(window->height(), design.height());
    // A bigger client area is a bigger surface, erased and painted again.
    window->resize(window->windowSizeForOuter(1000, 700));
    EXPECT_EQ(window->canvas().width(), window->Client->width());
    EXPECT_EQ(window->canvas().pixel(950, 600), WindowGrey);
    EXPECT_EQ(window->Edit1->x(), 466);
}

TEST_F(MainWindowTest, SeparatorEditKeepsTheLastNonEmptyText)
{
    EXPECT_EQ(window->Separator, QStringLiteral(";"));
    struct Step {
        QString typed;
        QString separator;
    };
    const std::vector<Step> steps {
        { QStringLiteral(","), QStringLiteral(",") },
        { QString(), QStringLiteral(",") },
        { QStringLiteral(";;"), QStringLiteral(";;") },
        { QStringLiteral("ąę\t"), QStringLiteral("ąę\t") },
        { QString(), QStringLiteral("ąę\t") },
    };
    for (const Step& step : steps) {
        window->Edit1->setText(step.typed);
        EXPECT_EQ(window->Edit1->text(), step.typed);
        EXPECT_EQ(window->Separator, step.separator);
    }
}

TEST_F(MainWindowTest, SettingsAreReadAtStartAndWrittenAtExit)
{
    window.reset();
    EXPECT_EQ(readSettingsFile(), QStringLiteral("[DEFAULTS]\nInitialDir=\nSeparator=;\n"));

    writeSettingsFile("; mine\r\n[defaults]\r\ninitialdir = /pictures/łąka \r\nSeparator=\r\n");
    window = std::make_unique<TProbnikMain>();
    EXPECT_EQ(window->InitialDir, QStringLiteral("/pictures/łąka"));
    EXPECT_EQ(window->Separator, QString());
    EXPECT_EQ(window->Edit1->text(), QString());
    window->Edit1->setText(QStringLiteral("|"));
    window.reset();
    EXPECT_EQ(readSettingsFile(),
        QStringLiteral("; mine\r\n[defaults]\r\ninitialdir = /pictures/łąka \r\nSeparator=|\r\n"));

    // Bytes that are not UTF-8 (a folder named in Windows-1250) go back as they came, and so
    // does every line the window does not own.
    const QByteArray foreign = "[DEFAULTS]\r\nInitialDir=/obrazy/\xB3\xB9ka\r\nx=\xFF\nSeparator=,";
    writeSettingsFile(foreign);
    window = std::make_unique<TProbnikMain>();
    EXPECT_TRUE(window->InitialDir.startsWith(QStringLiteral("/obrazy/")));
    window.reset();
    QFile written(settingsPath());
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), foreign);
    EXPECT_TRUE(dialogs->errors.isEmpty());
}

TEST_F(MainWindowTest, ASettingsFolderThatCannotBeWrittenIsReported)
{
    window.reset();
    QTemporaryDir dir;
    const QString blocker = dir.filePath(QStringLiteral("file"));
    QFile file(blocker);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", (blocker + QStringLiteral("/config")).toUtf8());
    window = std::make_unique<TProbnikMain>();
    window.reset();
    qputenv("XDG_CONFIG_HOME", saved);
    EXPECT_EQ(dialogs->errors, QStringList { QStringLiteral("Unable to write to Probnik.ini") });
}

TEST_F(MainWindowTest, ABitmapDroppedOnTheWindowOpensLikeTheOpenCommand)
{
    auto drop = [&](const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(
            QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window.get(), &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropped(
            QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window.get(), &dropped);
        return true;
    };
    EXPECT_FALSE(drop({ QUrl(QStringLiteral("https://example.org/x.bmp")) }));
    EXPECT_TRUE(drop({ QUrl::fromLocalFile(QStringLiteral("/nowhere/picture.png")) }));
    EXPECT_TRUE(window->Picture.isEmpty()); // not a bitmap's name: ignored as after the dialog
    EXPECT_TRUE(drop({ QUrl::fromLocalFile(Good + QStringLiteral("pal8.bmp")) }));
    EXPECT_EQ(window->ImageWidth, 127);
    EXPECT_EQ(window->InitialDir, QDir::toNativeSeparators(QDir::cleanPath(Good)));
    EXPECT_TRUE(window->Button4->isEnabled());
}

TEST_F(MainWindowTest, ToolButtonsOpenTheirWindows)
{
    TShower shower;
    Shower = &shower;
    TStatystyka statistics;
    Statystyka = &statistics;
    window->ToolButton7->click();
    EXPECT_TRUE(shower.isVisible());
    open(Good + QStringLiteral("rgb24.bmp"));
    window->SpeedButton1->click();
    EXPECT_EQ(dialogs->modals, QList<QDialog*> { &statistics });
    Shower = nullptr;
    Statystyka = nullptr;
}

TEST_F(MainWindowTest, ColourDialogOnF9)
{
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window->RichEdit1, Qt::Key_F9);
    EXPECT_EQ(dialogs->colourDialogs, 1);
}

TEST_F(MainWindowTest, ASecondCopyEndsAtItsFirstEventLoopTurn)
{
    EXPECT_TRUE(window->isFirstCopy());
    auto second = std::make_unique<TProbnikMain>();
    EXPECT_FALSE(second->isFirstCopy());
    // The second copy has asked its event loop to end: exec() returns at once with 0, long
    // before the safety timer would end it with 1.
    QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(1); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    second.reset();
    EXPECT_TRUE(window->isFirstCopy());
}

TEST_F(MainWindowTest, ASecondCopyStartedWithAFileOpensNothingAndLeavesTheSettings)
{
    const QByteArray settings = "; mine\r\n[DEFAULTS]\r\nInitialDir = /kept\r\nSeparator=|\r\n";
    writeSettingsFile(settings);
    auto second = std::make_unique<TProbnikMain>();
    ProbnikMain = second.get();
    openFileArgument({ QStringLiteral("probnik"), Good + QStringLiteral("rgb24.bmp") });
    QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(1); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_TRUE(second->Picture.isEmpty());
    EXPECT_EQ(second->InitialDir, QStringLiteral("/kept"));
    second.reset();
    ProbnikMain = window.get();
    QFile file(settingsPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), settings);
    EXPECT_TRUE(dialogs->errors.isEmpty());
}

TEST_F(MainWindowTest, TheStatusBarIsAPanelAlongTheBottomEdge)
{
    const QSize client = window->Client->size();
    EXPECT_EQ(window->StatusBar->geometry(), QRect(0, client.height() - 19, client.width(), 19));
    window->Client->grab(); // lays the bar out as it will be painted
    const QImage shot = window->Client->grab().toImage();
    const QColor face = QApplication::palette().color(QPalette::Window);
    ASSERT_NE(face, QColor(WindowGrey));
    const int x = client.width() / 2;
    EXPECT_EQ(shot.pixelColor(x, client.height() - 20), QColor(128, 128, 128));
    // The bar in the face colour, with a sunken panel: a shadow on its top edge, face inside.
    EXPECT_EQ(shot.pixelColor(x, client.height() - 19), face);
    EXPECT_NE(shot.pixelColor(x, client.height() - 17), face);
    EXPECT_EQ(shot.pixelColor(x, client.height() - 8), face);
}

TEST(QtDialogsTest, SpeakPolishWhateverTheLocale)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Probnik"), QStringLiteral("x"),
        QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QStringLiteral("Anuluj"));
    QFileDialog files;
    files.setOption(QFileDialog::DontUseNativeDialog);
    files.setAcceptMode(QFileDialog::AcceptSave);
    const auto* buttons = files.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    ASSERT_NE(buttons, nullptr);
    EXPECT_EQ(
        buttons->button(QDialogButtonBox::Save)->text().remove(u'&'), QStringLiteral("Zachowaj"));
    const QLabel* lookIn = files.findChild<QLabel*>(QStringLiteral("lookInLabel"));
    ASSERT_NE(lookIn, nullptr);
    EXPECT_EQ(lookIn->text(), QStringLiteral("Szukaj w:"));
    QColorDialog colours;
    colours.setOption(QColorDialog::DontUseNativeDialog);
    EXPECT_EQ(colours.windowTitle(), QStringLiteral("Wybierz kolor"));
}

TEST(StartupTest, EveryWindowIsCreatedOnceAndReachable)
{
    createWindows();
    ASSERT_NE(ProbnikMain, nullptr);
    EXPECT_EQ(AboutBox->windowTitle(), QStringLiteral("O programie"));
    EXPECT_EQ(Shower->windowTitle(), QStringLiteral("Demonstracja koloru"));
    EXPECT_EQ(Statystyka->windowTitle(), QStringLiteral("Statystyka"));
    EXPECT_EQ(OKBottomDlg->windowTitle(), QStringLiteral("Uwaga!"));
    EXPECT_EQ(Global->windowTitle(), QStringLiteral("Badanie całego obszaru"));
    destroyWindows();
    for (const void* window : { static_cast<void*>(ProbnikMain), static_cast<void*>(AboutBox),
             static_cast<void*>(Shower), static_cast<void*>(Statystyka),
             static_cast<void*>(OKBottomDlg), static_cast<void*>(Global) })
        EXPECT_EQ(window, nullptr);
}

TEST(SplashTest, ShowsTheVersionAndBringsTheMainWindowForward)
{
    TProbnikMain main;
    ProbnikMain = &main;
    QPointer<TSplash> splash = new TSplash;
    Splash = splash;
    EXPECT_EQ(splash->size(), QSize(972, 513));
    EXPECT_EQ(splash->VersionInfoFileVersionLabel1->text(), QStringLiteral("1.1.1.1"));
    EXPECT_FALSE(splash->VersionInfoLegalCopyrightLabel1->text().isEmpty());
    EXPECT_EQ(splash->T0->text(), QStringLiteral("Probnik"));
    EXPECT_EQ(splash->Label1->text(), QStringLiteral("Projekt non profi"));
    // The title's rounded face has a rounded stand-in, not the plain bold sans.
    EXPECT_EQ(QFontInfo(splash->T0->font()).family(), QStringLiteral("Quicksand"));
    splash->show();
    EXPECT_TRUE(splash->Timer1->isActive());
    EXPECT_EQ(splash->Timer1->interval(), 7000);
    const QLabel* version = splash->VersionInfoFileVersionLabel1;
    EXPECT_EQ(version->x(), (splash->width() - version->width()) / 2);
    EXPECT_EQ(version->y(), 453);

    splash->Timer1Timer();
    EXPECT_FALSE(splash->isVisible());
    EXPECT_TRUE(main.isVisible());
    QTest::qWait(50);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(splash.isNull());
    EXPECT_EQ(Splash, nullptr);
    ProbnikMain = nullptr;
}

TEST(SplashTest, AModalWindowOpenWhenItGoesStaysInFront)
{
    TProbnikMain main;
    ProbnikMain = &main;
    QPointer<TSplash> splash = new TSplash;
    Splash = splash;
    splash->show();
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    // The Open dialog pressed for during the splash, or an error box over it.
    QDialog modal(&main);
    modal.setWindowTitle(QStringLiteral("modal"));
    QWidget* activeAfter = nullptr;
    QTimer::singleShot(100, &modal, [&] {
        ASSERT_TRUE(QTest::qWaitForWindowActive(&modal));
        splash->Timer1Timer();
        QTest::qWait(100);
        activeAfter = QApplication::activeWindow();
        modal.reject();
    });
    modal.exec();
    EXPECT_TRUE(main.isVisible());
    EXPECT_EQ(activeAfter, &modal);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ProbnikMain = nullptr;
}
