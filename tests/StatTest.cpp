// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The sample statistics window: what it shows of the sample list and what "Zamknij" hands on.
#include "tests/MainWindowFixture.h"

#include "analysis/Stat.h"
#include "analysis/Total.h"
#include "demo/Pokaz.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

#include <algorithm>
#include <memory>
#include <vector>

using namespace probnik;

namespace {

class StatTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        ProbnikMain = window.get();
        shower = std::make_unique<TShower>();
        Shower = shower.get();
        study = std::make_unique<TGlobal>();
        Global = study.get();
        stat = std::make_unique<TStatystyka>();
        Statystyka = stat.get();
    }
    void TearDown() override
    {
        stat.reset();
        study.reset();
        shower.reset();
        EXPECT_EQ(Statystyka, nullptr);
        ProbnikMain = nullptr;
        MainWindowTest::TearDown();
    }

    void take(const std::vector<SampleColor>& colors)
    {
        for (const SampleColor& c : colors)
            window->Samples.add({ 20 + window->Samples.SampleCount, 60 }, rgb(c.R, c.G, c.B));
    }
    // Shows the window as the tool button does, which fills it, and closes it again.
    void showAndHide()
    {
        stat->show();
        stat->hide();
    }
    QStringList grid() const
    {
        QStringList texts;
        for (const QLabel* l : { stat->LR, stat->LG, stat->LB, stat->LRS, stat->LGS, stat->LBS,
                 stat->LRO, stat->LGO, stat->LBO })
            texts << l->text();
        return texts;
    }
    QColor swatch() const { return stat->Panel1->palette().color(QPalette::Window); }
    QStringList demonstrated() const
    {
        return { shower->REdit->text(), shower->GEdit->text(), shower->BEdit->text() };
    }
    std::vector<int> bounds() const
    {
        return { study->Rmin->value(), study->Rmax->value(), study->Gmin->value(),
            study->Gmax->value(), study->Bmin->value(), study->Bmax->value() };
    }

    std::unique_ptr<TShower> shower;
    std::unique_ptr<TGlobal> study;
    std::unique_ptr<TStatystyka> stat;
};

} // namespace

TEST_F(StatTest, ShowingTheWindowFillsTheGridFromTheSamples)
{
    EXPECT_EQ(stat->windowTitle(), QStringLiteral("Statystyka"));
    EXPECT_EQ(stat->BitBtn1->text(), QStringLiteral("Zamknij"));
    EXPECT_TRUE(stat->BitBtn1->isDefault());
    EXPECT_EQ(stat->Panel1->size(), QSize(89, 20));
    EXPECT_TRUE(stat->LR->font().bold());
    EXPECT_TRUE(stat->LRS->font().italic());

    take({ { 200, 1, 10 }, { 201, 2, 20 }, { 203, 1, 30 }, { 198, 2, 40 } });
    showAndHide();
    EXPECT_EQ(grid(),
        (QStringList {
            "200", "1", "25", "2.160", "0.816", "12.910", "1.08 %", "81.65 %", "51.64 %" }));
    EXPECT_EQ(swatch(), QColor(200, 1, 25));
    EXPECT_EQ(stat->MeanB, 25);
    EXPECT_EQ(stat->StdDevR, 2.16024684906006f);
    EXPECT_EQ(stat->VarCoefR, 1.08012342453003f);

    // Every showing computes anew: one sample left gives zeros and a black swatch.
    window->Samples.SampleCount = 1;
    showAndHide();
    EXPECT_EQ(grid(),
        (QStringList { "0", "0", "0", "0.000", "0.000", "0.000", "0.00 %", "0.00 %", "0.00 %" }));
    EXPECT_EQ(swatch(), QColor(0, 0, 0));
}

TEST_F(StatTest, ZamknijHandsTheMeansToTheDemonstrationAndABandToTheAreaStudy)
{
    // Red: mean 10, deviation 7.55; green: deviation below 1; blue: the band reaches 255.
    take({ { 2, 100, 250 }, { 11, 100, 240 }, { 17, 101, 255 } });
    struct Case {
        int k;
        std::vector<int> bounds;
    };
    const Case cases[] = {
        { 0, { 5, 250, 6, 249, 7, 248 } }, // untouched
        { 2, { 0, 24, 100, 100, 234, 255 } },
        { 100, { 0, 255, 100, 100, 0, 255 } },
    };
    for (const Case& c : cases) {
        const std::vector<int> before { 5, 250, 6, 249, 7, 248 };
        QSpinBox* const spins[]
            = { study->Rmin, study->Rmax, study->Gmin, study->Gmax, study->Bmin, study->Bmax };
        for (std::size_t i = 0; i < before.size(); ++i)
            spins[i]->setValue(before[i]);
        shower->REdit->setText(QStringLiteral("255"));
        window->A->setValue(c.k);
        showAndHide();
        stat->BitBtn1->click();
        EXPECT_EQ(demonstrated(), (QStringList { "10", "100", "248" })) << c.k;
        EXPECT_EQ(shower->DrawingRed, 10);
        EXPECT_EQ(bounds(), c.bounds) << c.k;
        EXPECT_EQ(stat->result(), QDialog::Accepted);
    }
    // The area study keeps the band when it is shown.
    study->show();
    study->hide();
    EXPECT_EQ(bounds(), cases[2].bounds);
}

TEST_F(StatTest, FewerThanTwoSamplesHandOnZeros)
{
    take({ { 90, 91, 92 } });
    window->A->setValue(3);
    showAndHide();
    stat->BitBtn1->click();
    EXPECT_EQ(demonstrated(), (QStringList { "0", "0", "0" }));
    EXPECT_EQ(bounds(), (std::vector { 0, 0, 0, 0, 0, 0 }));
}

TEST_F(StatTest, ClosingWithoutZamknijHandsNothingOn)
{
    take({ { 2, 100, 250 }, { 11, 100, 240 } });
    window->A->setValue(2);
    stat->show();
    stat->close();
    EXPECT_FALSE(stat->isVisible());
    EXPECT_EQ(demonstrated(), (QStringList { "255", "255", "255" }));
    EXPECT_EQ(bounds(), (std::vector { 0, 255, 0, 255, 0, 255 }));
}

TEST_F(StatTest, TypedAutozakresIsBroughtIntoRangeAndNoNumberTransfersNoBand)
{
    // Red: mean 10, deviation 7.55; green: deviation below 1; blue: the band reaches 255.
    take({ { 2, 100, 250 }, { 11, 100, 240 }, { 17, 101, 255 } });
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    const std::vector<int> before { 5, 250, 6, 249, 7, 248 };
    // "Autozakres" is typed over a previous 2 and then left by Tab, or used by "Zamknij"
    // while it still has the focus.
    struct Case {
        const char* typed;
        bool leave;
        const char* shown;
        std::vector<int> bounds;
    };
    const Case cases[] = {
        { "150", true, "100", { 0, 255, 100, 100, 0, 255 } }, // not 15
        { "150", false, "100", { 0, 255, 100, 100, 0, 255 } },
        { "", true, "0", before }, // no band, not the previous 2
        { "", false, "0", before },
        { "x", false, "0", before },
        { "1", false, "1", { 3, 17, 100, 100, 241, 255 } },
    };
    QSpinBox* const spins[]
        = { study->Rmin, study->Rmax, study->Gmin, study->Gmax, study->Bmin, study->Bmax };
    for (const Case& c : cases) {
        for (std::size_t i = 0; i < before.size(); ++i)
            spins[i]->setValue(before[i]);
        window->A->setValue(2);
        window->A->setFocus();
        window->A->selectAll();
        QTest::keyClick(window->A, Qt::Key_Delete);
        QTest::keyClicks(window->A, QString::fromLatin1(c.typed));
        if (c.leave) {
            QTest::keyClick(window->A, Qt::Key_Tab);
            EXPECT_FALSE(window->A->hasFocus()) << c.typed;
            EXPECT_EQ(window->A->text().toStdString(), c.shown) << c.typed;
        }
        showAndHide();
        stat->BitBtn1->click();
        EXPECT_EQ(window->A->text().toStdString(), c.shown) << c.typed;
        EXPECT_EQ(bounds(), c.bounds) << c.typed << " " << c.leave;
    }
}

// The widest values the grids of both windows can be given: the mean 255, the deviation of
// 0 and 255, and the largest coefficient of variation of values 0..255, found over every
// sample count and the largest area (the whole box): one channel at 1 as its truncated mean,
// with as much of its sum as it can hold in 255s. Every value stays inside its frame, clear
// of the next column; a usual value keeps the design's font.
TEST_F(StatTest, EveryValueHoldsItsWidestTextInsideItsFrame)
{
    ChannelStatistics widest = channelStatistics(std::vector { 0, 255 });
    widest.Mean = 255;
    for (int n = 2; n <= SampleStore::MaxSamples + 1; ++n) {
        const int count = n <= SampleStore::MaxSamples ? n : 400 * 400;
        std::vector<int> values(std::size_t(count), 0);
        const int sum = 2 * count - 1;
        std::fill_n(values.begin(), sum / 255, 255);
        values[std::size_t(sum / 255)] = sum % 255;
        widest.VarCoef = std::max(widest.VarCoef, channelStatistics(values).VarCoef);
    }
    EXPECT_GT(widest.VarCoef, 2000); // thousands of percent: four digits before the point

    const struct {
        design::ResultLabels labels;
        QFrame* frame;
    } grids[]
        = { { stat->resultLabels(), stat->Bevel1 }, { study->resultLabels(), study->Bevel4 } };
    for (const auto& grid : grids) {
        design::showStatistics(grid.labels, { widest, widest, widest });
        const QRect inside = grid.frame->geometry()
            - QMargins(grid.frame->frameWidth(), grid.frame->frameWidth(), grid.frame->frameWidth(),
                grid.frame->frameWidth());
        for (const auto& row : { grid.labels.mean, grid.labels.deviation, grid.labels.coefficient })
            for (int i = 0; i < 3; ++i) {
                const QLabel* l = row[i];
                const int textWidth = l->fontMetrics().horizontalAdvance(l->text());
                const QRect text(l->geometry().topLeft(), QSize(textWidth, l->height()));
                EXPECT_TRUE(inside.contains(text)) << l->objectName().toStdString() << " "
                                                   << l->text().toStdString() << " " << textWidth;
                if (i < 2) {
                    EXPECT_LT(text.right(), row[i + 1]->x()) << l->objectName().toStdString();
                }
            }
        design::showStatistics(grid.labels, { { 1, 1, 7.25f }, {}, {} });
        EXPECT_EQ(grid.labels.coefficient[0]->font().pixelSize(), 11);
    }
    // The area study's count, of the whole box.
    study->Label6->setText(QStringLiteral("Punktów: %1").arg(400 * 400));
    EXPECT_LE(study->Label6->fontMetrics().horizontalAdvance(study->Label6->text()),
        study->Label6->width());
    EXPECT_TRUE(study->Bevel1->geometry().contains(study->Label6->geometry()));
}
