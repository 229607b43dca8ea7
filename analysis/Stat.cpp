// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/Stat.h"

#include "analysis/AreaStudy.h"
#include "analysis/Total.h"
#include "app/Design.h"
#include "app/Main.h"
#include "demo/Pokaz.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QStyle>

#include <span>

using namespace probnik;

TStatystyka* Statystyka = nullptr;

using namespace design;

namespace {

// The design's outer size is 295 x 194.
constexpr int ClientWidth = 295 - FrameWidth;
constexpr int ClientHeight = 194 - FrameHeight;

} // namespace

TStatystyka::TStatystyka(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Statystyka"));
    setWindowTitle(QStringLiteral("Statystyka"));
    buildDesign();
}

TStatystyka::~TStatystyka()
{
    if (Statystyka == this)
        Statystyka = nullptr;
}

void TStatystyka::buildDesign()
{
    setFont(sansSerif(11));
    setFixedSize(ClientWidth, ClientHeight);

    const ResultGrid grid = buildResultGrid(this, QPoint(0, 0),
        { { "Label1", "Label3", "Label4" }, { "Label2", "Label5", "Label6" },
            { "Bevel2", "Bevel3", "Bevel1" } },
        *this);
    Label1 = grid.columnHeads[0];
    Label3 = grid.columnHeads[1];
    Label4 = grid.columnHeads[2];
    Label2 = grid.rowHeads[0];
    Label5 = grid.rowHeads[1];
    Label6 = grid.rowHeads[2];
    Bevel2 = grid.frames[0];
    Bevel3 = grid.frames[1];
    Bevel1 = grid.frames[2];
    setSwatch(Panel1, Black);

    BitBtn1 = new QPushButton(QStringLiteral("Zamknij"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    BitBtn1->setGeometry((ClientWidth - 75) / 2, 127, 75, 25);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, [this] {
        BitBtn1Click();
        accept();
    });
}

void TStatystyka::Calculate()
{
    ColourStatistics s;
    if (ProbnikMain) {
        const SampleStore& samples = ProbnikMain->Samples;
        s = sampleStatistics(
            std::span(samples.SampleColors.data(), std::size_t(samples.SampleCount)));
    }
    setStatistics(s);
}

void TStatystyka::FormShow()
{
    Calculate();
    showStatistics(resultLabels(), statistics());
}

void TStatystyka::BitBtn1Click()
{
    // The demonstration window takes the colour as if it had been typed in.
    if (Shower)
        Shower->TypeDrawingColour(meanColour());
    if (!ProbnikMain || !Global)
        return;
    // Whatever is typed in "Autozakres" counts, even if its edit still has the focus.
    ProbnikMain->A->interpretText();
    const int k = ProbnikMain->A->value();
    if (k == 0)
        return;
    // The latest results, not new ones. A channel whose band cannot be worked out keeps its
    // bounds; the others are still set.
    const struct {
        int mean;
        float stdDev;
        QSpinBox* min;
        QSpinBox* max;
    } channels[] = {
        { MeanR, StdDevR, Global->Rmin, Global->Rmax },
        { MeanG, StdDevG, Global->Gmin, Global->Gmax },
        { MeanB, StdDevB, Global->Bmin, Global->Bmax },
    };
    for (const auto& c : channels)
        if (const auto band = autoRange(c.mean, c.stdDev, k)) {
            c.min->setValue(band->Min);
            c.max->setValue(band->Max);
        }
}

void TStatystyka::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}
