// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The colorimetry window following the main window's samples and the area study.
#include "tests/MainWindowFixture.h"

#include "analysis/AreaStudy.h"
#include "analysis/Kolorymetria.h"
#include "analysis/Total.h"
#include "analysis/Warn.h"
#include "app/Surface.h"
#include "common/NumberText.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>

#include <sstream>

using namespace probnik;

namespace {

const QString Picture = QStringLiteral(PROBNIK_TEST_DATA "/bmpsuite/g/rgb24.bmp");

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

class KolorymetriaTest : public MainWindowTest {
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
    }
    void TearDown() override
    {
        kolor.reset();
        study.reset();
        OKBottomDlg = nullptr;
        MainWindowTest::TearDown();
    }
    // A sample of a known colour, painted into ScreenCopy where the click lands.
    void sample(int x, int y, Color c)
    {
        window->ScreenCopy.setPixel(x, y, c);
        QTest::mouseClick(window->Client, Qt::LeftButton, {}, QPoint(x, y));
    }
    QStringList row(int r) const
    {
        QStringList cells;
        for (int c = 0; c < TKolorymetria::ColumnCount; ++c)
            cells << kolor->Table->model()->index(r, c).data().toString();
        return cells;
    }
    int rows() const { return kolor->Table->model()->rowCount(); }
    static QStringList texts(QLabel* const (&labels)[3])
    {
        return { labels[0]->text(), labels[1]->text(), labels[2]->text() };
    }
    void typeReference(const QString& l, const QString& a, const QString& b)
    {
        const std::pair<QLineEdit*, QString> fields[]
            = { { kolor->RefL, l }, { kolor->RefA, a }, { kolor->RefB, b } };
        for (const auto& [edit, text] : fields) {
            edit->clear();
            QTest::keyClicks(edit, text);
        }
        QTest::keyClick(kolor->RefB, Qt::Key_Return);
    }

    QTemporaryDir dir;
    TOKBottomDlg question;
    std::unique_ptr<TGlobal> study;
    std::unique_ptr<TKolorymetria> kolor;
};

const Color Red = rgb(255, 0, 0);
const Color Green = rgb(0, 255, 0);
const Color Blue = rgb(0, 0, 255);

} // namespace

TEST_F(KolorymetriaTest, TheTableFollowsSamplesTakenRemovedAndCleared)
{
    EXPECT_EQ(rows(), 0);
    EXPECT_FALSE(kolor->Zapisz->isEnabled());
    sample(100, 100, Red);
    sample(120, 100, Green);
    sample(140, 100, Blue);
    ASSERT_EQ(rows(), 3);
    // Published values of the sRGB primaries; dE00 to sample 1, the red.
    EXPECT_EQ(row(0).mid(0, 9),
        (QStringList { "1", "255", "0", "0", "53.24", "80.09", "67.20", "104.55", "40.00" }));
    EXPECT_EQ(row(1).mid(4, 3), (QStringList { "87.73", "-86.18", "83.18" }));
    EXPECT_EQ(row(2).mid(4, 3), (QStringList { "32.30", "79.19", "-107.86" }));
    EXPECT_EQ(row(0)[TKolorymetria::DeltaE], "0.00");
    EXPECT_EQ(row(2)[TKolorymetria::DeltaE],
        QString::number(lab::deltaE00(lab::labFromColor(Blue), lab::labFromColor(Red)), 'f', 2));
    const lab::Lab labs[]
        = { lab::labFromColor(Red), lab::labFromColor(Green), lab::labFromColor(Blue) };
    const lab::SampleLabStatistics three = lab::sampleStatistics(labs);
    EXPECT_EQ(texts(kolor->SampleMean),
        (QStringList { QString::number(three.mean.L, 'f', 2), QString::number(three.mean.a, 'f', 2),
            QString::number(three.mean.b, 'f', 2) }));
    EXPECT_EQ(kolor->SampleDev[1]->text(), QString::number(three.stdDev->a, 'f', 2));
    EXPECT_EQ(kolor->SampleSpread->text(), QString::number(three.largestDeltaE00, 'f', 2));

    window->Button1->click();
    EXPECT_EQ(rows(), 2);
    EXPECT_EQ(row(1)[TKolorymetria::Nr], "2");
    window->Button1->click();
    EXPECT_EQ(rows(), 1);
    EXPECT_EQ(texts(kolor->SampleMean), (QStringList { "53.24", "80.09", "67.20" }));
    EXPECT_EQ(texts(kolor->SampleDev), (QStringList { "–", "–", "–" })); // one sample: undefined
    EXPECT_EQ(kolor->SampleSpread->text(), "0.00");

    window->Button4->click();
    EXPECT_EQ(rows(), 0);
    EXPECT_EQ(texts(kolor->SampleMean), (QStringList { "–", "–", "–" }));
    EXPECT_EQ(kolor->Reference->text(), QStringLiteral("Odniesienie: próbka 1 (brak próbek)"));
    EXPECT_FALSE(kolor->Zapisz->isEnabled());
}

TEST_F(KolorymetriaTest, TheReferenceIsARowDoubleClickedOrTypedValues)
{
    sample(100, 100, Red);
    sample(120, 100, Green);
    sample(140, 100, Blue);
    kolor->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(kolor.get()));
    EXPECT_EQ(kolor->Reference->text(), QStringLiteral("Odniesienie: próbka 1"));

    const QRect third = kolor->Table->visualRect(kolor->Table->model()->index(2, 4));
    // A double click as the mouse sends it: a press and release, then the second press.
    QTest::mouseClick(kolor->Table->viewport(), Qt::LeftButton, {}, third.center());
    QTest::mouseDClick(kolor->Table->viewport(), Qt::LeftButton, {}, third.center());
    EXPECT_EQ(kolor->Reference->text(), QStringLiteral("Odniesienie: próbka 3"));
    EXPECT_EQ(row(2)[TKolorymetria::DeltaE], "0.00");
    EXPECT_NE(row(0)[TKolorymetria::DeltaE], "0.00");

    // Typed values: a point or a comma; anything else keeps the reference and says which.
    const struct {
        const char *l, *a, *b;
        QString reference; // empty: unchanged, with a note naming the fields
        QString note;
    } cases[] = {
        { "53.2408", "80,0925", " 67.2032 ", "Odniesienie: L* 53.24 a* 80.09 b* 67.20 (wpisane)",
            {} },
        { "50", "abc", "1e2", {}, "Niepoprawne a*, b*" },
        { "100.5", "0", "0", {}, "Niepoprawne L*" },
        { "", "0", "-0", {}, "Niepoprawne L*" },
        { "0", "-12.5", ".5", "Odniesienie: L* 0.00 a* -12.50 b* 0.50 (wpisane)", {} },
    };
    QString reference = kolor->Reference->text();
    for (const auto& c : cases) {
        typeReference(QString::fromUtf8(c.l), QString::fromUtf8(c.a), QString::fromUtf8(c.b));
        if (!c.reference.isEmpty())
            reference = c.reference;
        EXPECT_EQ(kolor->Reference->text(), reference) << c.l << " " << c.a << " " << c.b;
        EXPECT_EQ(kolor->RefNote->isVisible(), !c.note.isEmpty());
        if (!c.note.isEmpty()) {
            EXPECT_TRUE(kolor->RefNote->text().startsWith(c.note))
                << kolor->RefNote->text().toStdString();
        }
    }
    typeReference("53.2408", "80.0925", "67.2032");
    EXPECT_EQ(row(0)[TKolorymetria::DeltaE], "0.00"); // the red, typed in

    // A chosen sample that is removed hands the reference back to sample 1.
    kolor->chooseSample(2);
    EXPECT_EQ(kolor->RefL->text(), QString());
    window->Button1->click();
    EXPECT_EQ(kolor->Reference->text(), QStringLiteral("Odniesienie: próbka 1"));

    // Ctrl+C: the selected rows as shown, tab-separated.
    kolor->Table->selectRow(1);
    kolor->Table->setFocus();
    QTest::keyClick(kolor->Table, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), row(1).join(u'\t') + u'\n');
}

TEST_F(KolorymetriaTest, CtrlLOnTheMainWindowOpensIt)
{
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    EXPECT_FALSE(kolor->isVisible());
    QTest::keyClick(window.get(), Qt::Key_L, Qt::ControlModifier);
    EXPECT_TRUE(kolor->isVisible());
    EXPECT_EQ(kolor->windowTitle(), QStringLiteral("Kolorymetria"));
}

TEST_F(KolorymetriaTest, ZapiszWritesTheTableWholeAfterTheQuestions)
{
    sample(100, 100, Red);
    sample(120, 100, rgb(128, 128, 128));
    window->Edit1->setText(QStringLiteral(","));
    kolor->chooseSample(1);
    kolor->show();
    kolor->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(kolor.get()));

    const QString path = dir.filePath(QStringLiteral("lab.csv"));
    const QString startDir = window->InitialDir;
    dialogs->saveAnswers << path;
    QTest::keyClick(kolor.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(dialogs->saveDirs, QStringList { startDir });
    EXPECT_EQ(contents(path),
        QByteArray("\xEF\xBB\xBFNr,R,G,B,L*,a*,b*,C*,h,dE00\r\n"
                   "1,255,0,0,53.2408,80.0925,67.2032,104.5518,39.9990,")
            + QByteArray::fromStdString(
                fourDecimals(lab::deltaE00(lab::labFromColor(Red), lab::labFromRgb(128, 128, 128))))
            + QByteArray("\r\n2,128,128,128,53.5850,0.0000,0.0000,0.0000,0.0000,0.0000\r\n")
            + "Model barw: sRGB (IEC 61966-2-1), przyjęty: plik nie opisuje swoich barw, biel "
              "odniesienia D65 (Xn 95.047, Yn 100, Zn 108.883), 8 bitów na kanał, CIE 1976 "
              "L*a*b*, ΔE00 CIEDE2000 (kL = kC = kH = 1)\r\n");
    EXPECT_EQ(window->InitialDir, QDir::toNativeSeparators(dir.path()));

    // "Nie" keeps the file; "Tak" replaces it.
    const QByteArray first = contents(path);
    window->Button1->click();
    dialogs->onModal = [](QDialog*) { return int(QDialog::Rejected); };
    dialogs->saveAnswers << path;
    kolor->Zapisz->click();
    EXPECT_EQ(dialogs->modals, QList<QDialog*> { &question });
    EXPECT_EQ(contents(path), first);
    dialogs->onModal = [](QDialog*) { return int(QDialog::Accepted); };
    dialogs->saveAnswers << path;
    kolor->Zapisz->click();
    EXPECT_EQ(contents(path).count("\r\n"), 3);

    // A path that cannot be created: the error box, nothing else changes.
    const QString folder = window->InitialDir;
    const QString bad = dir.filePath(QStringLiteral("lab.csv/x.csv"));
    dialogs->saveAnswers << bad;
    kolor->Zapisz->click();
    EXPECT_EQ(dialogs->errors,
        QStringList { QStringLiteral("Cannot create file ") + QDir::toNativeSeparators(bad) });
    EXPECT_EQ(window->InitialDir, folder);
}

TEST_F(KolorymetriaTest, AnAreaStudyShowsItsMatchesInLab)
{
    sample(100, 100, Red);
    const ChannelBounds bounds { 0, 120, 0, 255, 0, 255 };
    study->Rmax->setValue(bounds.Rmax);
    study->BitBtn1->click();

    std::vector<Color> matches;
    const Rect box = window->DisplayBox;
    for (int y = box.Top; y < box.Bottom; ++y)
        for (int x = box.Left; x < box.Right; ++x)
            if (bounds.admits(window->ScreenCopy.pixel(x, y)))
                matches.push_back(window->ScreenCopy.pixel(x, y));
    ASSERT_GT(matches.size(), 1u);
    const lab::LabStatistics area = lab::areaStatistics(matches);
    EXPECT_EQ(kolor->AreaCount->text(), QStringLiteral("Punktów: %1").arg(matches.size()));
    EXPECT_EQ(texts(kolor->AreaMean),
        (QStringList { QString::number(area.mean.L, 'f', 2), QString::number(area.mean.a, 'f', 2),
            QString::number(area.mean.b, 'f', 2) }));
    EXPECT_EQ(kolor->AreaDev[2]->text(), QString::number(area.stdDev->b, 'f', 2));
    EXPECT_EQ(kolor->AreaDeltaE->text(),
        QString::number(lab::deltaE00(area.mean, lab::labFromColor(Red)), 'f', 2));
    // The reference changed, the area's dE00 follows.
    typeReference("0", "0", "0");
    EXPECT_EQ(
        kolor->AreaDeltaE->text(), QString::number(lab::deltaE00(area.mean, lab::Lab {}), 'f', 2));

    // A study without a match empties the area's figures.
    for (auto [spin, value] : { std::pair { study->Rmin, 1 }, { study->Rmax, 1 },
             { study->Gmin, 254 }, { study->Gmax, 254 }, { study->Bmin, 3 }, { study->Bmax, 3 } })
        spin->setValue(value);
    study->BitBtn1->click();
    EXPECT_EQ(kolor->AreaCount->text(), QStringLiteral("Punktów: 0"));
    EXPECT_EQ(texts(kolor->AreaMean), (QStringList { "–", "–", "–" }));
    EXPECT_EQ(kolor->AreaDeltaE->text(), "–");
}

// At the window's least size every value still shows the widest one it can be given: blue's
// b*, the widest mean, and the count of the whole box.
TEST_F(KolorymetriaTest, EveryValueHoldsItsWidestTextAtTheLeastSize)
{
    kolor->show();
    kolor->resize(1, 1);
    const QString widest = QString::fromStdString(decimals(lab::labFromColor(Blue).b, 2));
    std::vector<QLabel*> values { kolor->SampleSpread, kolor->AreaDeltaE };
    for (int i = 0; i < 3; ++i)
        for (QLabel* l :
            { kolor->SampleMean[i], kolor->SampleDev[i], kolor->AreaMean[i], kolor->AreaDev[i] })
            values.push_back(l);
    for (QLabel* l : values)
        l->setText(widest);
    kolor->AreaCount->setText(QStringLiteral("Punktów: %1").arg(400 * 400));
    values.push_back(kolor->AreaCount);
    kolor->layout()->activate();
    for (const QLabel* l : values) {
        EXPECT_GE(l->width(), l->fontMetrics().horizontalAdvance(l->text()))
            << l->text().toStdString();
        EXPECT_TRUE(l->parentWidget()->contentsRect().contains(l->geometry()));
    }
}
