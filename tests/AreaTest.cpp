// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The cursor readout and area mode of the main window, driven with the mouse.
#include "tests/MainWindowFixture.h"

#include "analysis/Total.h"
#include "app/Surface.h"

#include <QLabel>
#include <QMouseEvent>

using namespace probnik;

namespace {

const QString Picture = QStringLiteral(PROBNIK_TEST_DATA "/bmpsuite/g/rgb24.bmp");

class AreaTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        open(Picture);
        study = std::make_unique<TGlobal>();
        Global = study.get();
    }
    void TearDown() override
    {
        Global = nullptr;
        study.reset();
        MainWindowTest::TearDown();
    }
    void move(int x, int y, Qt::MouseButtons buttons = Qt::NoButton)
    {
        QMouseEvent event(QEvent::MouseMove, QPointF(x, y),
            window->Client->mapToGlobal(QPointF(x, y)), Qt::NoButton, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(window->Client, &event);
    }
    void press(int x, int y)
    {
        QTest::mousePress(window->Client, Qt::LeftButton, {}, QPoint(x, y));
    }
    void release(int x, int y)
    {
        QTest::mouseRelease(window->Client, Qt::LeftButton, {}, QPoint(x, y));
    }
    QString readout(int x, int y, Color c) const
    {
        return QStringLiteral("X:%1  Y:%2      R:%3 G:%4 B:%5")
            .arg(x)
            .arg(y)
            .arg(red(c))
            .arg(green(c))
            .arg(blue(c));
    }

    std::unique_ptr<TGlobal> study;
};

} // namespace

TEST_F(AreaTest, TheReadoutShowsPositionAndColourUnderTheCursor)
{
    move(120, 85);
    EXPECT_EQ(window->Label3->text(), readout(120, 85, window->ScreenCopy.pixel(120, 85)));
    EXPECT_EQ(window->Label3->text().left(16), QStringLiteral("X:120  Y:85     "));
    move(500, 300);
    EXPECT_EQ(window->Label3->text(), readout(500, 300, WindowGrey));
    // Over the magnifier: its own window point and what is shown there.
    QTest::mouseClick(window->Client, Qt::RightButton, {}, QPoint(100, 100));
    move(660, 410);
    EXPECT_EQ(window->Label3->text(), readout(660, 410, window->canvas().pixel(660, 410)));
    move(0, 0);
    EXPECT_EQ(window->Label3->text(), QString());
}

TEST_F(AreaTest, AClickInAreaModeStudiesTheWholePictureAndEndsAreaMode)
{
    window->ToolButton9->click();
    EXPECT_TRUE(window->inAreaMode());
    bool hadSelection = true;
    dialogs->onModal = [&](QDialog*) {
        hadSelection = window->Selection != nullptr;
        return int(QDialog::Rejected);
    };
    press(100, 100);
    move(102, 102, Qt::LeftButton);
    release(102, 102);
    EXPECT_EQ(dialogs->modals, QList<QDialog*> { study.get() });
    EXPECT_FALSE(hadSelection);
    EXPECT_FALSE(window->inAreaMode());
    EXPECT_FALSE(window->ToolButton9->isChecked());
    EXPECT_EQ(window->Selection, nullptr);
    // No sample was taken by the press.
    EXPECT_EQ(window->Samples.SampleCount, 0);
}

TEST_F(AreaTest, ADragOutlinesTheSelectionUntilTheStudyCloses)
{
    const Canvas before = window->canvas();
    window->ToolButton9->click();
    Rect seen;
    Canvas during;
    dialogs->onModal = [&](QDialog*) {
        const TSqr& s = *window->Selection;
        seen = { s.Left, s.Top, s.Right, s.Bottom };
        during = window->canvas();
        return int(QDialog::Accepted);
    };
    press(150, 120);
    move(100, 110, Qt::LeftButton); // left of the anchor first
    move(250, 200, Qt::LeftButton);
    move(251, 201, Qt::LeftButton); // too small a step to redraw
    release(251, 201);
    EXPECT_EQ(seen, (Rect { 150, 120, 250, 200 }));
    // The outline was on the surface while the study was open: on the edges, not inside.
    EXPECT_NE(during.pixel(150, 160), before.pixel(150, 160));
    EXPECT_NE(during.pixel(200, 200), before.pixel(200, 200));
    EXPECT_EQ(during.pixel(200, 160), before.pixel(200, 160));
    // ... and is gone afterwards, every pixel as it was.
    for (int y = 0; y < before.height(); ++y)
        for (int x = 0; x < before.width(); ++x)
            ASSERT_EQ(window->canvas().pixel(x, y), before.pixel(x, y)) << x << "," << y;
    EXPECT_FALSE(window->inAreaMode());
}

TEST_F(AreaTest, ARepaintInAreaModePutsTheOutlineBack)
{
    window->ToolButton9->click();
    press(150, 120);
    move(250, 200, Qt::LeftButton);
    const Canvas outlined = window->canvas();
    window->Repaint();
    EXPECT_EQ(window->canvas().pixel(150, 160), outlined.pixel(150, 160));
    EXPECT_EQ(window->canvas().pixel(250, 199), outlined.pixel(250, 199));
    release(250, 200);
}

TEST_F(AreaTest, ReleasingTheAreaButtonLeavesAreaModeWithoutAStudy)
{
    window->ToolButton9->click();
    window->ToolButton9->click();
    EXPECT_FALSE(window->inAreaMode());
    press(100, 100);
    release(100, 100);
    EXPECT_TRUE(dialogs->modals.isEmpty());
    EXPECT_EQ(window->Samples.SampleCount, 1); // an ordinary sample instead
}
