#include "analysis/Total.h"

#include "analysis/ChannelStats.h"
#include "app/Design.h"
#include "app/Main.h"
#include "app/ProbnikApplication.h"
#include "app/Surface.h"
#include "demo/Pokaz.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>

#include <iterator>

using namespace probnik;

TGlobal* Global = nullptr;

using namespace design;

namespace {

constexpr int ClientWidth = 312;
constexpr int ClientHeight = 293;
// How far below the main window's top the dialog opens.
constexpr int TopBelowMain = 80;

// The hourglass for as long as the study runs, however it ends.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

} // namespace

TCSpinEdit::TCSpinEdit(QWidget* parent)
    : QSpinBox(parent)
{
    // Text left unfinished is put right by fixup rather than thrown away.
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
}

QValidator::State TCSpinEdit::validate(QString& input, int& pos) const
{
    // No keystroke is refused: a number is put into range only once it is complete.
    const QValidator::State state = QSpinBox::validate(input, pos);
    return state == QValidator::Acceptable ? state : QValidator::Intermediate;
}

void TCSpinEdit::fixup(QString& input) const
{
    input = QString::number(wholeNumberWithin(input.toStdString(), minimum(), maximum()));
}

TGlobal::TGlobal(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Global"));
    setWindowTitle(QStringLiteral("Badanie całego obszaru"));
    buildDesign();
    FormCreate();
}

TGlobal::~TGlobal()
{
    if (Global == this)
        Global = nullptr;
}

void TGlobal::buildDesign()
{
    setFont(sansSerif(11));
    setFixedSize(ClientWidth, ClientHeight);

    // The frames first, so that they lie under the controls they frame.
    auto bevel = [this](const char* name, int left, int top, int width, int height,
                     int shape = QFrame::Box) {
        auto* f = new QFrame(this);
        f->setObjectName(QString::fromLatin1(name));
        f->setFrameStyle(shape | QFrame::Sunken);
        f->setGeometry(left, top, width, height);
        f->setAttribute(Qt::WA_TransparentForMouseEvents);
        return f;
    };
    Bevel1 = bevel("Bevel1", 9, 8, 296, 243); // the bounds block
    Bevel2 = bevel("Bevel2", 124, 121, 169, 33); // the result heads
    Bevel3 = bevel("Bevel3", 24, 152, 102, 81); // the row heads
    Bevel4 = bevel("Bevel4", 124, 152, 169, 81); // the values
    Bevel5 = bevel("Bevel5", 8, 112, 297, 2, QFrame::HLine);

    auto label
        = [this](const char* name, int left, int top, const QString& text, const QFont& font) {
              auto* l = new QLabel(text, this);
              l->setObjectName(QString::fromLatin1(name));
              l->setFont(font);
              l->move(left, top);
              l->adjustSize();
              return l;
          };
    auto rowHead = [this](const char* name, int top, const QString& text, const QFont& font) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QString::fromLatin1(name));
        l->setFont(font);
        l->setAlignment(Qt::AlignRight | Qt::AlignTop);
        l->setGeometry(26, top, 93, 13);
        return l;
    };
    auto spin = [this](const char* name, int left, int top) {
        auto* s = new TCSpinEdit(this);
        s->setObjectName(QString::fromLatin1(name));
        s->setGeometry(left, top, 49, 22);
        s->setRange(0, 255);
        return s;
    };

    const QFont plain = sansSerif(11);
    const QFont bold = sansSerif(11, true);
    const QFont italic = sansSerif(11, false, true);
    const QFont head = sansSerif(16, true);

    Label1 = label("Label1", 40, 32, QStringLiteral("R"), bold);
    Label2 = label("Label2", 40, 56, QStringLiteral("G"), bold);
    Label3 = label("Label3", 40, 80, QStringLiteral("B"), bold);
    Label4 = label("Label4", 72, 16, QStringLiteral("Min"), plain);
    Label5 = label("Label5", 120, 16, QStringLiteral("Max"), plain);
    Rmin = spin("Rmin", 56, 32);
    Rmax = spin("Rmax", 112, 32);
    Gmin = spin("Gmin", 56, 56);
    Gmax = spin("Gmax", 112, 56);
    Bmin = spin("Bmin", 56, 80);
    Bmax = spin("Bmax", 112, 80);

    BitBtn1 = new QPushButton(QStringLiteral("Badanie"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    BitBtn1->setGeometry(208, 32, 75, 25);
    connect(BitBtn1, &QPushButton::clicked, this, &TGlobal::BitBtn1Click);

    Label6 = new QLabel(this);
    Label6->setObjectName(QStringLiteral("Label6"));
    Label6->setGeometry(184, 88, 97, 13);

    Label7 = label("Label7", 148, 128, QStringLiteral("R"), head);
    Label8 = label("Label8", 204, 128, QStringLiteral("G"), head);
    Label9 = label("Label9", 259, 128, QStringLiteral("B"), head);
    Label10 = rowHead("Label10", 160, QStringLiteral("Średnia"), bold);
    Label11 = rowHead("Label11", 184, QStringLiteral("Odchylenie stand."), italic);
    Label12 = rowHead("Label12", 208, QStringLiteral("Wsp. zmienn."), plain);

    LR = label("LR", 144, 160, QString(), bold);
    LG = label("LG", 199, 160, QString(), bold);
    LB = label("LB", 254, 160, QString(), bold);
    LRS = label("LRS", 140, 184, QString(), italic);
    LGS = label("LGS", 196, 184, QString(), italic);
    LBS = label("LBS", 250, 184, QString(), italic);
    LRO = label("LRO", 140, 208, QString(), plain);
    LGO = label("LGO", 196, 208, QString(), plain);
    LBO = label("LBO", 250, 208, QString(), plain);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setGeometry(28, 126, 89, 20);
    Panel1->setAutoFillBackground(true);

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(79, 259, 75, 25);
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, [this] {
        OKBtnClick();
        accept();
    });
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(159, 259, 75, 25);
    connect(CancelBtn, &QPushButton::clicked, this, [this] {
        CancelBtnClick();
        reject();
    });

    // The swatch between "Badanie" and the bounds never takes the focus, so Tab passes it by.
    QWidget* const tabOrder[] = { OKBtn, CancelBtn, BitBtn1, Rmin, Rmax, Gmin, Gmax, Bmin, Bmax };
    for (std::size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    OKBtn->setFocus();
}

void TGlobal::FormCreate()
{
    for (QLabel* mean : { LR, LG, LB, LRS, LGS, LBS })
        setCaption(mean, QStringLiteral("0"));
    for (QLabel* coefficient : { LRO, LGO, LBO })
        setCaption(coefficient, QStringLiteral("--"));
    for (TCSpinEdit* min : { Rmin, Gmin, Bmin })
        min->setValue(0);
    for (TCSpinEdit* max : { Rmax, Gmax, Bmax })
        max->setValue(255);
}

void TGlobal::FormShow()
{
    if (!ProbnikMain)
        return;
    setWindowTitle(ProbnikMain->Selection ? QStringLiteral("Badanie zaznaczonego obszaru")
                                          : QStringLiteral("Badanie całego obszaru"));
    // Right edges in line, 80 pixels below the main window's top. Until the dialog has been
    // on the screen its frame is unknown; the main window's frame stands in for it.
    const QRect main = ProbnikMain->frameGeometry();
    const int outerWidth = isVisible() && frameGeometry().width() > width()
        ? frameGeometry().width()
        : width() + (main.width() - ProbnikMain->width());
    move(main.x() + main.width() - outerWidth, main.y() + TopBelowMain);
}

void TGlobal::BitBtn1Click()
{
    MeanR = MeanG = MeanB = 0;
    StdDevR = StdDevG = StdDevB = 0;
    VarCoefR = VarCoefB = VarCoefG = 0;

    // Text still being typed counts as if the edit had lost the focus.
    for (TCSpinEdit* bound : { Rmin, Rmax, Gmin, Gmax, Bmin, Bmax })
        bound->interpretText();
    const struct {
        const TCSpinEdit* min;
        const TCSpinEdit* max;
        const char* message;
    } checks[] = {
        { Rmin, Rmax, "Rmin jest większe od Rmax." },
        { Gmin, Gmax, "Gmin jest większe od Gmax." },
        { Bmin, Bmax, "Bmin jest większe od Bmax." },
    };
    for (const auto& check : checks)
        if (check.min->value() > check.max->value()) {
            ProbnikApplication::dialogs().message(
                this, QString::fromUtf8(check.message), QStringLiteral("Błędne dane!"));
            return;
        }
    if (!ProbnikMain)
        return;

    const BusyCursor busy;
    const TSqr* selection = ProbnikMain->Selection.get();
    const Rect area = selection
        ? Rect { selection->Left, selection->Top, selection->Right, selection->Bottom }
        : ProbnikMain->DisplayBox;
    // Removes the marks of an earlier study; the selection's outline comes back with it.
    ProbnikMain->FormPaint();

    Count = 0;
    const ChannelBounds bounds { Rmin->value(), Rmax->value(), Gmin->value(), Gmax->value(),
        Bmin->value(), Bmax->value() };
    const AreaStudy study
        = studyArea(ProbnikMain->ScreenCopy, area, bounds, &ProbnikMain->canvas());
    ProbnikMain->Client->update();
    Count = study.Count;
    emit studied(study.Lab);
    if (Count == 0) {
        ProbnikApplication::dialogs().message(this,
            QStringLiteral("Nie znaleziono ani jednego punktu spełniającego wybrane warunki!"));
        return;
    }
    Label6->setText(QStringLiteral("Punktów: %1").arg(Count));

    MeanR = study.Stats.R.Mean;
    MeanG = study.Stats.G.Mean;
    MeanB = study.Stats.B.Mean;
    StdDevR = study.Stats.R.StdDev;
    StdDevG = study.Stats.G.StdDev;
    StdDevB = study.Stats.B.StdDev;
    VarCoefR = study.Stats.R.VarCoef;
    VarCoefB = study.Stats.B.VarCoef;
    VarCoefG = study.Stats.G.VarCoef;

    showStatistics({ { LR, LG, LB }, { LRS, LGS, LBS }, { LRO, LGO, LBO }, Panel1 },
        { { MeanR, StdDevR, VarCoefR }, { MeanG, StdDevG, VarCoefG },
            { MeanB, StdDevB, VarCoefB } });
}

void TGlobal::OKBtnClick()
{
    if (Shower) {
        Shower->REdit->setText(QString::number(MeanR));
        Shower->GEdit->setText(QString::number(MeanG));
        Shower->BEdit->setText(QString::number(MeanB));
    }
    if (ProbnikMain)
        ProbnikMain->Repaint();
}

void TGlobal::CancelBtnClick()
{
    if (ProbnikMain)
        ProbnikMain->Repaint();
}

void TGlobal::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TGlobal::keyPressEvent(QKeyEvent* event)
{
    // Esc is the Cancel button, marks removed; only the close box leaves them.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        CancelBtn->click();
        return;
    }
    QDialog::keyPressEvent(event);
}
