// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/Main.h"

#include "analysis/AbChart.h"
#include "analysis/Stat.h"
#include "app/Design.h"
#include "app/Display.h"
#include "app/Placement.h"
#include "app/ProbnikApplication.h"
#include "app/Settings.h"
#include "app/SpinEdit.h"
#include "app/Surface.h"
#include "common/Windows1250.h"
#include "demo/Pokaz.h"
#include "info/about.h"
#include "picture/Picture.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFrame>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScopedValueRollback>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <cstdio>

using namespace probnik;

TProbnikMain* ProbnikMain = nullptr;

namespace {

// The design's outer size: the client area of display::ScreenCopyWidth x ScreenCopyHeight,
// the design frame around it and the menu bar.
constexpr int DesignMenuBarHeight = 20;
constexpr int DesignOuterWidth = display::ScreenCopyWidth + design::FrameWidth;
constexpr int DesignOuterHeight
    = display::ScreenCopyHeight + DesignMenuBarHeight + design::FrameHeight;
// The window may grow, but never narrower than this or lower than the design.
constexpr int MinimumOuterWidth = 750;
constexpr int MinimumOuterHeight = 550;
constexpr int StatusBarHeight = 19;
constexpr int StatusPanelTop = 2; // the bar's panel starts below a thin margin
constexpr int ToolBarHeight = 30;

std::filesystem::path settingsFile()
{
    const QByteArray config = qgetenv("XDG_CONFIG_HOME");
    const QByteArray home = qgetenv("HOME");
    return Settings::filePath(
        qEnvironmentVariableIsSet("XDG_CONFIG_HOME") ? config.constData() : nullptr,
        qEnvironmentVariableIsSet("HOME") ? home.constData() : nullptr);
}

// A design hint "short|long": the short text pops up, the long one goes to the status bar.
void setHint(QWidget* widget, const QString& hint)
{
    const qsizetype bar = hint.indexOf(u'|');
    widget->setToolTip(bar < 0 ? hint : hint.left(bar));
    widget->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
}

// A tool-button picture from the desktop's icon theme, or the one built into the program.
QIcon themeIcon(const char* name, const char* bundled)
{
    return QIcon::fromTheme(QString::fromLatin1(name),
        QIcon(QStringLiteral(":/icons/%1.svg").arg(QString::fromLatin1(bundled))));
}

} // namespace

TProbnikMain::TProbnikMain(QWidget* parent)
    : QMainWindow(parent)
{
    buildDesign();
    // A bitmap dropped from a file manager opens as if chosen in the Open dialog.
    setAcceptDrops(true);

    lockInstance();

    Picture = Canvas();
    ScreenCopy.reset(display::ScreenCopyWidth, display::ScreenCopyHeight, White);
    MagnifierBitmap.reset(display::MagnifierSize, display::MagnifierSize, WindowGrey);
    canvas().brushColor = WindowGrey;

    m_settingsRead = Settings::read(settingsFile());
    InitialDir = QString::fromStdString(m_settingsRead.InitialDir);
    Separator = QString::fromStdString(m_settingsRead.Separator);
    LabWhite = m_settingsRead.referenceWhite();
    LabSample = m_settingsRead.sampleMode();
    LabArea = m_settingsRead.areaSource();
    CalibrationFile = QString::fromStdString(m_settingsRead.Calibration);
    LabTolerance = m_settingsRead.tolerance();
    Edit1->setText(Separator);
}

void TProbnikMain::lockInstance()
{
    // One copy of the program at a time. The lock survives a crash only until the next start
    // sees that its owner is gone.
    QString lockDir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (lockDir.isEmpty())
        lockDir = QDir::tempPath();
    InstanceMutex = std::make_unique<QLockFile>(lockDir + QStringLiteral("/Probnik0_Mutex.lock"));
    InstanceMutex->setStaleLockTime(0);
    if (InstanceMutex->tryLock(0))
        return;
    // Only a lock whose owner still runs means another copy; a lock that cannot be made (a
    // folder in its place, a full or read-only folder) must not keep the program from running.
    qint64 pid = 0;
    QString host;
    QString application;
    if (InstanceMutex->error() == QLockFile::LockFailedError) {
        if (InstanceMutex->getLockInfo(&pid, &host, &application)) {
            m_secondCopy = true;
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
            return;
        }
        // A lock file that names no owner (cut short by a crash, or empty) is taken over,
        // unless a copy that is starting holds it.
        if (InstanceMutex->removeStaleLockFile() && InstanceMutex->tryLock(0))
            return;
    }
    InstanceMutex.reset();
    const QString message = QStringLiteral(
        "Nie można utworzyć blokady pojedynczej kopii programu w folderze %1. Probnik działa "
        "bez niej: druga uruchomiona kopia nie zakończy się sama.")
                                .arg(QDir::toNativeSeparators(lockDir));
    QTimer::singleShot(0, this,
        [message] { ProbnikApplication::showError(ProbnikApplication::frontWindow(), message); });
}

namespace {

// What goes back into the settings file: the text as read when the window did not change it,
// so that bytes it could not show survive.
std::string storedText(const QString& shown, const std::string& read)
{
    return shown == QString::fromStdString(read) ? read : shown.toStdString();
}

} // namespace

TProbnikMain::~TProbnikMain()
{
    // A second copy changed nothing, so the file stays exactly as it read it; rewriting it
    // could undo what the running copy stores meanwhile.
    Settings settings;
    settings.InitialDir = storedText(InitialDir, m_settingsRead.InitialDir);
    settings.Separator = storedText(Separator, m_settingsRead.Separator);
    settings.White = LabWhite == m_settingsRead.referenceWhite()
        ? m_settingsRead.White
        : std::string(colour::whiteName(LabWhite));
    settings.Sample = LabSample == m_settingsRead.sampleMode() ? m_settingsRead.Sample
                                                               : sampleModeText(LabSample);
    settings.Area = LabArea == m_settingsRead.areaSource() ? m_settingsRead.Area
                                                           : std::string(areaSourceText(LabArea));
    settings.Calibration = storedText(CalibrationFile, m_settingsRead.Calibration);
    settings.Tolerance = LabTolerance == m_settingsRead.tolerance()
        ? m_settingsRead.Tolerance
        : lab::toleranceText(LabTolerance);
    if (const auto error = isFirstCopy() ? settings.write(settingsFile()) : std::nullopt) {
        // At exit the box may never be seen, so the message also goes to standard error.
        std::fprintf(stderr, "Probnik: %s\n", error->message.c_str());
        ProbnikApplication::showError(nullptr, QString::fromStdString(error->message));
    }
    if (ProbnikMain == this)
        ProbnikMain = nullptr;
}

Canvas& TProbnikMain::canvas()
{
    return Client->canvas();
}

bool TProbnikMain::isFirstCopy() const
{
    return !m_secondCopy;
}

QSize TProbnikMain::windowSizeForOuter(int w, int h) const
{
    return { w - design::FrameWidth,
        h - design::FrameHeight - DesignMenuBarHeight + menuBar()->sizeHint().height() };
}

void TProbnikMain::buildDesign()
{
    setWindowTitle(QStringLiteral("Probnik"));

    Client = new Surface(this);
    setCentralWidget(Client);
    QPalette grey = Client->palette();
    grey.setColor(QPalette::Window, design::toQColor(WindowGrey));
    Client->setPalette(grey);

    buildToolBar();

    Edit1 = new QLineEdit(Client);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(466, 8, 25, 17);
    Edit1->setFont(design::font(QStringLiteral("MS Sans Serif"), 11, true));
    Edit1->setText(QStringLiteral(";"));
    // Only characters the CSV file's code page can store, so every separator is written exactly.
    QString allowed;
    for (const std::string& c : windows1250Characters())
        allowed += QRegularExpression::escape(QString::fromStdString(c));
    Edit1->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QLatin1Char('[') + allowed + QStringLiteral("]*")), Edit1));
    Edit1->raise();
    connect(Edit1, &QLineEdit::textChanged, this, [this] { Edit1Change(); });

    RichEdit1 = new QPlainTextEdit(Client);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setGeometry(600, 33, 289, 289);
    QFont courier = design::font(QStringLiteral("Courier New"), 13);
    courier.setStyleHint(QFont::TypeWriter);
    courier.setFixedPitch(true);
    RichEdit1->setFont(courier);
    RichEdit1->setReadOnly(true);
    RichEdit1->setLineWrapMode(QPlainTextEdit::NoWrap);
    RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Keys for the list also refresh the display, before the list itself reacts.
    RichEdit1->installEventFilter(this);

    // Scratch buffer of the CSV export; never shown.
    R = new QPlainTextEdit(Client);
    R->setObjectName(QStringLiteral("R"));
    R->setGeometry(600, 321, 289, 25);
    R->setPlainText(QStringLiteral("R"));
    R->hide();

    // The status bar is a panel of its own in the window's face colour, not text on the grey
    // surface: its own palette, its own background, and one sunken panel for the text.
    StatusBar = new QStatusBar(Client);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setSizeGripEnabled(false);
    QPalette face = StatusBar->palette();
    for (const QPalette::ColorRole role : { QPalette::Window, QPalette::WindowText })
        face.setColor(role, QApplication::palette(StatusBar).color(role));
    StatusBar->setPalette(face);
    StatusBar->setAutoFillBackground(true);
    StatusPanel = new QFrame(StatusBar);
    StatusPanel->setObjectName(QStringLiteral("StatusPanel"));
    StatusPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    StatusPanel->setLineWidth(1);
    StatusPanel->setAttribute(Qt::WA_TransparentForMouseEvents);

    buildMenu();

    connect(Client, &Surface::resized, this, [this] {
        const QSize size = Client->size();
        canvas().reset(size.width(), size.height(), WindowGrey);
        ToolBar1->setGeometry(0, 0, size.width(), ToolBarHeight);
        StatusBar->setGeometry(0, size.height() - StatusBarHeight, size.width(), StatusBarHeight);
        StatusPanel->setGeometry(0, StatusPanelTop, size.width(), StatusBarHeight - StatusPanelTop);
        Repaint();
    });
    connect(Client, &Surface::mousePressed, this, &TProbnikMain::FormMouseDown);
    connect(Client, &Surface::mouseMoved, this, &TProbnikMain::FormMouseMove);
    connect(Client, &Surface::mouseReleased, this, &TProbnikMain::FormMouseUp);

    resize(windowSizeForOuter(DesignOuterWidth, DesignOuterHeight));
    setMinimumSize(windowSizeForOuter(MinimumOuterWidth, MinimumOuterHeight));
    RichEdit1->setFocus();
}

void TProbnikMain::buildToolBar()
{
    ToolBar1 = new QFrame(Client);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    ToolBar1->setLineWidth(1);
    ToolBar1->setAutoFillBackground(true);
    ToolBar1->setBackgroundRole(QPalette::Button);

    constexpr int top = 4;
    constexpr int height = 22;
    auto toolButton = [this](const char* name, int left, const QIcon& icon, const QString& hint) {
        auto* button = new QToolButton(ToolBar1);
        button->setObjectName(QString::fromLatin1(name));
        button->setGeometry(left, top, 23, height);
        button->setIcon(icon);
        button->setAutoRaise(true);
        setHint(button, hint);
        return button;
    };
    ToolButton1 = toolButton("ToolButton1", 5, themeIcon("document-open", "document-open"),
        QStringLiteral("Otwórz|Otwórz bitmapę"));
    ToolButton2 = toolButton("ToolButton2", 28, themeIcon("document-save", "document-save"),
        QStringLiteral("Zapisz|Zapisz CSV"));
    ToolButton7 = toolButton(
        "ToolButton7", 73, themeIcon("color-select", "palette"), QStringLiteral("Pokaż kolor"));
    SpeedButton1 = toolButton("SpeedButton1", 96, themeIcon("accessories-calculator", "statistics"),
        QStringLiteral("Wynik przeliczeń"));
    ToolButton9 = toolButton(
        "ToolButton9", 119, themeIcon("edit-select", "area"), QStringLiteral("Badanie obszaru"));
    ToolButton9->setCheckable(true);
    ToolButton2->setEnabled(false);
    SpeedButton1->setEnabled(false);
    ToolButton9->setEnabled(false);

    auto pushButton = [this](const char* name, int left, const QString& text, const QString& hint) {
        auto* button = new QPushButton(text, ToolBar1);
        button->setObjectName(QString::fromLatin1(name));
        button->setGeometry(left, top, 24, height);
        setHint(button, hint);
        button->setEnabled(false);
        return button;
    };
    Button1
        = pushButton("Button1", 164, QStringLiteral("<--"), QStringLiteral("Usuń ostatnia linię"));
    Button4
        = pushButton("Button4", 196, QStringLiteral("Clr"), QStringLiteral("Usuń wszystkie linie"));

    const QFont labelFont = design::font(QStringLiteral("MS Sans Serif"), 13);
    auto label = [this, &labelFont](const char* name, int left, int width, const QString& text,
                     Qt::Alignment align) {
        auto* l = new QLabel(text, ToolBar1);
        l->setObjectName(QString::fromLatin1(name));
        l->setFont(labelFont);
        l->setAlignment(align | Qt::AlignVCenter);
        if (width > 0)
            l->setGeometry(left, top, width, height);
        else {
            l->move(left, top);
            l->setFixedHeight(height);
            l->adjustSize();
        }
        return l;
    };
    Label6 = label("Label6", 252, 88, QStringLiteral("    Autozakres:  "), Qt::AlignRight);
    A = new TCSpinEdit(ToolBar1);
    A->setObjectName(QStringLiteral("A"));
    A->setGeometry(340, top, 50, height);
    A->setRange(0, 100);
    A->setValue(0);
    Label4 = label("Label4", 390, 66, QStringLiteral(" Separator:"), Qt::AlignRight);
    Label5 = label("Label5", 548, 0, QStringLiteral("Licznik:"), Qt::AlignLeft);
    Label1 = label("Label1", 591, 47, QStringLiteral("0"), Qt::AlignRight);
    QFont counterFont = labelFont;
    counterFont.setBold(true);
    counterFont.setItalic(true);
    Label1->setFont(counterFont);
    Label1->setLayoutDirection(Qt::RightToLeft);
    Label2 = label("Label2", 638, 53, QString(), Qt::AlignLeft);
    Label3 = label("Label3", 691, 0, QString(), Qt::AlignLeft);
}

void TProbnikMain::buildMenu()
{
    auto action = [this](const char* name, const QString& text, const QKeySequence& key,
                      void (TProbnikMain::*handler)()) {
        auto* a = new QAction(text, this);
        a->setObjectName(QString::fromLatin1(name));
        a->setShortcut(key);
        if (handler)
            connect(a, &QAction::triggered, this, handler);
        addAction(a);
        return a;
    };
    FileOpen1 = action("FileOpen1", QStringLiteral("&Otwórz"), QKeySequence(Qt::CTRL | Qt::Key_O),
        &TProbnikMain::FileOpen1Execute);
    FileSave1 = action("FileSave1", QStringLiteral("Zapi&sz"), QKeySequence(Qt::CTRL | Qt::Key_S),
        &TProbnikMain::FileSave1Execute);
    FileSaveAs1 = action("FileSaveAs1", QStringLiteral("Save &As..."), QKeySequence(),
        &TProbnikMain::FileSaveAs1Execute);
    FileExit1 = action(
        "FileExit1", QStringLiteral("Koniec"), QKeySequence(), &TProbnikMain::FileExit1Execute);
    Pomoc1 = action("Pomoc1", QStringLiteral("Opis"), QKeySequence(), &TProbnikMain::Pomoc1Click);
    HelpAbout1 = action("HelpAbout1", QStringLiteral("O programie.."), QKeySequence(),
        &TProbnikMain::HelpAbout1Execute);
    ColorDial = action("ColorDial", QStringLiteral("ColorDial"), QKeySequence(Qt::Key_F9),
        &TProbnikMain::ColorDialExecute);
    Kolorymetria1 = action("Kolorymetria1", QStringLiteral("Kolorymetria"),
        QKeySequence(Qt::CTRL | Qt::Key_L), &TProbnikMain::Kolorymetria1Execute);
    Histogram1 = action("Histogram1", QStringLiteral("Histogram obszaru"),
        QKeySequence(Qt::CTRL | Qt::Key_H), &TProbnikMain::Histogram1Execute);
    Kalibracja1 = action("Kalibracja1", QStringLiteral("&Kalibracja"),
        QKeySequence(Qt::CTRL | Qt::Key_K), &TProbnikMain::Kalibracja1Execute);
    Wykres1 = action("Wykres1", QStringLiteral("Wykres a*b*"), QKeySequence(Qt::CTRL | Qt::Key_G),
        &TProbnikMain::Wykres1Execute);

    QMenu* file = menuBar()->addMenu(QStringLiteral("&Plik"));
    file->addAction(FileOpen1);
    file->addAction(FileSave1);
    file->addSeparator();
    file->addAction(FileExit1);
    QMenu* analysis = menuBar()->addMenu(QStringLiteral("&Analiza"));
    analysis->addAction(Kolorymetria1);
    analysis->addAction(Histogram1);
    analysis->addAction(Kalibracja1);
    analysis->addAction(Wykres1);
    QMenu* help = menuBar()->addMenu(QStringLiteral("Pomoc"));
    help->addAction(Pomoc1);
    help->addAction(HelpAbout1);

    connect(ToolButton1, &QToolButton::clicked, FileOpen1, &QAction::trigger);
    connect(ToolButton7, &QToolButton::clicked, this, &TProbnikMain::ToolButton7Click);
    connect(SpeedButton1, &QToolButton::clicked, this, &TProbnikMain::SpeedButton1Click);
    connect(ToolButton9, &QToolButton::clicked, this, &TProbnikMain::ToolButton9Click);
    connect(Button1, &QPushButton::clicked, this, &TProbnikMain::Button1Click);
    connect(Button4, &QPushButton::clicked, this, &TProbnikMain::Button4Click);
    connect(ToolButton2, &QToolButton::clicked, FileSave1, &QAction::trigger);
}

void TProbnikMain::showCanvas()
{
    Client->update();
}

void TProbnikMain::Repaint()
{
    Canvas& surface = canvas();
    surface.fillRect(surface.bounds());
    FormPaint();
}

void TProbnikMain::FormPaint()
{
    Canvas& surface = canvas();
    surface.stretchDraw(DisplayBox, Picture);
    surface.draw(display::MagnifierOrigin, MagnifierBitmap);
    display::drawGrid(surface, DisplayBox);
    if (inAreaMode() && Selection)
        Selection->Draw();
    showCanvas();
}

void TProbnikMain::DoBitMap()
{
    // ImageWidth and ImageHeight are the file's picture size, set when it was read; Picture
    // itself is only what the box shows.
    DisplayBox = display::displayBox(ImageWidth, ImageHeight);
}

void TProbnikMain::FileOpen1Execute()
{
    if (m_opening)
        return;
    const QString path = ProbnikApplication::dialogs().openBitmap(this, InitialDir);
    if (!path.isEmpty())
        OpenPicture(path);
}

void TProbnikMain::OpenPicture(const QString& path)
{
    // Any letter case: a picture named PHOTO.BMP or SCAN.TIFF opens too.
    if (m_opening || !isPicturePath(path.toStdString()))
        return;
    const QString previousDir = InitialDir;
    InitialDir = QDir::toNativeSeparators(QFileInfo(path).absolutePath());

    // Only what the box shows is decoded: a huge file costs no more than a small one. A long
    // read shows its bar and lets events through; the bar is gone before any message.
    Result<DisplayPicture> read = [&] {
        const QScopedValueRollback opening(m_opening, true);
        Progress progress([bar = ProbnikApplication::dialogs().openProgress(this), this](
                              double share) { return (!bar || bar(share)) && !m_closeRequested; });
        auto result = readPictureForDisplay(path.toStdString(), display::BoxSide, progress);
        // "Anuluj" pressed while the last rows were read counts too.
        if (result && !progress.advance(1.0))
            return Result<DisplayPicture>(cancelled());
        return result;
    }();
    if (m_closeRequested) {
        close();
        return;
    }
    if (!read) {
        // Cancelled, the open leaves everything as it was; failed, it has taken the folder.
        if (read.error().cancelled)
            InitialDir = previousDir;
        else
            ProbnikApplication::showError(
                ProbnikApplication::frontWindow(), QString::fromStdString(read.error().message));
        return;
    }
    DisplayPicture& opened = read.value();
    Picture = std::move(opened.shown);
    ImageWidth = opened.width;
    ImageHeight = opened.height;
    PictureColour = std::move(opened.colour);
    PictureBits = opened.bits;
    PictureGrey = opened.grey;
    Picture16 = std::move(opened.shown16);
    const QFileInfo file(path);
    PicturePath = file.absoluteFilePath();
    PictureFileSize = file.size();
    PictureFileTime = file.lastModified().toMSecsSinceEpoch();

    Canvas& surface = canvas();
    const int clientRight = surface.width();
    const int clientBottom = surface.height();
    surface.fillRect({ 0, RichEdit1->y(), clientRight, clientBottom });
    surface.fillRect({ 0, 0, RichEdit1->x(), clientBottom });
    DoBitMap();
    surface.stretchDraw(DisplayBox, Picture);
    Button4Click();
    ScreenCopy.copyRect({ DisplayBox.Left, DisplayBox.Top }, surface, DisplayBox);
    MagnifierCentre = {};
    display::drawGrid(surface, DisplayBox);
    showCanvas();

    for (QWidget* control :
        { static_cast<QWidget*>(ToolButton2), static_cast<QWidget*>(ToolButton7),
            static_cast<QWidget*>(ToolButton9), static_cast<QWidget*>(SpeedButton1),
            static_cast<QWidget*>(Button1), static_cast<QWidget*>(Button4) })
        control->setEnabled(true);
    emit pictureOpened();
}

bool TProbnikMain::pictureFileUnchanged() const
{
    if (PicturePath.isEmpty())
        return false;
    const QFileInfo file(PicturePath);
    return file.isFile() && file.size() == PictureFileSize
        && file.lastModified().toMSecsSinceEpoch() == PictureFileTime;
}

void TProbnikMain::FileExit1Execute()
{
    close();
}

void TProbnikMain::ToolButton7Click()
{
    if (!Shower)
        return;
    Shower->show();
    Shower->raise();
    Shower->activateWindow();
}

void TProbnikMain::SpeedButton1Click()
{
    if (Statystyka)
        ProbnikApplication::dialogs().runModal(Statystyka);
}

void TProbnikMain::HelpAbout1Execute()
{
    if (AboutBox)
        ProbnikApplication::dialogs().runModal(AboutBox);
}

void TProbnikMain::Pomoc1Click()
{
    // A missing manual is no error: nothing opens.
    const QString manual = findManual(manualFolders());
    if (!manual.isEmpty())
        ProbnikApplication::dialogs().openUrl(QUrl::fromLocalFile(manual));
}

void TProbnikMain::ColorDialExecute()
{
    ProbnikApplication::dialogs().colour(this);
}

void TProbnikMain::RefreshMagnifier()
{
    display::refreshMagnifier(MagnifierBitmap, canvas(), ScreenCopy, MagnifierCentre);
}

void TProbnikMain::XY(int& x, int& y) const
{
    const Point p = display::mapClick({ x, y }, MagnifierCentre, DisplayBox);
    x = p.x;
    y = p.y;
}

Color TProbnikMain::ColourAt(int x, int y) const
{
    return display::colourAt(Client->canvas(), ScreenCopy, DisplayBox, { x, y });
}

void TProbnikMain::FormKeyDown()
{
    RefreshMagnifier();
    canvas().draw(display::MagnifierOrigin, MagnifierBitmap);
    FormPaint();
}

void TProbnikMain::RichEdit1KeyDown()
{
    FormKeyDown();
}

void TProbnikMain::Edit1Change()
{
    // An emptied edit keeps the last separator, so the export always has one.
    if (!Edit1->text().isEmpty())
        Separator = Edit1->text();
}

void TProbnikMain::FormResize()
{
    Edit1->move(Label4->x() + Label4->width() + 10, Edit1->y());
}

void TProbnikMain::FormShow()
{
    const QRect screen = this->screen()->geometry();
    placeByFrame(this, [screen](QSize frame) {
        return QPoint(screen.x() + (screen.width() - frame.width()) / 2,
            screen.y() + (screen.height() - frame.height()) / 2);
    });
    FormResize();
}

void TProbnikMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        FormShow();
    Repaint();
}

void TProbnikMain::closeEvent(QCloseEvent* event)
{
    // Closing the main window ends the program, whatever other windows are open; during a read,
    // once the read has stopped.
    if (m_opening) {
        m_closeRequested = true;
        event->ignore();
        return;
    }
    event->accept();
    QCoreApplication::quit();
}

void TProbnikMain::keyPressEvent(QKeyEvent* event)
{
    QWidget* focus = focusWidget();
    const bool inEdit = focus == Edit1 || (focus && A->isAncestorOf(focus)) || focus == A;
    if (!inEdit && focus != RichEdit1)
        FormKeyDown();
    QMainWindow::keyPressEvent(event);
}

void TProbnikMain::dragEnterEvent(QDragEnterEvent* event)
{
    if (!droppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TProbnikMain::dropEvent(QDropEvent* event)
{
    const QString path = droppedFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    OpenPicture(path);
}

QString TProbnikMain::droppedFile(const QMimeData* data)
{
    if (!data || !data->hasUrls() || data->urls().isEmpty()
        || !data->urls().constFirst().isLocalFile())
        return {};
    return data->urls().constFirst().toLocalFile();
}

bool TProbnikMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == RichEdit1 && event->type() == QEvent::KeyPress)
        RichEdit1KeyDown();
    return QMainWindow::eventFilter(watched, event);
}

bool TProbnikMain::event(QEvent* event)
{
    // The long part of the hint of the control under the mouse goes to the status bar.
    if (event->type() == QEvent::StatusTip) {
        StatusBar->showMessage(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}
