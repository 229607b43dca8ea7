// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "analysis/ChannelStats.h"
#include "common/Color.h"

#include <QColor>
#include <QFont>
#include <QFrame>
#include <QPoint>
#include <QRect>
#include <QString>

#include <string>

class QLabel;
class QWidget;

// Turns the window designs' fonts, captions and colours into Qt's, the same way in every window.
namespace design {

// A font by family and size in pixels. The classic Windows families are mapped to free ones of
// the same widths by the application object.
QFont font(const QString& family, int pixels, bool bold = false, bool italic = false);
// The designs' dialog font, "MS Sans Serif".
QFont sansSerif(int pixels, bool bold = false, bool italic = false);
// Text made by the core (ASCII digits and signs).
QString fromStd(const std::string& text);
// A label that grows with its text.
void setCaption(QLabel* label, const QString& text);
// A plain panel filled with one colour.
void setSwatch(QWidget* panel, probnik::Color colour);
// The core's packed colour as Qt's.
QColor toQColor(probnik::Color colour);

// The frame the window designs allow around a client area: 4 pixels a side and a 26-pixel
// caption. A design's outer size less these is its client size.
constexpr int FrameWidth = 8;
constexpr int FrameHeight = 34;

// A drawn frame of a design: it takes no clicks, and made before the controls it frames it
// lies under them.
QFrame* bevel(QWidget* parent, const char* name, const QRect& geometry,
    int style = QFrame::Box | QFrame::Sunken);
// A label that grows with its text, its top-left corner at `at`.
QLabel* label(QWidget* parent, const char* name, QPoint at, const QString& text, const QFont& font);
// A label of fixed geometry whose text keeps to its right edge.
QLabel* rightAlignedLabel(QWidget* parent, const char* name, const QRect& geometry,
    const QString& text, const QFont& font);

// The results grid that the statistics window and the area study share: the means as plain
// numbers, the deviations as "%3.3f", the coefficients as "%3.2f %" (red, green, blue in each
// row), and the swatch of the mean colour.
struct ResultLabels {
    QLabel* mean[3];
    QLabel* deviation[3];
    QLabel* coefficient[3];
    QWidget* swatch;
};
void showStatistics(const ResultLabels& labels, const probnik::ColourStatistics& stats);

// The grid itself, as the statistics window lays it out; the area study has it `offset` from
// there. The value labels are named as in both designs (LR ... LBO, Panel1); the heads and the
// frames have the names each design gives them.
struct ResultGridNames {
    const char* columnHeads[3]; // R, G, B
    const char* rowHeads[3]; // "Średnia", "Odchylenie stand.", "Wsp. zmienn."
    const char* frames[3]; // around the column heads, the row heads, the values
};
// The grid's value labels and swatch as fields of the windows that show it.
struct ResultGridControls {
    QLabel* LR = nullptr; // the means
    QLabel* LG = nullptr;
    QLabel* LB = nullptr;
    QLabel* LRS = nullptr; // the standard deviations
    QLabel* LGS = nullptr;
    QLabel* LBS = nullptr;
    QLabel* LRO = nullptr; // the coefficients of variation
    QLabel* LGO = nullptr;
    QLabel* LBO = nullptr;
    QFrame* Panel1 = nullptr; // the mean colour

    ResultLabels resultLabels() const
    {
        return { { LR, LG, LB }, { LRS, LGS, LBS }, { LRO, LGO, LBO }, Panel1 };
    }
};
struct ResultGrid {
    QLabel* columnHeads[3];
    QLabel* rowHeads[3];
    QFrame* frames[3];
};
ResultGrid buildResultGrid(
    QWidget* parent, QPoint offset, const ResultGridNames& names, ResultGridControls& controls);

} // namespace design
