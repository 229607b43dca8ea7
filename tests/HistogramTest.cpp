// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The histogram window over the area study, driven with the keys and the mouse.
#include "tests/MainWindowFixture.h"

#include "analysis/AreaStudy.h"
#include "analysis/Histogram.h"
#include "analysis/Total.h"
#include "analysis/Warn.h"

#include <QChart>
#include <QChartView>
#include <QDir>
#include <QImage>
#include <QLineSeries>
#include <QMouseEvent>
#include <QSpinBox>
#include <QTemporaryDir>

using namespace probnik;

namespace {

const QString Picture = QStringLiteral(PROBNIK_TEST_DATA "/bmpsuite/g/rgb24.bmp");

class HistogramTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        OKBottomDlg = &question;
        open(Picture);
        study = std::make_unique<TGlobal>();
        Global = study.get();
        histogram = std::make_unique<THistogram>();
        Histogram = histogram.get();
        ASSERT_TRUE(dir.isValid());
    }
    void TearDown() override
    {
        histogram.reset();
        study.reset();
        OKBottomDlg = nullptr;
        MainWindowTest::TearDown();
    }

    void showHistogram()
    {
        histogram->show();
        histogram->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(histogram.get()));
    }
    // Where value x of chart c lies on its view.
    QPoint pointOf(int c, double x) const
    {
        QChartView* view = histogram->Charts[std::size_t(c)];
        QChart* chart = view->chart();
        const QPointF at = chart->mapToPosition(
            QPointF(x, 0), qobject_cast<QLineSeries*>(chart->series().value(1)));
        return view->mapFromScene(chart->mapToScene(at)) - QPoint(0, 20);
    }
    void drag(int c, double from, double to)
    {
        QWidget* viewport = histogram->Charts[std::size_t(c)]->viewport();
        const QPoint start = pointOf(c, from);
        const QPoint end = pointOf(c, to);
        QTest::mousePress(viewport, Qt::LeftButton, {}, start);
        for (int step = 1; step <= 4; ++step) {
            const QPoint at = start + (end - start) * step / 4;
            QMouseEvent move(QEvent::MouseMove, QPointF(at), viewport->mapToGlobal(QPointF(at)),
                Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(viewport, &move);
        }
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, end);
    }

    TOKBottomDlg question;
    std::unique_ptr<TGlobal> study;
    std::unique_ptr<THistogram> histogram;
    QTemporaryDir dir;
};

} // namespace

TEST_F(HistogramTest, CtrlHOnTheMainWindowOpensIt)
{
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    EXPECT_FALSE(histogram->isVisible());
    QTest::keyClick(window.get(), Qt::Key_H, Qt::ControlModifier);
    EXPECT_TRUE(histogram->isVisible());
    EXPECT_EQ(histogram->windowTitle(), QStringLiteral("Histogram obszaru"));
    // Before any study: the whole box, every one of its pixels.
    const Rect box = window->DisplayBox;
    EXPECT_TRUE(
        histogram->AreaText->text().contains(QStringLiteral("%1 × %2 punktów ekranu; %3 pikseli")
                                                 .arg(box.width())
                                                 .arg(box.height())
                                                 .arg(box.width() * box.height())))
        << histogram->AreaText->text().toStdString();
}

// Each bound line dragged sets its own edit as typing would, and the study then counts with
// it; the lines of the other bounds stay.
TEST_F(HistogramTest, DraggingABoundLineSetsTheStudysEdit)
{
    showHistogram();
    struct Case {
        int channel;
        int which; // 0 min, 1 max
        int to;
    };
    const Case cases[] = { { 0, 0, 100 }, { 1, 1, 200 }, { 2, 0, 30 }, { 0, 1, 180 } };
    ChannelBounds bounds;
    int* edited[3][2] = { { &bounds.Rmin, &bounds.Rmax }, { &bounds.Gmin, &bounds.Gmax },
        { &bounds.Bmin, &bounds.Bmax } };
    QSpinBox* edits[3][2] = { { study->Rmin, study->Rmax }, { study->Gmin, study->Gmax },
        { study->Bmin, study->Bmax } };
    for (const Case& c : cases) {
        const int before = edits[c.channel][c.which]->value();
        const double line = c.which == 0 ? before - 0.5 : before + 0.5;
        drag(c.channel, line, c.which == 0 ? c.to - 0.5 : c.to + 0.5);
        *edited[c.channel][c.which] = c.to;
        for (int ch = 0; ch < 3; ++ch)
            for (int w = 0; w < 2; ++w) {
                EXPECT_EQ(edits[ch][w]->value(), *edited[ch][w]) << ch << w << " after " << c.to;
                EXPECT_EQ(edits[ch][w]->text(), QString::number(*edited[ch][w]));
            }
    }
    study->BitBtn1->click();
    const AreaStudy expected = studyArea(window->ScreenCopy, window->DisplayBox, bounds, nullptr);
    ASSERT_GT(expected.Count, 0);
    EXPECT_EQ(study->Count, expected.Count);
}

// "Zapisz obraz…" writes what the window shows in the kind the name says, starting in the
// folder of the picture.
TEST_F(HistogramTest, SavesTheDrawingAsSvgAndPng)
{
    showHistogram();
    const QString startDir = window->InitialDir;
    struct Case {
        const char* answer;
        const char* written; // empty: nothing written, an error shown
        const char* kind;
    };
    const Case cases[] = {
        { "h.svg", "h.svg", "svg" },
        { "h.PNG", "h.PNG", "png" },
        { "bare", "bare.png", "png" },
        { "h.jpg", "", "" },
    };
    for (const Case& c : cases) {
        dialogs->imageAnswers << dir.filePath(QString::fromLatin1(c.answer));
        const qsizetype errors = dialogs->errors.size();
        QTest::keyClick(histogram.get(), Qt::Key_S, Qt::ControlModifier);
        const QString written = dir.filePath(QString::fromLatin1(c.written));
        if (*c.written == '\0') {
            EXPECT_EQ(dialogs->errors.size(), errors + 1) << c.answer;
            EXPECT_FALSE(QFile::exists(dir.filePath(QString::fromLatin1(c.answer)))) << c.answer;
            continue;
        }
        EXPECT_EQ(dialogs->errors.size(), errors) << c.answer;
        QFile file(written);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << c.written;
        const QByteArray bytes = file.readAll();
        if (QByteArray(c.kind) == "svg") {
            // Drawn as vector elements: the steps of the bins are paths, the titles texts.
            EXPECT_TRUE(bytes.startsWith("<?xml")) << c.written;
            EXPECT_TRUE(bytes.contains("<path")) << c.written;
            EXPECT_FALSE(bytes.contains("<image")) << c.written;
            EXPECT_TRUE(bytes.contains("w granicach")) << c.written;
        } else {
            const QImage image = QImage::fromData(bytes, "PNG");
            EXPECT_EQ(image.size(), histogram->Drawing->size() * histogram->devicePixelRatio())
                << c.written;
        }
    }
    EXPECT_EQ(dialogs->imageDirs.value(0), startDir);
    EXPECT_EQ(window->InitialDir, QDir::toNativeSeparators(dir.path()));
}
