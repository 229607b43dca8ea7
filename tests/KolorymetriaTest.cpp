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
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>

#include <lcms2.h>

#include <array>
#include <cmath>
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

    // The row's L*, a*, b* as shown, within their last decimal of the published values.
    void expectRow(int r, lab::Lab want) const
    {
        const QStringList cells = row(r);
        const double shown[] = { cells[TKolorymetria::L].toDouble(),
            cells[TKolorymetria::A].toDouble(), cells[TKolorymetria::Bstar].toDouble() };
        const double wanted[] = { want.L, want.a, want.b };
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(shown[i], wanted[i], 0.011) << "row " << r << " value " << i;
    }

    QTemporaryDir dir;
    TOKBottomDlg question;
    std::unique_ptr<TGlobal> study;
    std::unique_ptr<TKolorymetria> kolor;
};

// L*a*b* as published: linear values through the matrix of the space's primaries, Bradford
// to the ICC's D50 and from there to the reference white.
using Vec = std::array<double, 3>;
using Mat = std::array<Vec, 3>;
Vec mul(const Mat& m, Vec v)
{
    Vec r {};
    for (int i = 0; i < 3; ++i)
        r[i] = m[i][0] * v[0] + m[i][1] * v[1] + m[i][2] * v[2];
    return r;
}
Mat product(const Mat& a, const Mat& b)
{
    Mat r {};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j];
    return r;
}
Mat inverse(const Mat& m)
{
    const double d = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1])
        - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0])
        + m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    Mat r {};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const int a = (j + 1) % 3, b = (j + 2) % 3, c = (i + 1) % 3, e = (i + 2) % 3;
            r[i][j] = (m[a][c] * m[b][e] - m[a][e] * m[b][c]) / d;
        }
    return r;
}
Vec xyz(double x, double y)
{
    return { x / y, 1, (1 - x - y) / y };
}
Mat bradford(Vec from, Vec to)
{
    const Mat b = { Vec { 0.8951, 0.2664, -0.1614 }, Vec { -0.7502, 1.7135, 0.0367 },
        Vec { 0.0389, -0.0685, 1.0296 } };
    const Vec s = mul(b, from), d = mul(b, to);
    Mat scale {};
    for (int i = 0; i < 3; ++i)
        scale[i][i] = d[i] / s[i];
    return product(inverse(b), product(scale, b));
}
const Vec IccD50 = { 0.9642, 1, 0.8249 };
const Vec D65 = { 0.95047, 1, 1.08883 };
struct Space {
    double primaries[3][2]; // red, green, blue x, y; white D65
    double (*decode)(double);
    lab::Lab lab(Color c, Vec ref) const
    {
        return lab(Vec { red(c) / 255.0, green(c) / 255.0, blue(c) / 255.0 }, ref);
    }
    lab::Lab lab(Vec value, Vec ref) const
    {
        Mat m {};
        for (int k = 0; k < 3; ++k)
            for (int row = 0; row < 3; ++row)
                m[row][k] = xyz(primaries[k][0], primaries[k][1])[row];
        const Vec white = xyz(0.3127, 0.3290);
        const Vec s = mul(inverse(m), white);
        for (auto& row : m)
            for (int k = 0; k < 3; ++k)
                row[k] *= s[k];
        const Vec linear = { decode(value[0]), decode(value[1]), decode(value[2]) };
        const Vec v = mul(product(bradford(IccD50, ref), bradford(white, IccD50)), mul(m, linear));
        const auto f = [](double t) {
            return t > 216.0 / 24389 ? std::cbrt(t) : (24389.0 / 27 * t + 16) / 116;
        };
        const double fx = f(v[0] / ref[0]), fy = f(v[1]), fz = f(v[2] / ref[2]);
        return { 116 * fy - 16, 500 * (fx - fy), 200 * (fy - fz) };
    }
};
const Space Srgb = { { { 0.64, 0.33 }, { 0.30, 0.60 }, { 0.15, 0.06 } },
    [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); } };
const Space AdobeRgb = { { { 0.64, 0.33 }, { 0.21, 0.71 }, { 0.15, 0.06 } },
    [](double v) { return std::pow(v, 563.0 / 256); } };

QString saveProfile(cmsHPROFILE profile, const QString& path)
{
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    QByteArray bytes(qsizetype(size), 0);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return path;
}

const Color Red = rgb(255, 0, 0);
const Color Green = rgb(0, 255, 0);
const Color Blue = rgb(0, 0, 255);
const Color Skin = rgb(224, 172, 145);

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
    // The file modes' count and L* deviation are not shown, so not copied.
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
        row(1).mid(0, TKolorymetria::Count).join(u'\t') + u'\n');
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
              "L*a*b*, ΔE00 CIEDE2000 (kL = kC = kH = 1); próbka: piksel ekranu; Tolerancja ΔE00 "
              "2.0: w tolerancji 1, poza nią 1\r\n");
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

TEST_F(KolorymetriaTest, TheWhiteChosenMeasuresAtItAndIsKept)
{
    sample(100, 100, Red);
    sample(120, 100, Skin);
    expectRow(1, Srgb.lab(Skin, D65));
    kolor->show();
    kolor->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(kolor.get()));
    QTest::keyClick(kolor.get(), Qt::Key_B, Qt::AltModifier);
    ASSERT_TRUE(kolor->White->hasFocus());
    QTest::keyClick(kolor->White, Qt::Key_Down);
    EXPECT_EQ(kolor->White->currentText(), QStringLiteral("D50"));
    expectRow(0, Srgb.lab(Red, IccD50));
    expectRow(1, Srgb.lab(Skin, IccD50));
    EXPECT_TRUE(kolor->Model->text().contains(QStringLiteral("D50 (Xn 96.42, Yn 100, Zn 82.49)")))
        << kolor->Model->text().toStdString();

    // Kept at exit, and a window made later starts with it.
    kolor.reset();
    window.reset();
    QFile ini(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Probnik.ini"));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ini.readAll().contains("[Kolorymetria]\nBiel=D50\n"));
    window = std::make_unique<TProbnikMain>();
    ProbnikMain = window.get();
    kolor = std::make_unique<TKolorymetria>();
    EXPECT_EQ(kolor->White->currentText(), QStringLiteral("D50"));
}

TEST_F(KolorymetriaTest, AChosenProfileMeasuresUntilTheFileOwnIsBack)
{
    sample(100, 100, Green);
    sample(120, 100, Skin);
    const QString assumed = kolor->Model->text();
    const cmsCIExyY white = { 0.3127, 0.3290, 1 };
    const cmsCIExyYTRIPLE primaries = { { 0.64, 0.33, 1 }, { 0.21, 0.71, 1 }, { 0.15, 0.06, 1 } };
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 563.0 / 256);
    cmsToneCurve* curves[3] = { gamma, gamma, gamma };
    const QString adobe = saveProfile(
        cmsCreateRGBProfile(&white, &primaries, curves), dir.filePath(QStringLiteral("adobe.icc")));
    cmsFreeToneCurve(gamma);
    cmsHPROFILE cmyk = cmsCreateProfilePlaceholder(nullptr);
    cmsSetDeviceClass(cmyk, cmsSigOutputClass);
    cmsSetColorSpace(cmyk, cmsSigCmykData);
    cmsSetPCS(cmyk, cmsSigLabData);
    const QString print = saveProfile(cmyk, dir.filePath(QStringLiteral("druk.icm")));

    // The dialog starts in the user's profiles once there are any.
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", dir.path().toUtf8());
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("icc")));
    dialogs->profileAnswers << adobe;
    kolor->LoadProfile->click();
    qputenv("XDG_DATA_HOME", saved);
    EXPECT_EQ(dialogs->profileDirs, QStringList { dir.filePath(QStringLiteral("icc")) });
    expectRow(0, AdobeRgb.lab(Green, D65));
    expectRow(1, AdobeRgb.lab(Skin, D65));
    EXPECT_TRUE(kolor->Model->text().contains(QStringLiteral("adobe.icc")));
    EXPECT_TRUE(kolor->FileProfile->isEnabled());

    // A CMYK profile cannot describe RGB pixels: the message, and nothing changes.
    const QString chosen = kolor->Model->text();
    dialogs->profileAnswers << print;
    kolor->LoadProfile->click();
    ASSERT_EQ(dialogs->errors.size(), 1);
    EXPECT_TRUE(dialogs->errors[0].contains(QStringLiteral("CMYK")))
        << dialogs->errors[0].toStdString();
    EXPECT_EQ(kolor->Model->text(), chosen);
    expectRow(1, AdobeRgb.lab(Skin, D65));

    kolor->FileProfile->click();
    EXPECT_EQ(kolor->Model->text(), assumed);
    EXPECT_EQ(row(0).mid(4, 3), (QStringList { "87.73", "-86.18", "83.18" }));
    EXPECT_FALSE(kolor->FileProfile->isEnabled());
}

// A picture of 16 bits a channel: its box values give the samples and the area their L*a*b*.
TEST_F(KolorymetriaTest, SixteenBitValuesAreMeasuredWhereTheBoxHoldsThem)
{
    const Rect box = window->DisplayBox;
    const std::array<std::uint16_t, 3> deep = { 51234, 40001, 1027 };
    window->Picture16.clear();
    for (int i = 0; i < (box.Right - box.Left) * (box.Bottom - box.Top); ++i)
        window->Picture16.insert(window->Picture16.end(), deep.begin(), deep.end());
    emit window->pictureOpened();
    sample(box.Left + 5, box.Top + 7, rgb(200, 156, 4));
    EXPECT_EQ(kolor->Table->model()->headerData(TKolorymetria::R, Qt::Horizontal).toString(),
        QStringLiteral("R (16 bit)"));
    EXPECT_EQ(row(0).mid(1, 3), (QStringList { "51234", "40001", "1027" }));
    expectRow(0, Srgb.lab(Vec { deep[0] / 65535.0, deep[1] / 65535.0, deep[2] / 65535.0 }, D65));
    EXPECT_TRUE(kolor->Model->text().contains(QStringLiteral("16 bitów na kanał")));

    study->BitBtn1->click(); // every pixel of the box
    EXPECT_EQ(texts(kolor->AreaMean), row(0).mid(4, 3));
    EXPECT_EQ(texts(kolor->AreaDev), (QStringList { "0.00", "0.00", "0.00" }));
}

namespace {

// A 1200 x 800 bitmap of known values: the box shows it at 400 x 266, each screen pixel
// standing for 3 x 3 or 3 x 4 file pixels.
QImage fileSamplePicture()
{
    QImage image(1200, 800, QImage::Format_RGB888);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixelColor(x, y, QColor((x * 7 + y * 13) % 256, (x + 2 * y) % 256, 90));
    return image;
}

// The mean R, G, B of the picture's pixels in [left, right) x [top, bottom), as the window
// writes them.
QStringList meanOf(const QImage& image, int left, int top, int right, int bottom)
{
    double sum[3] = {};
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) {
            const QColor c = image.pixelColor(x, y);
            sum[0] += c.red();
            sum[1] += c.green();
            sum[2] += c.blue();
        }
    const double n = double(right - left) * (bottom - top);
    return { QString::fromStdString(decimals(sum[0] / n, 2)),
        QString::fromStdString(decimals(sum[1] / n, 2)),
        QString::fromStdString(decimals(sum[2] / n, 2)) };
}

} // namespace

// Chosen from the keyboard, a sample measures the file pixels behind its screen pixel, or a
// square around the pixel shown, cut by the picture's edge.
TEST_F(KolorymetriaTest, SamplesFromTheFileAverageItsOwnPixels)
{
    const QImage image = fileSamplePicture();
    const QString path = dir.filePath(QStringLiteral("blocks.bmp"));
    ASSERT_TRUE(image.save(path, "BMP"));
    open(path);
    ASSERT_EQ(window->DisplayBox.width(), 400);
    ASSERT_EQ(window->DisplayBox.height(), 266);
    // Box pixels (100, 60) and (0, 60): picture rows from 60 * 800 / 266 = 180 to 183.
    QTest::mouseClick(window->Client, Qt::LeftButton, {}, QPoint(110, 110));
    QTest::mouseClick(window->Client, Qt::LeftButton, {}, QPoint(10, 110));
    ASSERT_EQ(rows(), 2);
    EXPECT_TRUE(kolor->Table->isColumnHidden(TKolorymetria::Count));

    kolor->show();
    kolor->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(kolor.get()));
    QTest::keyClick(kolor.get(), Qt::Key_Z, Qt::AltModifier);
    ASSERT_TRUE(kolor->Sample->hasFocus());
    struct Case {
        int downs; // from the mode before
        const char* mode;
        int row;
        QStringList mean;
        const char* count;
    };
    const Case cases[] = {
        { 1, "blok", 0, meanOf(image, 300, 180, 303, 183), "9" },
        { 0, "blok", 1, meanOf(image, 0, 180, 3, 183), "9" },
        { 4, "15 × 15", 0, meanOf(image, 293, 173, 308, 188), "225" },
        { 0, "15 × 15", 1, meanOf(image, 0, 173, 8, 188), "120" },
    };
    for (const Case& c : cases) {
        for (int i = 0; i < c.downs; ++i)
            QTest::keyClick(kolor->Sample, Qt::Key_Down);
        SCOPED_TRACE(c.mode);
        const QStringList cells = row(c.row);
        EXPECT_EQ(cells.mid(TKolorymetria::R, 3), c.mean);
        EXPECT_EQ(cells[TKolorymetria::Count], QString::fromLatin1(c.count));
        EXPECT_FALSE(kolor->Table->isColumnHidden(TKolorymetria::Count));
        EXPECT_TRUE(kolor->Model->text().contains(QString::fromUtf8(c.mode)))
            << kolor->Model->text().toStdString();
    }
    // Kept at exit.
    kolor.reset();
    window.reset();
    QFile ini(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Probnik.ini"));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ini.readAll().contains("[Kolorymetria]\nProbka=15\n"));
}

// The whole area behind a study comes from the file; cancelled, or the file gone, the screen
// pixels' figures stay and the window says why.
TEST_F(KolorymetriaTest, TheWholeAreaFromTheFileAndItsCancel)
{
    const QImage image = fileSamplePicture();
    const QString path = dir.filePath(QStringLiteral("area.bmp"));
    ASSERT_TRUE(image.save(path, "BMP"));
    open(path);
    kolor->show();
    kolor->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(kolor.get()));
    QTest::keyClick(kolor.get(), Qt::Key_O, Qt::AltModifier);
    ASSERT_TRUE(kolor->AreaFrom->hasFocus());
    QTest::keyClick(kolor->AreaFrom, Qt::Key_Down);
    ASSERT_EQ(kolor->AreaFrom->currentText(), QStringLiteral("plik"));

    dialogs->duringOpen = [] { return false; };
    study->BitBtn1->click();
    const QString screen = QStringLiteral("Punktów: %1").arg(400 * 266);
    EXPECT_EQ(kolor->AreaCount->text(), screen);
    EXPECT_TRUE(kolor->FileNote->isVisible());
    EXPECT_TRUE(kolor->FileNote->text().contains(QStringLiteral("przerwane")));
    const QString screenMean = kolor->AreaMean[0]->text();

    dialogs->duringOpen = [] { return true; };
    study->BitBtn1->click();
    EXPECT_EQ(kolor->AreaCount->text(), QStringLiteral("Pikseli pliku: %1").arg(1200 * 800));
    std::vector<Color> all;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            all.push_back(rgb(c.red(), c.green(), c.blue()));
        }
    const lab::LabStatistics whole = lab::areaStatistics(all);
    EXPECT_NEAR(kolor->AreaMean[0]->text().toDouble(), whole.mean.L, 0.011);
    EXPECT_NEAR(kolor->AreaDev[1]->text().toDouble(), whole.stdDev->a, 0.011);

    // The file changed since it was opened: the screen's figures, and why.
    QFile::remove(path);
    study->BitBtn1->click();
    EXPECT_EQ(kolor->AreaCount->text(), screen);
    EXPECT_EQ(kolor->AreaMean[0]->text(), screenMean);
    EXPECT_TRUE(kolor->FileNote->text().contains(QStringLiteral("zniknął")))
        << kolor->FileNote->text().toStdString();
}
