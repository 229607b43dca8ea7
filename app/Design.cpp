// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/Design.h"

#include <QFrame>
#include <QLabel>
#include <QPalette>
#include <QWidget>

namespace design {

QFont font(const QString& family, int pixels, bool bold, bool italic)
{
    QFont f(family);
    f.setPixelSize(pixels);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

QFont sansSerif(int pixels, bool bold, bool italic)
{
    return font(QStringLiteral("MS Sans Serif"), pixels, bold, italic);
}

QString fromStd(const std::string& text)
{
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

void setCaption(QLabel* label, const QString& text)
{
    label->setText(text);
    label->adjustSize();
}

void setSwatch(QWidget* panel, probnik::Color colour)
{
    QPalette p = panel->palette();
    p.setColor(QPalette::Window, toQColor(colour));
    panel->setPalette(p);
}

QColor toQColor(probnik::Color colour)
{
    return { probnik::red(colour), probnik::green(colour), probnik::blue(colour) };
}

QFrame* bevel(QWidget* parent, const char* name, const QRect& geometry, int style)
{
    auto* f = new QFrame(parent);
    f->setObjectName(QString::fromLatin1(name));
    f->setFrameStyle(style);
    f->setGeometry(geometry);
    f->setAttribute(Qt::WA_TransparentForMouseEvents);
    return f;
}

QLabel* label(QWidget* parent, const char* name, QPoint at, const QString& text, const QFont& font)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setFont(font);
    l->move(at);
    l->adjustSize();
    return l;
}

QLabel* rightAlignedLabel(QWidget* parent, const char* name, const QRect& geometry,
    const QString& text, const QFont& font)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setFont(font);
    l->setAlignment(Qt::AlignRight | Qt::AlignTop);
    l->setGeometry(geometry);
    return l;
}

void showStatistics(const ResultLabels& labels, const probnik::ColourStatistics& stats)
{
    const probnik::ChannelStatistics* channels[3] = { &stats.R, &stats.G, &stats.B };
    for (int i = 0; i < 3; ++i) {
        setCaption(labels.mean[i], QString::number(channels[i]->Mean));
        setCaption(labels.deviation[i], fromStd(probnik::deviationText(channels[i]->StdDev)));
        setCaption(labels.coefficient[i], fromStd(probnik::coefficientText(channels[i]->VarCoef)));
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

    // The means stand a little to the right of the other rows, as in the designs.
    const char* const valueNames[3][3]
        = { { "LR", "LG", "LB" }, { "LRS", "LGS", "LBS" }, { "LRO", "LGO", "LBO" } };
    const int valueLeft[3][3] = { { 124, 179, 234 }, { 120, 176, 230 }, { 120, 176, 230 } };
    QLabel** const fields[3][3] = { { &controls.LR, &controls.LG, &controls.LB },
        { &controls.LRS, &controls.LGS, &controls.LBS },
        { &controls.LRO, &controls.LGO, &controls.LBO } };
    for (int row = 0; row < 3; ++row)
        for (int i = 0; i < 3; ++i)
            *fields[row][i] = label(parent, valueNames[row][i],
                QPoint(valueLeft[row][i], rowTop[row]) + o, QString(), fonts[row]);

    controls.Panel1 = bevel(
        parent, "Panel1", QRect(8, 11, 89, 20).translated(o), QFrame::Panel | QFrame::Raised);
    controls.Panel1->setAttribute(Qt::WA_TransparentForMouseEvents, false);
    controls.Panel1->setAutoFillBackground(true);
    return grid;
}

} // namespace design
