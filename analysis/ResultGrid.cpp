// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/ResultGrid.h"

#include "app/Design.h"
#include "common/NumberText.h"

#include <QFontMetrics>
#include <QFrame>

namespace design {

namespace {

// The smallest size a value is set in; below it digits blur together.
constexpr int SmallestPixels = 6;
// The room kept between a value and the next column.
constexpr int ColumnGap = 2;

} // namespace

ValueLabel::ValueLabel(QWidget* parent, const char* name, const QRect& place, const QFont& font)
    : QLabel(parent)
    , m_designFont(font)
{
    setObjectName(QString::fromLatin1(name));
    setFont(font);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setGeometry(place.x(), place.y(), place.width(), QFontMetrics(font).height());
}

void ValueLabel::setValue(const QString& text)
{
    QFont f = m_designFont;
    while (f.pixelSize() > SmallestPixels && QFontMetrics(f).horizontalAdvance(text) > width())
        f.setPixelSize(f.pixelSize() - 1);
    setFont(f);
    setText(text);
}

void showStatistics(const ResultLabels& labels, const probnik::ColourStatistics& stats)
{
    const probnik::ChannelStatistics* channels[3] = { &stats.R, &stats.G, &stats.B };
    for (int i = 0; i < 3; ++i) {
        labels.mean[i]->setValue(QString::number(channels[i]->Mean));
        labels.deviation[i]->setValue(fromStd(probnik::deviationText(channels[i]->StdDev)));
        labels.coefficient[i]->setValue(fromStd(probnik::coefficientText(channels[i]->VarCoef)));
    }
    setSwatch(labels.swatch, probnik::rgb(stats.R.Mean, stats.G.Mean, stats.B.Mean));
}

ResultGrid buildResultGrid(
    QWidget* parent, QPoint offset, const ResultGridNames& names, ResultGridControls& controls)
{
    const QPoint o = offset;
    ResultGrid grid {};
    // The frames first, so that they lie under the labels they frame.
    grid.frames[0] = bevel(parent, names.frames[0], QRect(104, 6, 169, 33).translated(o));
    grid.frames[1] = bevel(parent, names.frames[1], QRect(4, 37, 102, 81).translated(o));
    grid.frames[2] = bevel(parent, names.frames[2], QRect(104, 37, 169, 81).translated(o));

    const QFont head = sansSerif(16, true);
    const QFont fonts[3] = { sansSerif(11, true), sansSerif(11, false, true), sansSerif(11) };
    const QString channels[3] = { QStringLiteral("R"), QStringLiteral("G"), QStringLiteral("B") };
    const int headLeft[3] = { 128, 184, 239 };
    for (int i = 0; i < 3; ++i)
        grid.columnHeads[i]
            = label(parent, names.columnHeads[i], QPoint(headLeft[i], 13) + o, channels[i], head);
    const QString rowTexts[3] = { QStringLiteral("Średnia"), QStringLiteral("Odchylenie stand."),
        QStringLiteral("Wsp. zmienn.") };
    const int rowTop[3] = { 45, 69, 93 };
    for (int row = 0; row < 3; ++row)
        grid.rowHeads[row] = rightAlignedLabel(parent, names.rowHeads[row],
            QRect(6, rowTop[row], 93, 13).translated(o), rowTexts[row], fonts[row]);

    // The means stand a little to the right of the other rows, as in the designs. Each value's
    // place ends before the next column's, the last one's inside the frame's line.
    const char* const valueNames[3][3]
        = { { "LR", "LG", "LB" }, { "LRS", "LGS", "LBS" }, { "LRO", "LGO", "LBO" } };
    const int valueLeft[3][3] = { { 124, 179, 234 }, { 120, 176, 230 }, { 120, 176, 230 } };
    const QRect inside = grid.frames[2]->geometry()
        - QMargins(grid.frames[2]->frameWidth(), 0, grid.frames[2]->frameWidth(), 0);
    ValueLabel** const fields[3][3] = { { &controls.LR, &controls.LG, &controls.LB },
        { &controls.LRS, &controls.LGS, &controls.LBS },
        { &controls.LRO, &controls.LGO, &controls.LBO } };
    for (int row = 0; row < 3; ++row)
        for (int i = 0; i < 3; ++i) {
            const int left = valueLeft[row][i] + o.x();
            const int end = i < 2 ? valueLeft[row][i + 1] + o.x() - ColumnGap : inside.right() + 1;
            *fields[row][i] = new ValueLabel(parent, valueNames[row][i],
                QRect(left, rowTop[row] + o.y(), end - left, 1), fonts[row]);
        }

    controls.Panel1 = bevel(
        parent, "Panel1", QRect(8, 11, 89, 20).translated(o), QFrame::Panel | QFrame::Raised);
    controls.Panel1->setAttribute(Qt::WA_TransparentForMouseEvents, false);
    controls.Panel1->setAutoFillBackground(true);
    return grid;
}

} // namespace design
