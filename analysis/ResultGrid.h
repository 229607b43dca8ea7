// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "analysis/ChannelStats.h"

#include <QFont>
#include <QLabel>
#include <QPoint>

class QFrame;
class QWidget;

namespace design {

// A value of the results grid. It has its place in the design, from its left edge to the next
// column or the frame; a text that would run past the place's end is set in a smaller size of
// the design's font, so that even the widest value (a coefficient of variation of 2256.10 %)
// stays within its frame while every usual value keeps the design's look.
class ValueLabel : public QLabel {
public:
    ValueLabel(QWidget* parent, const char* name, const QRect& place, const QFont& font);
    void setValue(const QString& text);

private:
    QFont m_designFont;
};

// The results grid that the statistics window and the area study share: the means as plain
// numbers, the deviations as "%3.3f", the coefficients as "%3.2f %" (red, green, blue in each
// row), and the swatch of the mean colour.
struct ResultLabels {
    ValueLabel* mean[3];
    ValueLabel* deviation[3];
    ValueLabel* coefficient[3];
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
    ValueLabel* LR = nullptr; // the means
    ValueLabel* LG = nullptr;
    ValueLabel* LB = nullptr;
    ValueLabel* LRS = nullptr; // the standard deviations
    ValueLabel* LGS = nullptr;
    ValueLabel* LBS = nullptr;
    ValueLabel* LRO = nullptr; // the coefficients of variation
    ValueLabel* LGO = nullptr;
    ValueLabel* LBO = nullptr;
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
