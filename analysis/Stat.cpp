#include "analysis/Stat.h"

#include "analysis/ChannelStats.h"
#include "analysis/Total.h"
#include "app/Design.h"
#include "app/Main.h"
#include "demo/Pokaz.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QStyle>

#include <span>

using namespace probnik;

TStatystyka* Statystyka = nullptr;

using namespace design;

namespace {

// The design's outer size is 295 x 194; the frame around the client area takes 8 x 34.
constexpr int ClientWidth = 295 - 8;
constexpr int ClientHeight = 194 - 34;

} // namespace

TStatystyka::TStatystyka(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Statystyka"));
    setWindowTitle(QStringLiteral("Statystyka"));
    buildDesign();
}

TStatystyka::~TStatystyka()
{
    if (Statystyka == this)
        Statystyka = nullptr;
}

void TStatystyka::buildDesign()
{
    setFont(sansSerif(11));
    setFixedSize(ClientWidth, ClientHeight);

    // The frames first, so that they lie under the labels they frame.
    auto bevel = [this](const char* name, int left, int top, int width, int height) {
        auto* f = new QFrame(this);
        f->setObjectName(QString::fromLatin1(name));
        f->setFrameStyle(QFrame::Box | QFrame::Sunken);
        f->setGeometry(left, top, width, height);
        f->setAttribute(Qt::WA_TransparentForMouseEvents);
        return f;
    };
    Bevel2 = bevel("Bevel2", 104, 6, 169, 33); // the column heads
    Bevel3 = bevel("Bevel3", 4, 37, 102, 81); // the row captions
    Bevel1 = bevel("Bevel1", 104, 37, 169, 81); // the values

    auto label
        = [this](const char* name, int left, int top, const QString& text, const QFont& font) {
              auto* l = new QLabel(text, this);
              l->setObjectName(QString::fromLatin1(name));
              l->setFont(font);
              l->move(left, top);
              l->adjustSize();
              return l;
          };
    auto caption = [this](const char* name, int top, const QString& text, const QFont& font) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QString::fromLatin1(name));
        l->setFont(font);
        l->setAlignment(Qt::AlignRight | Qt::AlignTop);
        l->setGeometry(6, top, 93, 13);
        return l;
    };

    const QFont head = sansSerif(16, true);
    const QFont bold = sansSerif(11, true);
    const QFont italic = sansSerif(11, false, true);
    const QFont plain = sansSerif(11);

    Label1 = label("Label1", 128, 13, QStringLiteral("R"), head);
    Label3 = label("Label3", 184, 13, QStringLiteral("G"), head);
    Label4 = label("Label4", 239, 13, QStringLiteral("B"), head);
    Label2 = caption("Label2", 45, QStringLiteral("Średnia"), bold);
    Label5 = caption("Label5", 69, QStringLiteral("Odchylenie stand."), italic);
    Label6 = caption("Label6", 93, QStringLiteral("Wsp. zmienn."), plain);

    LR = label("LR", 124, 45, QString(), bold);
    LG = label("LG", 179, 45, QString(), bold);
    LB = label("LB", 234, 45, QString(), bold);
    LRS = label("LRS", 120, 69, QString(), italic);
    LGS = label("LGS", 176, 69, QString(), italic);
    LBS = label("LBS", 230, 69, QString(), italic);
    LRO = label("LRO", 120, 93, QString(), plain);
    LGO = label("LGO", 176, 93, QString(), plain);
    LBO = label("LBO", 230, 93, QString(), plain);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setGeometry(8, 11, 89, 20);
    Panel1->setAutoFillBackground(true);
    setSwatch(Panel1, Black);

    BitBtn1 = new QPushButton(QStringLiteral("Zamknij"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    BitBtn1->setGeometry((ClientWidth - 75) / 2, 127, 75, 25);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, [this] {
        BitBtn1Click();
        accept();
    });
}

void TStatystyka::Calculate()
{
    ColourStatistics s;
    if (ProbnikMain) {
        const SampleStore& samples = ProbnikMain->Samples;
        s = sampleStatistics(
            std::span(samples.SampleColors.data(), std::size_t(samples.SampleCount)));
    }
    MeanR = s.R.Mean;
    MeanG = s.G.Mean;
    MeanB = s.B.Mean;
    StdDevR = s.R.StdDev;
    StdDevG = s.G.StdDev;
    StdDevB = s.B.StdDev;
    VarCoefR = s.R.VarCoef;
    VarCoefB = s.B.VarCoef;
    VarCoefG = s.G.VarCoef;
}

void TStatystyka::FormShow()
{
    Calculate();
    showStatistics({ { LR, LG, LB }, { LRS, LGS, LBS }, { LRO, LGO, LBO }, Panel1 },
        { { MeanR, StdDevR, VarCoefR }, { MeanG, StdDevG, VarCoefG },
            { MeanB, StdDevB, VarCoefB } });
}

void TStatystyka::BitBtn1Click()
{
    // The demonstration window takes the colour as if it had been typed in.
    if (Shower) {
        Shower->REdit->setText(QString::number(MeanR));
        Shower->GEdit->setText(QString::number(MeanG));
        Shower->BEdit->setText(QString::number(MeanB));
    }
    if (!ProbnikMain || !Global)
        return;
    // Whatever is typed in "Autozakres" counts, even if its edit still has the focus.
    ProbnikMain->A->interpretText();
    const int k = ProbnikMain->A->value();
    if (k == 0)
        return;
    // The latest results, not new ones. A channel whose band cannot be worked out keeps its
    // bounds; the others are still set.
    const struct {
        int mean;
        float stdDev;
        QSpinBox* min;
        QSpinBox* max;
    } channels[] = {
        { MeanR, StdDevR, Global->Rmin, Global->Rmax },
        { MeanG, StdDevG, Global->Gmin, Global->Gmax },
        { MeanB, StdDevB, Global->Bmin, Global->Bmax },
    };
    for (const auto& c : channels)
        if (const auto band = autoRange(c.mean, c.stdDev, k)) {
            c.min->setValue(band->Min);
            c.max->setValue(band->Max);
        }
}

void TStatystyka::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}
