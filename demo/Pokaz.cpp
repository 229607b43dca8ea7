// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "demo/Pokaz.h"

#include "app/Design.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>

using namespace probnik;
using namespace design;

TShower* Shower = nullptr;

namespace {

// The design's outer size, which is also the least size, and its place on the screen.
constexpr int DesignOuterWidth = 500;
constexpr int DesignOuterHeight = 400;
constexpr QPoint DesignPosition(600, 295);

QRect toQRect(const Rect& r)
{
    return { r.Left, r.Top, r.width(), r.height() };
}

} // namespace

TShower::TShower(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Shower"));
    setWindowTitle(QStringLiteral("Demonstracja koloru"));
    // Closing it only hides it; the program ends with the main window alone.
    setAttribute(Qt::WA_QuitOnClose, false);
    buildDesign();
}

TShower::~TShower()
{
    if (Shower == this)
        Shower = nullptr;
}

void TShower::buildDesign()
{
    const QFont font = sansSerif(11);
    setFont(font);
    const QFont bold = sansSerif(11, true);
    QPalette grey = palette();
    grey.setColor(QPalette::Window, toQColor(WindowGrey));
    setPalette(grey);

    // The bevels come first so that they lie under the controls they frame.
    Bevel1 = bevel(this, "Bevel1", { 4, 4, 345, 64 }, QFrame::Panel | QFrame::Raised);
    Bevel2 = bevel(this, "Bevel2", { 4, 34, 345, 2 }, QFrame::HLine | QFrame::Sunken);

    auto label
        = [this](const char* name, int left, int top, const QString& text, const QFont& labelFont) {
              return design::label(this, name, { left, top }, text, labelFont);
          };
    auto edit = [this](const char* name, int left, int top) {
        auto* e = new QLineEdit(QStringLiteral("255"), this);
        e->setObjectName(QString::fromLatin1(name));
        e->setGeometry(left, top, 41, 21);
        // Also runs when another window sets the text, as the colour exchange needs.
        connect(e, &QLineEdit::textChanged, this, [this] { REditChange(); });
        return e;
    };

    Label9 = label("Label9", 8, 8, QStringLiteral("RYSUNEK"), bold);
    Label1 = label("Label1", 112, 10, QStringLiteral("R:"), bold);
    Label2 = label("Label2", 192, 10, QStringLiteral("G:"), bold);
    Label3 = label("Label3", 272, 10, QStringLiteral("B:"), bold);
    REdit = edit("REdit", 128, 8);
    GEdit = edit("GEdit", 208, 8);
    BEdit = edit("BEdit", 288, 8);
    Label10 = label("Label10", 48, 40, QStringLiteral("TŁO"), bold);
    Label6 = label("Label6", 112, 42, QStringLiteral("R:"), bold);
    Label7 = label("Label7", 192, 42, QStringLiteral("G:"), bold);
    Label8 = label("Label8", 272, 42, QStringLiteral("B:"), bold);
    TR = edit("TR", 128, 40);
    TG = edit("TG", 208, 40);
    TB = edit("TB", 288, 40);

    auto trackBar = [this](const char* name, int left) {
        auto* t = new QSlider(Qt::Vertical, this);
        t->setObjectName(QString::fromLatin1(name));
        t->setGeometry(left, 8, 29, 150);
        t->setRange(0, 40);
        t->setValue(0);
        t->setTickPosition(QSlider::TicksRight);
        t->setTickInterval(1);
        // The least value at the top, and the down key moving towards the greatest.
        t->setInvertedAppearance(true);
        t->setInvertedControls(true);
        return t;
    };
    Rozmiar = trackBar("Rozmiar", 394);
    Label4 = label("Label4", 386, 160, QStringLiteral("Rozmiar"), font);
    Rozstaw = trackBar("Rozstaw", 442);
    Label5 = label("Label5", 434, 160, QStringLiteral("Odstęp"), font);
    connect(Rozmiar, &QSlider::valueChanged, this, [this] { RozmiarChange(); });
    connect(Rozstaw, &QSlider::valueChanged, this, [this] { RozstawChange(); });

    Faktura = new QGroupBox(QStringLiteral("Faktura"), this);
    Faktura->setObjectName(QStringLiteral("Faktura"));
    Faktura->setGeometry(378, 216, 105, 105);
    auto* items = new QVBoxLayout(Faktura);
    // Narrow margins leave the item texts room in the design's 105 pixels.
    items->setContentsMargins(2, 2, 0, 2);
    FakturaGroup = new QButtonGroup(this);
    const QString texts[] = { QStringLiteral("Linie poziome"), QStringLiteral("Linie pionowe"),
        QStringLiteral("Kółka") };
    for (int i = 0; i < int(FakturaItems.size()); ++i) {
        auto* item = new QRadioButton(texts[i], Faktura);
        item->setObjectName(QStringLiteral("FakturaItem%1").arg(i));
        items->addWidget(item);
        FakturaGroup->addButton(item, i);
        FakturaItems[std::size_t(i)] = item;
    }
    FakturaItems[0]->setChecked(true);
    updateFakturaTabStop();
    connect(FakturaGroup, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        updateFakturaTabStop();
        if (checked)
            FakturaClick();
    });

    Button1 = new QPushButton(QStringLiteral("Zakończ"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(200, 335, 75, 25);
    connect(Button1, &QPushButton::clicked, this, &TShower::Button1Click);

    QWidget* const tabOrder[] = { Button1, REdit, GEdit, BEdit, Rozmiar, Rozstaw, FakturaItems[0],
        FakturaItems[1], FakturaItems[2], TR, TG, TB };
    for (std::size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    Button1->setFocus();

    const QSize least(DesignOuterWidth - FrameWidth, DesignOuterHeight - FrameHeight);
    resize(least);
    setMinimumSize(least);
    move(DesignPosition);
}

int TShower::FakturaItemIndex() const
{
    return FakturaGroup->checkedId();
}

void TShower::setFakturaItemIndex(int index)
{
    if (index == FakturaItemIndex())
        return;
    if (index >= 0 && index < int(FakturaItems.size())) {
        FakturaItems[std::size_t(index)]->setChecked(true); // runs FakturaClick
        return;
    }
    QAbstractButton* const chosen = FakturaGroup->checkedButton();
    if (!chosen)
        return;
    // An exclusive group never lets its last checked button go.
    FakturaGroup->setExclusive(false);
    chosen->setChecked(false);
    FakturaGroup->setExclusive(true);
    FakturaClick();
}

void TShower::updateFakturaTabStop()
{
    // Tab enters the group at its chosen item (the first when none is chosen); the arrow keys
    // move between the items.
    const int stop = std::max(FakturaItemIndex(), 0);
    for (int i = 0; i < int(FakturaItems.size()); ++i)
        FakturaItems[std::size_t(i)]->setFocusPolicy(i == stop ? Qt::StrongFocus : Qt::ClickFocus);
}

void TShower::FormShow()
{
    Rozstaw->setValue(Spacing);
    Rozmiar->setValue(TextureSize);
    REditChange();
}

void TShower::REditChange()
{
    QLineEdit* const edits[] = { REdit, GEdit, BEdit, TG, TR, TB };
    int* const fields[] = { &DrawingRed, &DrawingGreen, &DrawingBlue, &BackgroundGreen,
        &BackgroundRed, &BackgroundBlue };
    for (std::size_t i = 0; i < std::size(edits); ++i) {
        const texture::ChannelReading reading
            = texture::readChannel(edits[i]->text().toStdString());
        // The corrected text runs this handler again, which reads all six anew.
        if (!reading.correction.empty())
            edits[i]->setText(QString::fromLatin1(
                reading.correction.data(), qsizetype(reading.correction.size())));
        *fields[i] = reading.value;
    }
    FormPaint();
}

void TShower::RozmiarChange()
{
    TextureSize = Rozmiar->value();
    FormPaint();
}

void TShower::RozstawChange()
{
    Spacing = Rozstaw->value();
    FormPaint();
}

void TShower::FakturaClick()
{
    FormPaint();
}

void TShower::FormPaint()
{
    TextureArea = texture::textureArea(Bevel1->y() + Bevel1->height(), Rozmiar->x(), Button1->y());
    // Stored as drawn; the track bars catch up when the window is next shown.
    TextureSize = texture::atLeastOne(TextureSize);
    Spacing = texture::atLeastOne(Spacing);
    const int item = FakturaItemIndex();
    const auto pattern = item < 0 ? texture::Pattern::None : texture::Pattern(item + 1);
    Painted = texture::compose(pattern, TextureArea, TextureSize, Spacing,
        texture::paintedColour(BackgroundRed, BackgroundGreen, BackgroundBlue),
        texture::paintedColour(DrawingRed, DrawingGreen, DrawingBlue));
    update();
}

void TShower::Button1Click()
{
    hide();
}

void TShower::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TShower::paintEvent(QPaintEvent*)
{
    if (Painted.area.isEmpty())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(toQRect(Painted.area), toQColor(Painted.background));
    const QColor drawing = toQColor(Painted.drawing);
    for (const Rect& r : Painted.rectangles)
        if (!r.isEmpty())
            painter.fillRect(toQRect(r), drawing);
    painter.setPen(QPen(drawing, 1));
    painter.setBrush(drawing);
    // A 1-pixel outline covers one pixel more than the rectangle it is given, so the box is
    // narrowed by one to end before its right and bottom edges.
    for (const Rect& e : Painted.ellipses)
        if (!e.isEmpty())
            painter.drawEllipse(QRect(e.Left, e.Top, e.width() - 1, e.height() - 1));
}

void TShower::TypeDrawingColour(Color colour)
{
    REdit->setText(QString::number(red(colour)));
    GEdit->setText(QString::number(green(colour)));
    BEdit->setText(QString::number(blue(colour)));
}
