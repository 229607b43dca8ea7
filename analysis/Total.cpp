// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/Total.h"

#include "analysis/AreaStudy.h"
#include "app/Design.h"
#include "app/Main.h"
#include "app/Placement.h"
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
    Bevel1 = bevel(this, "Bevel1", { 9, 8, 296, 243 }); // the bounds block
    Bevel5 = bevel(this, "Bevel5", { 8, 112, 297, 2 }, QFrame::HLine | QFrame::Sunken);

    auto spin = [this](const char* name, int left, int top) {
        auto* s = new TCSpinEdit(this);
        s->setObjectName(QString::fromLatin1(name));
        s->setGeometry(left, top, 49, 22);
        s->setRange(0, 255);
        return s;
    };

    const QFont plain = sansSerif(11);
    const QFont bold = sansSerif(11, true);

    Label1 = label(this, "Label1", { 40, 32 }, QStringLiteral("R"), bold);
    Label2 = label(this, "Label2", { 40, 56 }, QStringLiteral("G"), bold);
    Label3 = label(this, "Label3", { 40, 80 }, QStringLiteral("B"), bold);
    Label4 = label(this, "Label4", { 72, 16 }, QStringLiteral("Min"), plain);
    Label5 = label(this, "Label5", { 120, 16 }, QStringLiteral("Max"), plain);
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

    // The results grid of the statistics window, lower and to the right.
    const ResultGrid grid = buildResultGrid(this, QPoint(20, 115),
        { { "Label7", "Label8", "Label9" }, { "Label10", "Label11", "Label12" },
            { "Bevel2", "Bevel3", "Bevel4" } },
        *this);
    Label7 = grid.columnHeads[0];
    Label8 = grid.columnHeads[1];
    Label9 = grid.columnHeads[2];
    Label10 = grid.rowHeads[0];
    Label11 = grid.rowHeads[1];
    Label12 = grid.rowHeads[2];
    Bevel2 = grid.frames[0];
    Bevel3 = grid.frames[1];
    Bevel4 = grid.frames[2];

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
    for (ValueLabel* mean : { LR, LG, LB, LRS, LGS, LBS })
        mean->setValue(QStringLiteral("0"));
    for (ValueLabel* coefficient : { LRO, LGO, LBO })
        coefficient->setValue(QStringLiteral("--"));
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
    // Frames' right edges in line, 80 pixels below the main window's top.
    const QRect main = ProbnikMain->frameGeometry();
    placeByFrame(
        this,
        [main](QSize frame) {
            return QPoint(main.x() + main.width() - frame.width(), main.y() + TopBelowMain);
        },
        ProbnikMain);
}

void TGlobal::BitBtn1Click()
{
    setStatistics({});

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
    emit studied(study);
    if (Count == 0) {
        ProbnikApplication::dialogs().message(this,
            QStringLiteral("Nie znaleziono ani jednego punktu spełniającego wybrane warunki!"));
        return;
    }
    Label6->setText(QStringLiteral("Punktów: %1").arg(Count));

    setStatistics(study.Stats);
    showStatistics(resultLabels(), statistics());
}

void TGlobal::OKBtnClick()
{
    if (Shower)
        Shower->TypeDrawingColour(meanColour());
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
