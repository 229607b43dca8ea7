// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "analysis/AreaStudy.h"
#include "analysis/HistogramBins.h"
#include "common/Geometry.h"

#include <QWidget>

#include <array>
#include <optional>

class QAction;
class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QChartView;

// The histograms of the area: of the rectangle of the last area study (the whole box before
// any), one chart each for R, G and B with the study's six bounds as lines that the mouse
// drags, or for L*, C* and h through the colorimetry's profile and white. Modeless and created
// once; it follows the studies, the bounds as they are typed, the pictures opened and the
// colorimetry's colour model, and reads the pixels again only while shown.
class THistogram : public QWidget {
    Q_OBJECT
public:
    explicit THistogram(QWidget* parent = nullptr);
    ~THistogram() override;

    QLabel* AreaText = nullptr; // which rectangle, which pixels
    QRadioButton* RgbButton = nullptr; // "&RGB"
    QRadioButton* LchButton = nullptr; // "L*, C*, &h"
    QCheckBox* LogScale = nullptr; // "Skala &logarytmiczna"
    QPushButton* SaveButton = nullptr; // "&Zapisz obraz…"
    QAction* SaveAction = nullptr; // Ctrl+S
    std::array<QChartView*, 3> Charts {}; // R, G, B or L*, C*, h
    QLabel* ClippedText = nullptr; // the share of clipped pixels
    QWidget* Drawing = nullptr; // what "Zapisz obraz…" saves: the texts and the charts

    // The rectangle shown, in window points.
    probnik::Rect area() const;
    // Whether the file's own pixels are read rather than the screen's.
    bool measuresFile() const;

    // Handlers.
    void studied(const probnik::AreaStudy& study); // takes the study's rectangle
    void pictureOpened(); // back to the whole box
    void modelChanged(); // the colorimetry's profile or white: L*, C*, h again
    void sourceChanged(); // the screen's pixels or the file's: everything again
    void refresh(); // reads the pixels again and draws them
    void redraw(); // the same bins drawn again
    void drawBounds(); // the bound lines and the filled parts
    void ZapiszObrazClick();
    // A bound line dragged to x on the chart of channel (0 R, 1 G, 2 B): its edit in the area
    // study gets the value as if typed.
    void dragBound(int channel, int which, double x);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildDesign();
    std::array<QSpinBox*, 6> boundEdits() const; // Rmin, Rmax, Gmin, Gmax, Bmin, Bmax
    void readScreen(bool lch);
    bool readFile(bool lch);
    void showTexts();

    std::optional<probnik::Rect> m_studied;
    probnik::histogram::RgbHistogram m_rgb;
    probnik::histogram::LchHistogram m_lch;
    bool m_lchRead = false;
    int m_depth = 8;
    bool m_stale = true;
    bool m_placed = false;
};

extern THistogram* Histogram;
