// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The calibration window: the chart's corners pointed at in the main window, the fit's report,
// the calibration used by the colorimetry window and kept for the next run.
#include "tests/MainWindowFixture.h"

#include "analysis/Calibration.h"
#include "analysis/Kalibracja.h"
#include "analysis/Kolorymetria.h"
#include "analysis/Total.h"
#include "analysis/Warn.h"
#include "app/Display.h"
#include "app/Surface.h"
#include "colour/SrgbPreview.h"

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>

#include <cmath>

using namespace probnik;

namespace {

// The built-in chart, 6 x 4 patches of 80 pixels every 100, photographed by a camera whose
// white balance is off: linear red, green and blue scaled unevenly.
constexpr int Spacing = 100;
constexpr int PatchSide = 80;
constexpr double Gains[3] = { 0.72, 0.93, 0.82 };

double decode(int v)
{
    const double c = v / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}
int encode(double linear)
{
    const double c
        = linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
    return int(std::lround(std::clamp(c, 0.0, 1.0) * 255));
}

QString renderChart(const QString& path)
{
    const calibration::Chart& chart = calibration::classicChart();
    std::vector<colour::Lab> labs;
    for (const calibration::Patch& p : chart.patches)
        labs.push_back({ p.reference.L, p.reference.a, p.reference.b });
    const std::vector<Color> shown = colour::srgbFromLabD50(labs);
    QImage image(chart.columns * Spacing, chart.rows * Spacing, QImage::Format_RGB32);
    image.fill(QColor(40, 40, 40));
    for (int r = 0; r < chart.rows; ++r)
        for (int c = 0; c < chart.columns; ++c) {
            const Color s = shown[std::size_t(r) * std::size_t(chart.columns) + std::size_t(c)];
            const QColor camera(encode(decode(red(s)) * Gains[0]),
                encode(decode(green(s)) * Gains[1]), encode(decode(blue(s)) * Gains[2]));
            const int margin = (Spacing - PatchSide) / 2;
            for (int y = 0; y < PatchSide; ++y)
                for (int x = 0; x < PatchSide; ++x)
                    image.setPixelColor(c * Spacing + margin + x, r * Spacing + margin + y, camera);
        }
    return image.save(path, "BMP") ? path : QString();
}

class KalibracjaTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        OKBottomDlg = &question;
        ASSERT_FALSE(renderChart(dir.filePath(QStringLiteral("chart.bmp"))).isEmpty());
        open(dir.filePath(QStringLiteral("chart.bmp")));
        ASSERT_EQ(window->ImageWidth, 600);
        makeWindows();
    }
    void TearDown() override
    {
        dropWindows();
        OKBottomDlg = nullptr;
        MainWindowTest::TearDown();
    }
    void makeWindows()
    {
        kolor = std::make_unique<TKolorymetria>();
        Kolorymetria = kolor.get();
        kal = std::make_unique<TKalibracja>();
        Kalibracja = kal.get();
    }
    void dropWindows()
    {
        kal.reset();
        kolor.reset();
    }

    // The window point that shows the file pixel (x, y).
    QPoint shownAt(double x, double y) const
    {
        const Rect box = window->DisplayBox;
        const auto at = [](double v, int file, int shown) {
            return int(std::floor((v + 0.5) * shown / file));
        };
        return { box.Left + at(x, window->ImageWidth, box.Right - box.Left),
            box.Top + at(y, window->ImageHeight, box.Bottom - box.Top) };
    }
    // The centre of the chart's patch in row r, column c.
    QPoint patch(int r, int c) const
    {
        return shownAt(c * Spacing + Spacing / 2.0 - 0.5, r * Spacing + Spacing / 2.0 - 0.5);
    }
    void activate(QWidget* w)
    {
        w->show();
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    }
    void pointAt(const std::vector<QPoint>& clicks)
    {
        activate(kal.get());
        QTest::keyClick(kal.get(), Qt::Key_N, Qt::ControlModifier);
        for (const QPoint& p : clicks)
            QTest::mouseClick(window->Client, Qt::LeftButton, {}, p);
    }
    std::vector<QPoint> fourCorners() const
    {
        return { patch(0, 0), patch(0, 5), patch(3, 5), patch(3, 0) };
    }
    double summary(int figure, int after) const
    {
        return kal->Summary[figure][after]->text().toDouble();
    }

    QTemporaryDir dir;
    TOKBottomDlg question;
    std::unique_ptr<TKolorymetria> kolor;
    std::unique_ptr<TKalibracja> kal;
};

TEST_F(KalibracjaTest, FourCornersMeasureTheChartAndTakeNoSample)
{
    activate(window.get());
    QTest::keyClick(window.get(), Qt::Key_K, Qt::ControlModifier);
    EXPECT_TRUE(kal->isVisible());

    activate(kal.get());
    QTest::keyClick(kal.get(), Qt::Key_N, Qt::ControlModifier);
    ASSERT_TRUE(kal->pointing());
    // A cursor of its own: neither the arrow nor area mode's cross.
    EXPECT_EQ(window->Client->cursor().shape(), Qt::BitmapCursor);
    EXPECT_FALSE(window->inAreaMode());
    // A press beside the picture counts for nothing.
    QTest::mouseClick(window->Client, Qt::LeftButton, {}, QPoint(500, 200));
    EXPECT_TRUE(kal->Status->text().contains(QStringLiteral("poza obrazem")));
    const QPoint centre = patch(0, 0);
    const auto rowAt = [this](int y) {
        std::vector<Color> pixels;
        pixels.reserve(std::size_t(window->canvas().width()));
        for (int x = 0; x < window->canvas().width(); ++x)
            pixels.push_back(window->canvas().pixel(x, y));
        return pixels;
    };
    const std::vector<Color> unmarked = rowAt(centre.y());
    for (const QPoint& p : fourCorners())
        QTest::mouseClick(window->Client, Qt::LeftButton, {}, p);

    EXPECT_FALSE(kal->pointing());
    EXPECT_EQ(window->Client->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(window->Samples.SampleCount, 0);
    EXPECT_TRUE(dialogs->errors.isEmpty()) << dialogs->errors.join(u'\n').toStdString();
    ASSERT_EQ(kal->Table->rowCount(), 24);
    EXPECT_GT(summary(0, 0), 3.0); // the camera's cast
    EXPECT_LT(summary(0, 1), 0.5);
    EXPECT_LE(summary(0, 1), summary(2, 1));
    // The squares are drawn over the picture: the first patch's left and right edges across
    // its centre.
    const std::vector<Color> marked = rowAt(centre.y());
    int changed = 0;
    for (int x = centre.x() - 20; x <= centre.x() + 20; ++x)
        changed += marked[std::size_t(x)] != unmarked[std::size_t(x)];
    EXPECT_EQ(changed, 2);

    // Ctrl+S writes the report.
    const QString report = dir.filePath(QStringLiteral("raport.csv"));
    dialogs->saveAnswers << report;
    QTest::keyClick(kal.get(), Qt::Key_S, Qt::ControlModifier);
    QFile file(report);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readLine().startsWith("\xEF\xBB\xBFPole;L*ref;a*ref;b*ref;"));
}

TEST_F(KalibracjaTest, EscEndsPointingInEitherWindow)
{
    for (const bool inMain : { true, false }) {
        SCOPED_TRACE(inMain ? "main window" : "Kalibracja");
        pointAt({ patch(0, 0) });
        ASSERT_TRUE(kal->pointing());
        QWidget* target = inMain ? static_cast<QWidget*>(window.get()) : kal.get();
        activate(target);
        QTest::keyClick(target, Qt::Key_Escape);
        EXPECT_FALSE(kal->pointing());
        EXPECT_EQ(window->Client->cursor().shape(), Qt::ArrowCursor);
        // The main window samples again, and nothing was measured.
        window->Button4Click();
        QTest::mouseClick(window->Client, Qt::LeftButton, {}, patch(1, 1));
        EXPECT_EQ(window->Samples.SampleCount, 1);
        EXPECT_EQ(kal->Table->rowCount(), 0);
        EXPECT_FALSE(kal->calibration());
    }
}

TEST_F(KalibracjaTest, BadCornersShowAMessageAndChangeNothing)
{
    pointAt(fourCorners());
    ASSERT_TRUE(kal->calibration());
    const QString before = kal->Summary[0][1]->text();
    const struct {
        const char* what;
        std::vector<QPoint> corners;
        const char* message; // a part of the message
    } cases[] = {
        // The last two swapped: the edges cross.
        { "crossed", { patch(0, 0), patch(0, 5), patch(3, 0), patch(3, 5) }, "wypukłego" },
        // Corners at the picture's edges: the first patch's square leaves it.
        { "off the picture", { shownAt(1, 1), shownAt(598, 1), shownAt(598, 398), shownAt(1, 398) },
            "A1" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        dialogs->errors.clear();
        pointAt(c.corners);
        EXPECT_FALSE(kal->pointing());
        ASSERT_EQ(dialogs->errors.size(), 1);
        EXPECT_TRUE(dialogs->errors[0].contains(QString::fromUtf8(c.message)))
            << dialogs->errors[0].toStdString();
        EXPECT_EQ(kal->Summary[0][1]->text(), before);
        EXPECT_EQ(window->Samples.SampleCount, 0);
    }
}

TEST_F(KalibracjaTest, UsedInKolorymetriaAndKeptForTheNextRun)
{
    // A sample of the patch "Czerwone" (C3) as measured.
    QTest::mouseClick(window->Client, Qt::LeftButton, {}, patch(2, 2));
    ASSERT_EQ(window->Samples.SampleCount, 1);
    const auto sampled = [this] {
        const QAbstractItemModel* m = kolor->Table->model();
        return lab::Lab { m->index(0, TKolorymetria::L).data().toDouble(),
            m->index(0, TKolorymetria::A).data().toDouble(),
            m->index(0, TKolorymetria::Bstar).data().toDouble() };
    };
    const lab::Lab measured = sampled();
    EXPECT_FALSE(kolor->UseCalibration->isEnabled());

    kolor->White->setCurrentIndex(1); // D50, as the chart's values are
    pointAt(fourCorners());
    ASSERT_TRUE(kal->calibration());
    EXPECT_TRUE(kolor->UseCalibration->isEnabled());
    EXPECT_EQ(window->Samples.SampleCount, 1);
    const lab::Lab atD50 = sampled();
    activate(kolor.get());
    QTest::keyClick(kolor.get(), Qt::Key_U, Qt::AltModifier);
    // A mnemonic presses the box a moment later, as a click would look.
    ASSERT_TRUE(QTest::qWaitFor([this] { return kolor->UseCalibration->isChecked(); }));
    const lab::Lab corrected = sampled();
    const lab::Lab reference = calibration::classicChart().patches[14].reference;
    EXPECT_GT(lab::deltaE00(atD50, reference), 3.0);
    EXPECT_LT(lab::deltaE00(corrected, reference), 1.0);
    EXPECT_NE(corrected.L, measured.L);
    EXPECT_TRUE(kolor->Model->text().contains(QStringLiteral("kalibracji")));

    // Kept in a file, the calibration in use comes back at the next start.
    const QString kept = dir.filePath(QStringLiteral("chart.kal"));
    dialogs->calibrationSaveAnswers << kept;
    activate(kal.get());
    QTest::keyClick(kal.get(), Qt::Key_E, Qt::ControlModifier);
    ASSERT_TRUE(QFile::exists(kept));
    dropWindows();
    window.reset();
    ProbnikMain = nullptr;
    window = std::make_unique<TProbnikMain>();
    ProbnikMain = window.get();
    EXPECT_EQ(window->CalibrationFile, QFileInfo(kept).absoluteFilePath());
    makeWindows();
    EXPECT_TRUE(kolor->UseCalibration->isChecked());
    EXPECT_EQ(kal->calibrationPath(), QFileInfo(kept).absoluteFilePath());
    EXPECT_TRUE(dialogs->errors.isEmpty()) << dialogs->errors.join(u'\n').toStdString();
}

} // namespace
