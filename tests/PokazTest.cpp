// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The colour demonstration window, driven as a user and the other windows drive it.
#include "demo/Pokaz.h"
#include "demo/Texture.h"

#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace probnik;

namespace {

constexpr Rect DesignArea { 0, 88, 374, 315 };
constexpr Color WindowBackground = rgb(128, 128, 128);

Color colourOf(QRgb pixel)
{
    return rgb(qRed(pixel), qGreen(pixel), qBlue(pixel));
}

bool inside(const Rect& r, int x, int y)
{
    return x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom;
}

class ShowerTest : public testing::Test {
protected:
    void SetUp() override
    {
        window = std::make_unique<TShower>();
        Shower = window.get();
    }
    void TearDown() override
    {
        window.reset();
        EXPECT_EQ(Shower, nullptr);
    }

    void show()
    {
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    // What the window shows now, one image pixel per window pixel.
    QImage shown()
    {
        QImage image = window->grab().toImage();
        EXPECT_EQ(image.size(), window->size());
        return image;
    }

    // Sets the six channel edits as a person would leave them.
    void colours(const QString& r, const QString& g, const QString& b, const QString& tr,
        const QString& tg, const QString& tb)
    {
        window->REdit->setText(r);
        window->GEdit->setText(g);
        window->BEdit->setText(b);
        window->TR->setText(tr);
        window->TG->setText(tg);
        window->TB->setText(tb);
    }

    std::unique_ptr<TShower> window;
};

} // namespace

TEST_F(ShowerTest, EveryControlAtItsDesignPlace)
{
    show();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Demonstracja koloru"));
    EXPECT_EQ(window->objectName(), QStringLiteral("Shower"));
    EXPECT_EQ(window->minimumSize(), window->size());

    struct Place {
        QWidget* control;
        QRect geometry;
    };
    const Place places[] = {
        { window->REdit, { 128, 8, 41, 21 } },
        { window->GEdit, { 208, 8, 41, 21 } },
        { window->BEdit, { 288, 8, 41, 21 } },
        { window->TR, { 128, 40, 41, 21 } },
        { window->TG, { 208, 40, 41, 21 } },
        { window->TB, { 288, 40, 41, 21 } },
        { window->Bevel1, { 4, 4, 345, 64 } },
        { window->Bevel2, { 4, 34, 345, 2 } },
        { window->Rozmiar, { 394, 8, 29, 150 } },
        { window->Rozstaw, { 442, 8, 29, 150 } },
        { window->Faktura, { 378, 216, 105, 105 } },
        { window->Button1, { 200, 335, 75, 25 } },
    };
    for (const Place& p : places) {
        EXPECT_EQ(p.control->geometry(), p.geometry) << p.control->objectName().toStdString();
        EXPECT_TRUE(window->rect().contains(p.control->geometry()))
            << p.control->objectName().toStdString();
    }

    struct Caption {
        QLabel* label;
        QPoint at;
        QString text;
        bool bold;
    };
    const Caption captions[] = {
        { window->Label9, { 8, 8 }, QStringLiteral("RYSUNEK"), true },
        { window->Label1, { 112, 10 }, QStringLiteral("R:"), true },
        { window->Label2, { 192, 10 }, QStringLiteral("G:"), true },
        { window->Label3, { 272, 10 }, QStringLiteral("B:"), true },
        { window->Label10, { 48, 40 }, QStringLiteral("TŁO"), true },
        { window->Label6, { 112, 42 }, QStringLiteral("R:"), true },
        { window->Label7, { 192, 42 }, QStringLiteral("G:"), true },
        { window->Label8, { 272, 42 }, QStringLiteral("B:"), true },
        { window->Label4, { 386, 160 }, QStringLiteral("Rozmiar"), false },
        { window->Label5, { 434, 160 }, QStringLiteral("Odstęp"), false },
    };
    for (const Caption& c : captions) {
        EXPECT_EQ(c.label->pos(), c.at) << c.text.toStdString();
        EXPECT_EQ(c.label->text(), c.text);
        EXPECT_EQ(c.label->font().bold(), c.bold) << c.text.toStdString();
    }

    for (QLineEdit* edit :
        { window->REdit, window->GEdit, window->BEdit, window->TR, window->TG, window->TB })
        EXPECT_EQ(edit->text(), QStringLiteral("255")) << edit->objectName().toStdString();
    for (QSlider* bar : { window->Rozmiar, window->Rozstaw })
        EXPECT_EQ(std::pair(bar->minimum(), bar->maximum()), std::pair(0, 40));
    EXPECT_EQ(window->Faktura->title(), QStringLiteral("Faktura"));
    EXPECT_EQ(window->FakturaItems[0]->text(), QStringLiteral("Linie poziome"));
    EXPECT_EQ(window->FakturaItems[1]->text(), QStringLiteral("Linie pionowe"));
    EXPECT_EQ(window->FakturaItems[2]->text(), QStringLiteral("Kółka"));
    EXPECT_EQ(window->FakturaItemIndex(), 0);
    EXPECT_EQ(window->Button1->text(), QStringLiteral("Zakończ"));
}

TEST_F(ShowerTest, TabGoesThroughTheDesignOrder)
{
    show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    EXPECT_EQ(QApplication::focusWidget(), window->Button1);
    const std::vector<QWidget*> order { window->REdit, window->GEdit, window->BEdit,
        window->Rozmiar, window->Rozstaw, window->FakturaItems[0], window->TR, window->TG,
        window->TB, window->Button1 };
    for (QWidget* next : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
    }
    // Tab reaches the group through its chosen item.
    window->setFakturaItemIndex(2);
    window->Rozstaw->setFocus();
    QTest::keyClick(window->Rozstaw, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), window->FakturaItems[2]);
    QTest::keyClick(window->FakturaItems[2], Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), window->TR);
    // The arrow keys choose within the group.
    window->FakturaItems[2]->setFocus();
    QTest::keyClick(window->FakturaItems[2], Qt::Key_Up);
    EXPECT_EQ(window->FakturaItemIndex(), 1);
    EXPECT_EQ(QApplication::focusWidget(), window->FakturaItems[1]);
}

TEST_F(ShowerTest, TypedValuesAreCorrectedInTheirEdits)
{
    show();
    struct Step {
        QLineEdit* edit;
        QString typed; // over the selected text
        QString shown; // the edit's text afterwards
        int* field;
        int value;
    };
    const Step steps[] = {
        { window->REdit, QStringLiteral("300"), QStringLiteral("255"), &window->DrawingRed, 255 },
        { window->REdit, QStringLiteral("2560"), QStringLiteral("255"), &window->DrawingRed, 255 },
        { window->GEdit, QStringLiteral("17"), QStringLiteral("17"), &window->DrawingGreen, 17 },
        { window->BEdit, QStringLiteral("x"), QStringLiteral("0"), &window->DrawingBlue, 0 },
        // Each key is read at once: a text that is no number yet becomes "0" before the rest.
        { window->BEdit, QStringLiteral("7a"), QStringLiteral("0"), &window->DrawingBlue, 0 },
        { window->TR, QStringLiteral("-9"), QStringLiteral("09"), &window->BackgroundRed, 9 },
        { window->TB, QStringLiteral("1.5"), QStringLiteral("05"), &window->BackgroundBlue, 5 },
    };
    for (const Step& s : steps) {
        s.edit->selectAll();
        QTest::keyClicks(s.edit, s.typed);
        EXPECT_EQ(s.edit->text(), s.shown) << s.typed.toStdString();
        EXPECT_EQ(*s.field, s.value) << s.typed.toStdString();
    }

    // A sign put before a number is kept, a negative value too.
    window->TB->selectAll();
    QTest::keyClicks(window->TB, QStringLiteral("4"));
    QTest::keyClick(window->TB, Qt::Key_Home);
    QTest::keyClick(window->TB, Qt::Key_Minus);
    EXPECT_EQ(window->TB->text(), QStringLiteral("-4"));
    EXPECT_EQ(window->BackgroundBlue, -4);
    window->TR->setText(QStringLiteral("+9"));
    EXPECT_EQ(window->TR->text(), QStringLiteral("+9"));
    EXPECT_EQ(window->BackgroundRed, 9);

    // Clearing an edit leaves "0" in it at once.
    window->TG->selectAll();
    QTest::keyClick(window->TG, Qt::Key_Backspace);
    EXPECT_EQ(window->TG->text(), QStringLiteral("0"));
    EXPECT_EQ(window->BackgroundGreen, 0);

    // The negative value paints as 0.
    EXPECT_EQ(window->painted().drawing, rgb(255, 17, 0));
    EXPECT_EQ(window->painted().background, rgb(9, 0, 0));
    EXPECT_EQ(colourOf(shown().pixel(200, 314)), rgb(9, 0, 0));
}

TEST_F(ShowerTest, ColoursSetByAnotherWindowAreReadAtOnceEvenWhileHidden)
{
    ASSERT_FALSE(window->isVisible());
    window->REdit->setText(QStringLiteral("300"));
    EXPECT_EQ(window->REdit->text(), QStringLiteral("255"));
    window->GEdit->setText(QStringLiteral("12"));
    window->BEdit->setText(QStringLiteral("7"));
    EXPECT_EQ(window->DrawingRed, 255);
    EXPECT_EQ(window->DrawingGreen, 12);
    EXPECT_EQ(window->DrawingBlue, 7);
    EXPECT_EQ(window->BackgroundRed, 255);
    EXPECT_EQ(window->painted().drawing, rgb(255, 12, 7));

    // While shown, the texture changes colour as the text is set.
    window->Rozstaw->setValue(30);
    window->Rozmiar->setValue(10);
    show();
    EXPECT_EQ(colourOf(shown().pixel(100, 93)), rgb(255, 12, 7));
    window->REdit->setText(QStringLiteral("40"));
    window->GEdit->setText(QStringLiteral("50"));
    window->BEdit->setText(QStringLiteral("60"));
    const QImage after = shown();
    EXPECT_EQ(colourOf(after.pixel(100, 93)), rgb(40, 50, 60));
    EXPECT_EQ(colourOf(after.pixel(100, 103)), White);
}

TEST_F(ShowerTest, FirstShowingIsWhiteWithSizeAndSpacingDrawnAsOne)
{
    show();
    EXPECT_EQ(window->TextureArea, DesignArea);
    EXPECT_EQ(window->TextureSize, 1);
    EXPECT_EQ(window->Spacing, 1);
    // The track bars follow only at the next showing.
    EXPECT_EQ(window->Rozmiar->value(), 0);
    EXPECT_EQ(window->painted().rectangles.size(), std::size_t(DesignArea.height() - 1));
    const QImage image = shown();
    for (int y = DesignArea.Top; y < DesignArea.Bottom; ++y)
        for (int x = DesignArea.Left; x < DesignArea.Right; ++x)
            ASSERT_EQ(colourOf(image.pixel(x, y)), White) << x << "," << y;
    EXPECT_EQ(colourOf(image.pixel(10, DesignArea.Bottom)), WindowBackground);
    EXPECT_EQ(colourOf(image.pixel(DesignArea.Right, 200)), WindowBackground);
    EXPECT_EQ(colourOf(image.pixel(10, DesignArea.Top - 1)), WindowBackground);

    window->Button1Click();
    show();
    EXPECT_EQ(window->Rozmiar->value(), 1);
    EXPECT_EQ(window->Rozstaw->value(), 1);
}

// Every pixel of the area is the drawing colour exactly where the texture puts a rectangle,
// and the area's edges are where the window's controls put them.
TEST_F(ShowerTest, StripesArePaintedWhereTheTexturePutsThem)
{
    show();
    colours(QStringLiteral("10"), QStringLiteral("20"), QStringLiteral("30"), QStringLiteral("200"),
        QStringLiteral("150"), QStringLiteral("100"));
    const Color ink = rgb(10, 20, 30);
    const Color back = rgb(200, 150, 100);
    struct Case {
        int item, size, spacing;
        texture::Pattern pattern;
        std::size_t count;
    };
    const Case cases[] = {
        { 0, 10, 30, texture::Pattern::HorizontalLines, 8 },
        { 0, 10, 5, texture::Pattern::HorizontalLines, 44 },
        { 0, 0, 0, texture::Pattern::HorizontalLines, 226 },
        { 1, 10, 30, texture::Pattern::VerticalLines, 13 },
        { 1, 40, 1, texture::Pattern::VerticalLines, 334 },
        { 1, 1, 40, texture::Pattern::VerticalLines, 10 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
            << "item " << c.item << ", size " << c.size << ", spacing " << c.spacing);
        window->setFakturaItemIndex(c.item);
        window->Rozmiar->setValue(c.size);
        window->Rozstaw->setValue(c.spacing);

        const texture::Texture expected
            = texture::compose(c.pattern, DesignArea, c.size, c.spacing, back, ink);
        const texture::Texture& painted = window->painted();
        ASSERT_EQ(painted.rectangles, expected.rectangles);
        EXPECT_EQ(painted.rectangles.size(), c.count);
        EXPECT_EQ(painted.area, DesignArea);

        const QImage image = shown();
        for (int y = DesignArea.Top; y < DesignArea.Bottom; ++y)
            for (int x = DesignArea.Left; x < DesignArea.Right; ++x) {
                bool covered = false;
                for (const Rect& r : expected.rectangles)
                    covered = covered || inside(r, x, y);
                ASSERT_EQ(colourOf(image.pixel(x, y)), covered ? ink : back) << x << "," << y;
            }
        for (const QPoint outside : { QPoint(10, DesignArea.Bottom), QPoint(DesignArea.Right, 150),
                 QPoint(DesignArea.Right, DesignArea.Bottom - 1), QPoint(50, DesignArea.Top - 1) })
            EXPECT_EQ(colourOf(image.pixel(outside)), WindowBackground)
                << outside.x() << "," << outside.y();
    }
}

TEST_F(ShowerTest, CirclesStayInsideTheirBoxes)
{
    show();
    colours(QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("255"), QStringLiteral("255"),
        QStringLiteral("255"), QStringLiteral("0"));
    const Color ink = rgb(0, 0, 255);
    const Color back = rgb(255, 255, 0);
    window->Rozmiar->setValue(10);
    window->Rozstaw->setValue(20);
    window->setFakturaItemIndex(2);
    const std::vector<Rect>& boxes = window->painted().ellipses;
    ASSERT_EQ(boxes.size(), std::size_t(11 * 18));
    EXPECT_EQ(boxes.front(), (Rect { 5, 93, 15, 103 }));

    QImage image = shown();
    for (const Rect& box : boxes) {
        const int cx = (box.Left + box.Right) / 2;
        const int cy = (box.Top + box.Bottom) / 2;
        ASSERT_EQ(colourOf(image.pixel(cx, cy)), ink) << cx << "," << cy;
        // The widest row and column reach the box's edges but not past them.
        EXPECT_EQ(colourOf(image.pixel(box.Left, cy)), ink) << cx << "," << cy;
        EXPECT_EQ(colourOf(image.pixel(box.Right - 1, cy)), ink) << cx << "," << cy;
        EXPECT_EQ(colourOf(image.pixel(cx, box.Bottom - 1)), ink) << cx << "," << cy;
    }
    for (int y = DesignArea.Top; y < DesignArea.Bottom; ++y)
        for (int x = DesignArea.Left; x < DesignArea.Right; ++x) {
            bool inBox = false;
            for (const Rect& box : boxes)
                inBox = inBox || inside(box, x, y);
            if (!inBox) {
                ASSERT_EQ(colourOf(image.pixel(x, y)), back) << x << "," << y;
            }
        }

    // Size 1: radius 0, every box empty, nothing but the background.
    window->Rozmiar->setValue(1);
    ASSERT_FALSE(window->painted().ellipses.empty());
    image = shown();
    for (int y = DesignArea.Top; y < DesignArea.Bottom; ++y)
        for (int x = DesignArea.Left; x < DesignArea.Right; ++x)
            ASSERT_EQ(colourOf(image.pixel(x, y)), back) << x << "," << y;

    // Nothing chosen: the background alone.
    window->Rozmiar->setValue(10);
    window->setFakturaItemIndex(-1);
    EXPECT_EQ(window->FakturaItemIndex(), -1);
    window->setFakturaItemIndex(3);
    EXPECT_EQ(window->FakturaItemIndex(), -1);
    EXPECT_TRUE(window->painted().ellipses.empty());
    EXPECT_EQ(colourOf(shown().pixel(10, 98)), back);
}

TEST_F(ShowerTest, ZakonczHidesAndTheValuesStay)
{
    show();
    colours(QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"),
        QStringLiteral("-5"), QStringLiteral("6"));
    window->Rozmiar->setValue(12);
    window->Rozstaw->setValue(33);
    window->setFakturaItemIndex(1);
    QTest::mouseClick(window->Button1, Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());

    // The bars moved while hidden come back to the values in use.
    window->Rozmiar->blockSignals(true);
    window->Rozmiar->setValue(0);
    window->Rozmiar->blockSignals(false);
    show();
    EXPECT_EQ(window->Rozmiar->value(), 12);
    EXPECT_EQ(window->Rozstaw->value(), 33);
    EXPECT_EQ(window->FakturaItemIndex(), 1);
    const QString texts[] = { window->REdit->text(), window->GEdit->text(), window->BEdit->text(),
        window->TR->text(), window->TG->text(), window->TB->text() };
    const QString expected[] = { QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
        QStringLiteral("4"), QStringLiteral("-5"), QStringLiteral("6") };
    for (std::size_t i = 0; i < std::size(texts); ++i)
        EXPECT_EQ(texts[i], expected[i]);
    const QImage image = shown();
    EXPECT_EQ(colourOf(image.pixel(5, 200)), rgb(1, 2, 3));
    EXPECT_EQ(colourOf(image.pixel(20, 200)), rgb(4, 0, 6));

    // The close box hides it too.
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->TG->text(), QStringLiteral("-5"));
}

TEST_F(ShowerTest, ResizingNeverMovesTheTexture)
{
    show();
    window->Rozmiar->setValue(10);
    window->Rozstaw->setValue(30);
    const QSize least = window->size();
    window->resize(least + QSize(200, 150));
    EXPECT_EQ(window->size(), least + QSize(200, 150));
    window->FormPaint();
    EXPECT_EQ(window->TextureArea, DesignArea);
    EXPECT_EQ(window->Button1->geometry(), QRect(200, 335, 75, 25));
    const QImage image = shown();
    EXPECT_EQ(colourOf(image.pixel(DesignArea.Right, 92)), WindowBackground);
    EXPECT_EQ(colourOf(image.pixel(DesignArea.Right + 150, 92)), WindowBackground);

    window->resize(least - QSize(1, 1));
    EXPECT_EQ(window->size(), least);
}
