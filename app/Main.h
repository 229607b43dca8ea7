// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "app/Settings.h"
#include "common/ColourDescription.h"
#include "common/Geometry.h"
#include "common/Result.h"
#include "picture/Canvas.h"
#include "sampling/Kwadrat.h"
#include "sampling/SampleStore.h"

#include <QLockFile>
#include <QMainWindow>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <vector>

class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QMimeData;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QStatusBar;
class QToolButton;
class Surface;

// The main window: the picture in its display box under the grid, the magnifier, the sample
// list and the tool bar. It owns the picture state and the settings.
class TProbnikMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TProbnikMain(QWidget* parent = nullptr);
    ~TProbnikMain() override;

    // Settings, kept between runs.
    QString InitialDir;
    QString Separator;

    // The picture and how it is shown. Picture holds the picture as the box shows it, already
    // scaled to DisplayBox's size (stretching it into the box draws it unchanged); ImageWidth
    // and ImageHeight are the size of the picture in the file.
    probnik::Canvas Picture;
    // What the opened file says of its colours, its bits a channel, whether its pixels are
    // grey, and Picture's pixels at 16 bits (R, G, B each, row by row; empty for files of 8
    // bits or fewer).
    probnik::ColourDescription PictureColour;
    int PictureBits = 8;
    bool PictureGrey = false;
    std::vector<std::uint16_t> Picture16;
    // The opened picture's file, absolute, and its size and time of last change when it was
    // opened: what is read of its own pixels must come from the file the box shows. Empty
    // before any picture.
    QString PicturePath;
    qint64 PictureFileSize = 0;
    qint64 PictureFileTime = 0; // milliseconds since the epoch
    // Whether the file at PicturePath is still the one opened (same size and time).
    bool pictureFileUnchanged() const;
    // The colorimetry's reference white, kept between runs.
    probnik::colour::ReferenceWhite LabWhite = probnik::colour::ReferenceWhite::D65;
    // What a colorimetry sample measures and where its area statistics come from, kept
    // between runs.
    probnik::SampleMode LabSample;
    probnik::AreaSource LabArea = probnik::AreaSource::Screen;
    // The calibration file in use, kept between runs; empty for none.
    QString CalibrationFile;
    // The colorimetry's dE00 tolerance, kept between runs.
    double LabTolerance = 2.0;
    int ImageWidth = 0;
    int ImageHeight = 0;
    probnik::Rect DisplayBox;
    probnik::Canvas ScreenCopy;
    probnik::Canvas MagnifierBitmap;
    probnik::Point MagnifierCentre;

    // The point samples, row n of RichEdit1 being sample n.
    probnik::SampleStore Samples;

    // The area selection of area mode, from a mouse press to the release that follows it.
    std::unique_ptr<probnik::TSqr> Selection;

    // The window's drawing surface (its client area).
    probnik::Canvas& canvas();
    Surface* Client = nullptr;

    // Controls, named as in the window design.
    QFrame* ToolBar1 = nullptr;
    QToolButton* ToolButton1 = nullptr;
    QToolButton* ToolButton2 = nullptr;
    QToolButton* ToolButton7 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QToolButton* ToolButton9 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button4 = nullptr;
    QLabel* Label6 = nullptr;
    QSpinBox* A = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPlainTextEdit* RichEdit1 = nullptr;
    QPlainTextEdit* R = nullptr;
    QStatusBar* StatusBar = nullptr;
    QFrame* StatusPanel = nullptr; // the status bar's one sunken panel

    // Commands.
    QAction* FileOpen1 = nullptr;
    QAction* FileSave1 = nullptr;
    QAction* FileSaveAs1 = nullptr;
    QAction* FileExit1 = nullptr;
    QAction* HelpAbout1 = nullptr;
    QAction* Pomoc1 = nullptr; // "Opis"
    QAction* ColorDial = nullptr;
    QAction* Kolorymetria1 = nullptr; // "Analiza" -> "Kolorymetria"
    QAction* Histogram1 = nullptr; // "Analiza" -> "Histogram obszaru"
    QAction* Kalibracja1 = nullptr; // "Analiza" -> "Kalibracja"
    QAction* Wykres1 = nullptr; // "Analiza" -> "Wykres a*b*"

    // Handlers, by subsystem and file.
    //
    // app/Main.cpp: the window, the picture and its display, the commands that open windows.
    void FileOpen1Execute();
    // The Open command once a path is chosen: in the dialog, on the command line or by a drop.
    void OpenPicture(const QString& path);
    void FileExit1Execute();
    void HelpAbout1Execute();
    void Pomoc1Click();
    void ColorDialExecute();
    void Kolorymetria1Execute();
    void Histogram1Execute();
    void Kalibracja1Execute();
    void Wykres1Execute(); // analysis/Wykres.cpp
    void ToolButton7Click(); // the demonstration window
    void SpeedButton1Click(); // the statistics window
    void DoBitMap();
    void FormPaint();
    void FormResize();
    void FormShow();
    void FormKeyDown();
    void RichEdit1KeyDown();
    void Edit1Change();
    void RefreshMagnifier();
    void XY(int& x, int& y) const;
    probnik::Color ColourAt(int x, int y) const;
    //
    // sampling/MainSampling.cpp: a press on the surface, and the samples it takes.
    void FormMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void TakeSample(int x, int y);
    void Button1Click(); // "<--": the last sample goes
    void Button4Click(); // "Clr": every sample goes
    //
    // sampling/MainArea.cpp: area mode (press, drag, release: the marker square, then the area
    // study) and the cursor readout.
    void ToolButton9Click();
    // Area mode is on exactly while the surface shows the cross cursor.
    bool inAreaMode() const;
    void StartSelection(int x, int y);
    void FormMouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers shift, int x, int y);
    void FormMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    //
    // analysis/MainExport.cpp: the CSV export.
    void FileSave1Execute();
    void FileSaveAs1Execute();
    // A statistic as the CSV file writes it: up to 15 digits and always a decimal point.
    static QString FloatToDotStr(float value);

    // The window's own repaint: the whole surface erased with the background, then FormPaint.
    void Repaint();
    // Whether this copy runs as the program: it holds the single-instance lock, or the lock
    // could not be made at all and it runs without one. A second copy only ends.
    bool isFirstCopy() const;

    // The window size that the design's outer size w x h gives on this desktop (the design
    // counts the frame and the menu bar; the window here counts the menu bar only).
    QSize windowSizeForOuter(int w, int h) const;

signals:
    // A sample was taken or removed, or the list was emptied; Samples is already up to date.
    void samplesChanged();
    // A picture was opened; Picture and its description are already up to date.
    void pictureOpened();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool event(QEvent* event) override;

private:
    void buildDesign();
    void buildToolBar();
    void buildMenu();
    void showCanvas(); // asks Qt to show what was drawn on the canvas
    // The counter shows the sample count, and whoever follows the samples hears of the change.
    void showSampleCount();
    // The first local file of a drag, or empty text.
    static QString droppedFile(const QMimeData* data);

    // Takes the single-instance lock, or learns that another copy holds it.
    void lockInstance();

    std::unique_ptr<QLockFile> InstanceMutex;
    bool m_secondCopy = false;
    // The settings as read, bytes the window cannot show included: what the window did not
    // change goes back as it came.
    probnik::Settings m_settingsRead;
    // A picture is being read; events go on meanwhile, so a second open waits its turn and a
    // close comes once the read has stopped.
    bool m_opening = false;
    bool m_closeRequested = false;
};

extern TProbnikMain* ProbnikMain;
