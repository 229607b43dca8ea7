// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The area study dialog over the main window's picture.
#include "tests/MainWindowFixture.h"

#include "analysis/AreaStudy.h"
#include "analysis/Total.h"
#include "app/Surface.h"
#include "common/NumberText.h"
#include "demo/Pokaz.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>

#include <memory>
#include <vector>

using namespace probnik;

namespace {

const QString Picture = QStringLiteral(PROBNIK_TEST_DATA "/bmpsuite/g/rgb24.bmp");
const QString NoMatch
    = QStringLiteral("Probnik: Nie znaleziono ani jednego punktu spełniającego wybrane warunki!");

class TotalTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        open(Picture);
        ProbnikMain = window.get();
        shower = std::make_unique<TShower>();
        Shower = shower.get();
        study = std::make_unique<TGlobal>();
        Global = study.get();
    }
    void TearDown() override
    {
        window->Selection.reset();
        study.reset();
        shower.reset();
        EXPECT_EQ(Global, nullptr);
        ProbnikMain = nullptr;
        MainWindowTest::TearDown();
    }

    void setBounds(const ChannelBounds& b)
    {
        study->Rmin->setValue(b.Rmin);
        study->Rmax->setValue(b.Rmax);
        study->Gmin->setValue(b.Gmin);
        study->Gmax->setValue(b.Gmax);
        study->Bmin->setValue(b.Bmin);
        study->Bmax->setValue(b.Bmax);
    }
    // A selection with these bounds; it draws nothing until the window is in area mode.
    void select(const Rect& r)
    {
        window->Selection = std::make_unique<TSqr>(&window->canvas(), r.Left, r.Top);
        window->Selection->Right = r.Right;
        window->Selection->Bottom = r.Bottom;
    }
    QStringList results() const
    {
        QStringList texts;
        for (const QLabel* l : { study->LR, study->LG, study->LB, study->LRS, study->LGS,
                 study->LBS, study->LRO, study->LGO, study->LBO })
            texts << l->text();
        return texts;
    }
    QStringList demonstrated() const
    {
        return { shower->REdit->text(), shower->GEdit->text(), shower->BEdit->text() };
    }
    // The points of r whose ScreenCopy colour is within b, in no particular order.
    std::vector<Point> matching(const Rect& r, const ChannelBounds& b) const
    {
        std::vector<Point> points;
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x)
                if (b.admits(window->ScreenCopy.pixel(x, y)))
                    points.push_back({ x, y });
        return points;
    }
    // The points where the surface differs from `before`, each of them black.
    std::vector<Point> blackened(const Canvas& before) const
    {
        std::vector<Point> points;
        const Canvas& now = window->canvas();
        for (int y = 0; y < now.height(); ++y)
            for (int x = 0; x < now.width(); ++x)
                if (now.pixel(x, y) != before.pixel(x, y)) {
                    EXPECT_EQ(now.pixel(x, y), Black) << x << "," << y;
                    points.push_back({ x, y });
                }
        return points;
    }

    std::unique_ptr<TShower> shower;
    std::unique_ptr<TGlobal> study;
};

} // namespace

TEST_F(TotalTest, DesignAndStartingState)
{
    EXPECT_EQ(study->size(), QSize(312, 293));
    EXPECT_EQ(study->Rmin->geometry(), QRect(56, 32, 49, 22));
    EXPECT_EQ(study->BitBtn1->geometry(), QRect(208, 32, 75, 25));
    EXPECT_EQ(study->Label6->geometry(), QRect(184, 88, 97, 13));
    EXPECT_EQ(study->Panel1->geometry(), QRect(28, 126, 89, 20));
    EXPECT_EQ(study->OKBtn->geometry(), QRect(79, 259, 75, 25));
    EXPECT_EQ(study->Label11->text(), QStringLiteral("Odchylenie stand."));
    EXPECT_TRUE(study->OKBtn->isDefault());
    EXPECT_EQ(results(), (QStringList { "0", "0", "0", "0", "0", "0", "--", "--", "--" }));
    EXPECT_EQ(study->Label6->text(), QString());
    EXPECT_EQ(study->Rmax->value(), 255);

    QWidget* const order[] = { study->OKBtn, study->CancelBtn, study->BitBtn1, study->Rmin,
        study->Rmax, study->Gmin, study->Gmax, study->Bmin, study->Bmax };
    for (std::size_t i = 1; i < std::size(order); ++i) {
        // Where Tab goes: the next widget in the chain that takes the focus by Tab, past the
        // inner line edit of a spin edit.
        QWidget* next = order[i - 1]->nextInFocusChain();
        while (order[i - 1]->isAncestorOf(next) || !(next->focusPolicy() & Qt::TabFocus))
            next = next->nextInFocusChain();
        EXPECT_EQ(next, order[i]) << i;
    }
    study->Rmax->setValue(300);
    EXPECT_EQ(study->Rmax->value(), 255);
}

TEST_F(TotalTest, TypedBoundsAreTakenWholeAndBroughtIntoRange)
{
    study->show();
    QApplication::setActiveWindow(study.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(study.get()));
    // Each bound is typed over its whole text and then left by Tab, or used by "Badanie"
    // while it still has the focus.
    struct Case {
        TCSpinEdit* TGlobal::*bound;
        const char* typed;
        bool leave;
        const char* shown;
    };
    const Case cases[] = {
        { &TGlobal::Rmax, "300", true, "255" }, // not 30
        { &TGlobal::Gmax, "256", true, "255" },
        { &TGlobal::Rmax, "300", false, "255" },
        { &TGlobal::Bmin, "-7", true, "0" },
        { &TGlobal::Gmin, "", true, "0" },
        { &TGlobal::Bmax, "x", false, "0" },
        { &TGlobal::Rmin, "1.5", true, "0" },
        { &TGlobal::Bmax, "99999999999", true, "255" },
    };
    for (const Case& c : cases) {
        setBounds({});
        TCSpinEdit* const bound = study.get()->*c.bound;
        bound->setFocus();
        bound->selectAll();
        QTest::keyClick(bound, Qt::Key_Delete);
        QTest::keyClicks(bound, QString::fromLatin1(c.typed));
        if (c.leave) {
            QTest::keyClick(bound, Qt::Key_Tab);
            EXPECT_FALSE(bound->hasFocus()) << c.typed;
            EXPECT_EQ(bound->text().toStdString(), c.shown) << c.typed;
        }
        study->BitBtn1->click();
        EXPECT_EQ(bound->text().toStdString(), c.shown) << c.typed;
        EXPECT_EQ(bound->value(), QString::fromLatin1(c.shown).toInt()) << c.typed;
        const ChannelBounds used { study->Rmin->value(), study->Rmax->value(), study->Gmin->value(),
            study->Gmax->value(), study->Bmin->value(), study->Bmax->value() };
        EXPECT_EQ(study->Count, int(matching(window->DisplayBox, used).size())) << c.typed;
    }
    study->hide();
}

TEST_F(TotalTest, ShowingSetsCaptionAndPlace)
{
    window->move(40, 30);
    study->show();
    EXPECT_EQ(study->windowTitle(), QStringLiteral("Badanie całego obszaru"));
    const QRect main = window->frameGeometry();
    EXPECT_EQ(study->frameGeometry().right(), main.right());
    EXPECT_EQ(study->frameGeometry().top(), main.top() + 80);
    study->hide();

    select({ 100, 80, 200, 150 });
    study->show();
    EXPECT_EQ(study->windowTitle(), QStringLiteral("Badanie zaznaczonego obszaru"));
    study->hide();
}

TEST_F(TotalTest, AStudyMarksExactlyTheMatchingPixelsAndOkHandsOnTheMeans)
{
    window->Repaint();
    const Canvas before = window->canvas();
    const Rect area { 100, 80, 200, 150 };
    const ChannelBounds bounds { 40, 200, 0, 255, 60, 255 };
    select(area);
    setBounds(bounds);
    study->BitBtn1->click();

    std::vector<Point> expected = matching(area, bounds);
    ASSERT_GT(expected.size(), 10u);
    ASSERT_LT(expected.size(), std::size_t(area.width() * area.height()));
    EXPECT_EQ(blackened(before), expected);
    EXPECT_EQ(study->Count, int(expected.size()));
    EXPECT_EQ(study->Label6->text(), QStringLiteral("Punktów: %1").arg(expected.size()));

    long long sumR = 0, sumG = 0, sumB = 0;
    for (const Point p : expected) {
        const Color c = window->ScreenCopy.pixel(p.x, p.y);
        sumR += red(c);
        sumG += green(c);
        sumB += blue(c);
    }
    const long long n = (long long)expected.size();
    EXPECT_EQ(study->MeanR, sumR / n);
    EXPECT_EQ(study->MeanB, sumB / n);
    const AreaStudy core = studyArea(window->ScreenCopy, area, bounds, nullptr);
    EXPECT_EQ(results(),
        (QStringList { QString::number(sumR / n), QString::number(sumG / n),
            QString::number(sumB / n), QString::fromStdString(deviationText(core.Stats.R.StdDev)),
            QString::fromStdString(deviationText(core.Stats.G.StdDev)),
            QString::fromStdString(deviationText(core.Stats.B.StdDev)),
            QString::fromStdString(coefficientText(core.Stats.R.VarCoef)),
            QString::fromStdString(coefficientText(core.Stats.G.VarCoef)),
            QString::fromStdString(coefficientText(core.Stats.B.VarCoef)) }));
    EXPECT_NE(study->LRS->text(), QStringLiteral("0.000"));
    EXPECT_EQ(study->Panel1->palette().color(QPalette::Window),
        QColor(int(sumR / n), int(sumG / n), int(sumB / n)));

    // A second study first removes the marks of the first.
    setBounds({ 40, 200, 0, 255, 60, 100 });
    study->BitBtn1->click();
    EXPECT_EQ(blackened(before), matching(area, { 40, 200, 0, 255, 60, 100 }));

    study->OKBtn->click();
    EXPECT_EQ(demonstrated(),
        (QStringList { QString::number(study->MeanR), QString::number(study->MeanG),
            QString::number(study->MeanB) }));
    EXPECT_EQ(shower->DrawingBlue, study->MeanB);
    EXPECT_TRUE(blackened(before).empty());
    EXPECT_EQ(study->result(), QDialog::Accepted);
}

TEST_F(TotalTest, OpenBoundsCountTheWholeBoxAndCancelRemovesTheMarks)
{
    window->Repaint();
    const Canvas before = window->canvas();
    study->BitBtn1->click();
    const Rect box = window->DisplayBox;
    EXPECT_EQ(study->Label6->text(), QStringLiteral("Punktów: %1").arg(box.width() * box.height()));
    EXPECT_EQ(window->canvas().pixel(box.Left, box.Top), Black);
    EXPECT_EQ(window->canvas().pixel(box.Right - 1, box.Bottom - 1), Black);
    EXPECT_EQ(
        window->canvas().pixel(box.Right, box.Bottom - 1), before.pixel(box.Right, box.Bottom - 1));
    EXPECT_EQ(window->canvas().pixel(box.Left, box.Bottom), before.pixel(box.Left, box.Bottom));

    study->show();
    QTest::keyClick(study.get(), Qt::Key_Escape);
    EXPECT_FALSE(study->isVisible());
    EXPECT_TRUE(blackened(before).empty());
    EXPECT_EQ(demonstrated(), (QStringList { "255", "255", "255" }));

    // A selection that reaches beyond the window counts only what lies inside it.
    select({ 850, 450, 1200, 700 });
    study->BitBtn1->click();
    EXPECT_EQ(study->Label6->text(), QStringLiteral("Punktów: %1").arg(54 * 46));
    study->CancelBtn->click();
    EXPECT_TRUE(blackened(before).empty());
}

TEST_F(TotalTest, BoundsAboveTheirMaximumAreRefusedWithoutTouchingTheWindow)
{
    study->BitBtn1->click();
    const QString count = study->Label6->text();
    const QStringList shown = results();
    const Canvas marked = window->canvas();

    struct Case {
        ChannelBounds bounds;
        const char* message;
    };
    const Case cases[] = {
        { { 11, 10, 200, 0, 0, 255 }, "Błędne dane!: Rmin jest większe od Rmax." },
        { { 10, 10, 201, 200, 9, 8 }, "Błędne dane!: Gmin jest większe od Gmax." },
        { { 0, 255, 0, 255, 1, 0 }, "Błędne dane!: Bmin jest większe od Bmax." },
    };
    for (const Case& c : cases) {
        dialogs->messages.clear();
        setBounds(c.bounds);
        study->BitBtn1->click();
        EXPECT_EQ(dialogs->messages, QStringList { QString::fromUtf8(c.message) });
        EXPECT_EQ(study->Label6->text(), count);
        EXPECT_EQ(results(), shown);
        EXPECT_TRUE(blackened(marked).empty()); // no repaint either
        EXPECT_EQ(study->MeanR, 0);
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(TotalTest, NoMatchKeepsTheShownResultsAndOkThenHandsOnZeros)
{
    study->BitBtn1->click();
    const QString count = study->Label6->text();
    const QStringList shown = results();
    ASSERT_NE(shown.value(0), QStringLiteral("0"));

    // ScreenCopy is white beside the picture.
    select({ 450, 300, 500, 350 });
    setBounds({ 0, 254, 0, 255, 0, 255 });
    study->BitBtn1->click();
    EXPECT_EQ(dialogs->messages, QStringList { NoMatch });
    EXPECT_EQ(study->Label6->text(), count);
    EXPECT_EQ(results(), shown);
    EXPECT_EQ(study->Count, 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    study->OKBtn->click();
    EXPECT_EQ(demonstrated(), (QStringList { "0", "0", "0" }));

    // A rectangle with no width examines nothing.
    dialogs->messages.clear();
    select({ 100, 80, 100, 150 });
    setBounds({});
    study->BitBtn1->click();
    EXPECT_EQ(dialogs->messages, QStringList { NoMatch });
}

TEST_F(TotalTest, OneMatchShowsItsValuesWithoutDeviation)
{
    window->ScreenCopy.setPixel(470, 320, rgb(7, 8, 9));
    select({ 450, 300, 500, 350 });
    setBounds({ 0, 100, 0, 255, 0, 255 });
    study->BitBtn1->click();
    EXPECT_TRUE(dialogs->messages.isEmpty());
    EXPECT_EQ(study->Label6->text(), QStringLiteral("Punktów: 1"));
    EXPECT_EQ(results(),
        (QStringList { "7", "8", "9", "0.000", "0.000", "0.000", "0.00 %", "0.00 %", "0.00 %" }));
    EXPECT_EQ(window->canvas().pixel(470, 320), Black);
}

TEST_F(TotalTest, AStudyOpenedByADragInAreaMode)
{
    window->Repaint();
    const Canvas before = window->canvas();
    const ChannelBounds bounds { 40, 200, 0, 255, 60, 255 };
    setBounds(bounds);
    Canvas during;
    dialogs->onModal = [&](QDialog*) {
        study->BitBtn1->click();
        during = window->canvas();
        study->OKBtn->click();
        return int(QDialog::Accepted);
    };
    window->ToolButton9->click();
    QTest::mousePress(window->Client, Qt::LeftButton, {}, QPoint(150, 120));
    QMouseEvent drag(QEvent::MouseMove, QPointF(250, 200),
        window->Client->mapToGlobal(QPointF(250, 200)), Qt::NoButton, Qt::LeftButton,
        Qt::NoModifier);
    QCoreApplication::sendEvent(window->Client, &drag);
    QTest::mouseRelease(window->Client, Qt::LeftButton, {}, QPoint(250, 200));

    EXPECT_EQ(dialogs->modals, QList<QDialog*> { study.get() });
    // While the study was open the marks were on the surface, the outline around them.
    const std::vector<Point> matches = matching({ 150, 120, 250, 200 }, bounds);
    EXPECT_EQ(study->Count, int(matches.size()));
    for (const Point p : matches)
        EXPECT_EQ(during.pixel(p.x, p.y), Black) << p.x << "," << p.y;
    EXPECT_NE(during.pixel(150, 160), before.pixel(150, 160)); // the outline
    EXPECT_EQ(demonstrated().value(0), QString::number(study->MeanR));
    // After the dialog: no marks and no outline.
    EXPECT_TRUE(blackened(before).empty());
}
