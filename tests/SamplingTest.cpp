// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Point samples taken with the mouse, as they appear in the sample list and the counter.
#include "tests/MainWindowFixture.h"

#include "app/Surface.h"
#include "sampling/SampleStore.h"

#include <QLabel>
#include <QPlainTextEdit>

using namespace probnik;

namespace {

const QString Picture = QStringLiteral(PROBNIK_TEST_DATA "/bmpsuite/g/rgb24.bmp");

class SamplingTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        open(Picture);
    }
    void click(int x, int y, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mouseClick(window->Client, button, {}, QPoint(x, y));
    }
    QStringList rows() const
    {
        const QString text = window->RichEdit1->toPlainText();
        return text.isEmpty() ? QStringList() : text.split(u'\n');
    }
    QString rowFor(int n, int x, int y) const
    {
        const Color c = window->ScreenCopy.pixel(x, y);
        return QString::fromStdString(SampleStore::row(n, { red(c), green(c), blue(c) }));
    }
};

} // namespace

TEST_F(SamplingTest, LeftClicksOnThePictureAddRows)
{
    EXPECT_EQ(window->Label1->text(), QStringLiteral("   0"));
    click(100, 100);
    click(300, 200);
    click(100, 100); // the same displayed pixel again
    click(500, 300); // beside the picture
    click(150, 120, Qt::MiddleButton);
    EXPECT_EQ(rows(), (QStringList { rowFor(1, 100, 100), rowFor(2, 300, 200) }));
    EXPECT_EQ(window->Label1->text(), QStringLiteral("   2"));
    EXPECT_EQ(window->Samples.SampleCount, 2);
    EXPECT_EQ(window->Samples.SamplePoints[1], (Point { 300, 200 }));
    EXPECT_TRUE(rows().value(0).startsWith(QStringLiteral("1.  R:")));
}

TEST_F(SamplingTest, TheBoxEdgeIsSampledFromTheSurface)
{
    const Rect box = window->DisplayBox;
    click(box.Left, 100);
    const Color c = window->canvas().pixel(box.Left, 100); // the grid line shown there
    EXPECT_EQ(rows(),
        QStringList { QString::fromStdString(SampleStore::row(1, { red(c), green(c), blue(c) })) });
    EXPECT_NE(c, window->ScreenCopy.pixel(box.Left, 100));
}

TEST_F(SamplingTest, AClickInTheMagnifierSamplesThePointItShows)
{
    click(100, 200, Qt::RightButton);
    click(601, 351); // shows window point (70, 170)
    EXPECT_EQ(window->Samples.SamplePoints[0], (Point { 70, 170 }));
    EXPECT_EQ(rows(), QStringList { rowFor(1, 70, 170) });
    click(70, 170); // the same point straight on the picture
    EXPECT_EQ(window->Samples.SampleCount, 1);
}

TEST_F(SamplingTest, RemovingTheLastRowAndAllRows)
{
    window->Button1->click(); // empty list: nothing
    EXPECT_EQ(window->Label1->text(), QStringLiteral("   0"));
    for (int x = 100; x < 104; ++x)
        click(x, 100);
    window->Button1->click();
    EXPECT_EQ(
        rows(), (QStringList { rowFor(1, 100, 100), rowFor(2, 101, 100), rowFor(3, 102, 100) }));
    EXPECT_EQ(window->Label1->text(), QStringLiteral("   3"));
    click(103, 100); // its point is free again
    EXPECT_EQ(rows().value(3), rowFor(4, 103, 100));

    window->Button4->click();
    EXPECT_EQ(rows(), QStringList());
    EXPECT_EQ(window->Label1->text(), QStringLiteral("   0"));
    click(100, 100);
    EXPECT_EQ(rows(), QStringList { rowFor(1, 100, 100) });
}

TEST_F(SamplingTest, TheListHoldsAThousandSamples)
{
    for (int i = 0; i < 1001; ++i)
        window->TakeSample(20 + i % 380, 60 + i / 380);
    EXPECT_EQ(window->Samples.SampleCount, 1000);
    EXPECT_EQ(rows().size(), 1000);
    EXPECT_EQ(rows().last(), rowFor(1000, 20 + 999 % 380, 60 + 999 / 380));
    window->Button1->click();
    window->TakeSample(20 + 1000 % 380, 60 + 1000 / 380);
    EXPECT_EQ(rows().last(), rowFor(1000, 20 + 1000 % 380, 60 + 1000 / 380));
    EXPECT_EQ(window->Label1->text(), QStringLiteral("   1000"));
}

TEST_F(SamplingTest, OpeningAPictureEmptiesTheList)
{
    click(100, 100);
    click(120, 100);
    open(Picture);
    EXPECT_EQ(rows(), QStringList());
    EXPECT_EQ(window->Samples.SampleCount, 0);
    EXPECT_EQ(window->Label1->text(), QStringLiteral("   0"));
    // A key in the list repaints but leaves the list alone.
    click(100, 100);
    QTest::keyClick(window->RichEdit1, Qt::Key_End);
    EXPECT_EQ(rows(), QStringList { rowFor(1, 100, 100) });
}
