// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The a*b* chart following "Kolorymetria", and the tolerance typed there.
#include "tests/MainWindowFixture.h"

#include "analysis/Kolorymetria.h"
#include "analysis/Total.h"
#include "analysis/Warn.h"
#include "analysis/Wykres.h"
#include "app/Surface.h"

#include <QChart>
#include <QChartView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QScatterSeries>
#include <QTableView>
#include <QTemporaryDir>

#include <cmath>

using namespace probnik;

namespace {

const QString Picture = QStringLiteral(PROBNIK_TEST_DATA "/bmpsuite/g/rgb24.bmp");

class WykresTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        OKBottomDlg = &question;
        open(Picture);
        study = std::make_unique<TGlobal>();
        Global = study.get();
        kolor = std::make_unique<TKolorymetria>();
        Kolorymetria = kolor.get();
        chart = std::make_unique<TWykres>();
        Wykres = chart.get();
    }
    void TearDown() override
    {
        chart.reset();
        kolor.reset();
        study.reset();
        OKBottomDlg = nullptr;
        MainWindowTest::TearDown();
    }
    void sample(int x, int y, Color c)
    {
        window->ScreenCopy.setPixel(x, y, c);
        QTest::mouseClick(window->Client, Qt::LeftButton, {}, QPoint(x, y));
    }
    void openChart()
    {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(window.get(), Qt::Key_G, Qt::ControlModifier);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(chart.get()));
    }
    // Where sample i's dot is drawn, in the chart view's viewport.
    QPoint dotAt(int i) const
    {
        const QPointF value = chart->Dots->at(i);
        const QPointF scene = chart->Plane->chart()->mapToPosition(value, chart->Dots);
        return chart->Plane->mapFromScene(scene);
    }
    QString mark(int row) const
    {
        return kolor->Table->model()->index(row, TKolorymetria::Within).data().toString();
    }

    QTemporaryDir dir;
    TOKBottomDlg question;
    std::unique_ptr<TGlobal> study;
    std::unique_ptr<TKolorymetria> kolor;
    std::unique_ptr<TWykres> chart;
};

// Greys differ only in L*, where CIEDE2000 is the difference of lightness over S_L.
double greyDeltaE00(int g1, int g2)
{
    const double l1 = lab::labFromRgb(g1, g1, g1).L, l2 = lab::labFromRgb(g2, g2, g2).L;
    const double m = (l1 + l2) / 2 - 50;
    return std::abs(l1 - l2) / (1 + 0.015 * m * m / std::sqrt(20 + m * m));
}

} // namespace

TEST_F(WykresTest, CtrlGOpensItWithADotForEverySampleInItsColour)
{
    sample(100, 100, rgb(255, 0, 0));
    sample(120, 100, rgb(40, 160, 90));
    openChart();
    EXPECT_EQ(chart->windowTitle(), QStringLiteral("Wykres a*b*"));
    ASSERT_EQ(chart->Dots->count(), 2);
    EXPECT_EQ(chart->LightDots->count(), 2);
    sample(140, 100, rgb(20, 30, 200)); // followed while shown
    ASSERT_EQ(chart->Dots->count(), 3);
    for (int i = 0; i < 3; ++i) {
        const lab::Lab v = kolor->sampleLab(std::size_t(i));
        EXPECT_EQ(chart->Dots->at(i), QPointF(v.a, v.b));
        EXPECT_EQ(chart->LightDots->at(i).y(), v.L);
        const Color c = kolor->Colors[std::size_t(i)];
        EXPECT_EQ(chart->Dots->pointConfiguration(i)
                      .value(QXYSeries::PointConfiguration::Color)
                      .value<QColor>(),
            QColor(red(c), green(c), blue(c)));
    }
    // The reference, sample 1, with its contour; the mean with its ellipse.
    EXPECT_GT(chart->Contour->count(), TWykres::ContourPoints);
    EXPECT_EQ(chart->Spread->count(), TWykres::OutlinePoints + 1);
    EXPECT_EQ(chart->Mean->count(), 1);
    EXPECT_EQ(chart->Cross->at(2), QPointF(kolor->sampleLab(0).a, kolor->sampleLab(0).b));

    window->Button4->click();
    EXPECT_EQ(chart->Dots->count(), 0);
    EXPECT_EQ(chart->Contour->count(), 0);
    EXPECT_EQ(chart->Spread->count(), 0);
}

TEST_F(WykresTest, TheToleranceTypedMarksTheRowsAndCountsThem)
{
    const int greys[] = { 128, 130, 132, 136, 145 };
    int x = 100;
    for (const int g : greys)
        sample(x += 10, 100, rgb(g, g, g));
    kolor->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(kolor.get()));
    openChart();
    EXPECT_EQ(kolor->Tolerance->text(), QStringLiteral("2.0"));

    const char* const typed[] = { "2", "0,5", "1.9", "5", "30", "abc", "0", "" };
    double t = 2.0;
    for (const char* text : typed) {
        SCOPED_TRACE(text);
        kolor->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(kolor.get()));
        QTest::keyClick(kolor.get(), Qt::Key_T, Qt::AltModifier);
        ASSERT_EQ(QApplication::focusWidget(), kolor->Tolerance);
        QTest::keyClick(kolor->Tolerance, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(kolor->Tolerance, Qt::Key_Delete);
        QTest::keyClicks(kolor->Tolerance, QString::fromUtf8(text));
        const QString written = QString::fromUtf8(text).replace(u',', u'.');
        bool ok = false;
        const double value = written.toDouble(&ok);
        const bool taken = ok && value > 0;
        if (taken)
            t = value;
        EXPECT_EQ(kolor->ToleranceNote->isVisible(), !taken);
        EXPECT_EQ(kolor->Tolerance->styleSheet().isEmpty(), taken);
        int within = 0;
        for (int row = 0; row < 5; ++row) {
            const bool in = greyDeltaE00(greys[row], greys[0]) <= t;
            within += in;
            EXPECT_EQ(mark(row), in ? QStringLiteral("w") : QStringLiteral("poza")) << row;
        }
        EXPECT_EQ(kolor->WithinCounts->text(),
            QStringLiteral("W tolerancji: %1, poza nią: %2").arg(within).arg(5 - within));
        EXPECT_EQ(chart->shown().tolerance, t);
        EXPECT_EQ(window->LabTolerance, t);
    }

    // After an area study, the share of its pixels within t, counted as the rows are.
    QTest::keyClicks(kolor->Tolerance, QStringLiteral("25"));
    study->BitBtn1->click();
    const lab::Lab reference = kolor->sampleLab(0);
    const Rect box = window->DisplayBox;
    int pixels = 0, within = 0;
    for (int y = box.Top; y < box.Bottom; ++y)
        for (int x = box.Left; x < box.Right; ++x) {
            ++pixels;
            within += lab::deltaE00(lab::labFromColor(window->ScreenCopy.pixel(x, y)), reference)
                <= 25;
        }
    ASSERT_GT(within, 0);
    ASSERT_LT(within, pixels);
    EXPECT_EQ(kolor->AreaWithin->text(),
        QStringLiteral("Obszaru w tolerancji: %1 %")
            .arg(QString::number(100.0 * within / pixels, 'f', 2)));
}

TEST_F(WykresTest, HoveringADotNamesItAndClickingSelectsItsRow)
{
    sample(100, 100, rgb(255, 0, 0));
    sample(120, 100, rgb(40, 160, 90));
    sample(140, 100, rgb(20, 30, 200));
    kolor->show();
    openChart();
    chart->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(chart.get()));
    for (const int i : { 1, 2, 0 }) {
        SCOPED_TRACE(i);
        const QPoint at = dotAt(i);
        QMouseEvent move(QEvent::MouseMove, QPointF(at),
            chart->Plane->viewport()->mapToGlobal(QPointF(at)), Qt::NoButton, Qt::NoButton,
            Qt::NoModifier);
        QCoreApplication::sendEvent(chart->Plane->viewport(), &move);
        const lab::Lab v = kolor->sampleLab(std::size_t(i));
        EXPECT_EQ(chart->Pointed->text(),
            QStringLiteral("Próbka %1: L* %2 a* %3 b* %4")
                .arg(i + 1)
                .arg(QString::number(v.L, 'f', 2), QString::number(v.a, 'f', 2),
                    QString::number(v.b, 'f', 2)));
        QTest::mouseClick(chart->Plane->viewport(), Qt::LeftButton, {}, at);
        const QModelIndexList selected = kolor->Table->selectionModel()->selectedRows();
        ASSERT_EQ(selected.size(), 1);
        EXPECT_EQ(selected.front().row(), i);
    }
}

TEST_F(WykresTest, TheSavedSvgHoldsTheDotsTheEllipseAndTheContour)
{
    sample(100, 100, rgb(255, 0, 0));
    sample(120, 100, rgb(230, 20, 30));
    sample(140, 100, rgb(240, 10, 60));
    openChart();
    const QString svg = dir.filePath(QStringLiteral("wykres.svg"));
    const QString png = dir.filePath(QStringLiteral("wykres.png"));
    dialogs->imageAnswers << svg << png;
    QTest::keyClick(chart.get(), Qt::Key_S, Qt::ControlModifier);
    chart->Zapisz->click();
    EXPECT_EQ(dialogs->imageDirs.size(), 2);
    EXPECT_TRUE(dialogs->errors.isEmpty());

    QFile file(svg);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    // Every dot an ellipse filled with the sample's colour, in both charts.
    for (const Color c : kolor->Colors) {
        const QString fill = QColor(red(c), green(c), blue(c)).name();
        const QRegularExpression dot(
            QStringLiteral("fill=\"%1\"[^>]*>\\s*<(circle|ellipse)").arg(fill));
        EXPECT_GE(int(text.count(dot)), 2) << fill.toStdString();
    }
    // The contour and the ellipse, each a group in its pen's colour: the solid contour as
    // the segments between its points, the dashed ellipse as one path through its points.
    int contourSegments = 0, ellipsePoints = 0;
    for (const QString& group : text.split(QStringLiteral("<g "))) {
        if (group.contains(QStringLiteral("stroke=\"#c80000\"")))
            contourSegments += int(group.count(QStringLiteral("<polyline")));
        if (group.contains(QStringLiteral("stroke=\"#0046c8\""))
            && group.contains(QStringLiteral("<path")))
            ellipsePoints += int(group.count(u'L'));
    }
    EXPECT_EQ(contourSegments, TWykres::ContourPoints);
    EXPECT_GE(ellipsePoints, TWykres::OutlinePoints);

    QImage picture(png);
    EXPECT_EQ(picture.size(), chart->Plot->size() * chart->Plot->devicePixelRatio());
    EXPECT_EQ(window->InitialDir, QDir::toNativeSeparators(dir.path()));
}
