// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/Histogram.h"

#include "analysis/FileSampling.h"

#include "analysis/Kolorymetria.h"
#include "analysis/SaveImage.h"
#include "analysis/Total.h"
#include "app/Main.h"
#include "app/Placement.h"
#include "app/ProbnikApplication.h"
#include "colour/ColourProfile.h"
#include "common/Progress.h"
#include "picture/FileRegions.h"

#include <QAction>
#include <QAreaSeries>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShowEvent>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

using namespace probnik;
using namespace probnik::histogram;

THistogram* Histogram = nullptr;

namespace {

// How near the pointer must come to a bound line to take it, in pixels.
constexpr int GrabDistance = 6;

const QColor ChannelColours[3] = { QColor(200, 30, 30), QColor(20, 150, 40), QColor(30, 60, 210) };
const QColor LchColour(90, 90, 90);

// The part of the bins from..to (inclusive) as steps: each bin k a flat top from k - 0.5 to
// k + 0.5, down to 0 at both ends.
QList<QPointF> steps(const Bins& bins, int from, int to, Scale scale)
{
    QList<QPointF> points;
    if (from > to)
        return points;
    points.reserve((to - from + 2) * 2);
    points.append({ from - 0.5, 0 });
    for (int k = from; k <= to; ++k) {
        const double y = height(bins[std::size_t(k)], scale);
        points.append({ k - 0.5, y });
        points.append({ k + 0.5, y });
    }
    points.append({ to + 0.5, 0 });
    return points;
}

} // namespace

// One histogram with its two bound lines. Qt Charts draws every part of it; what it does not
// give is taking a line with the mouse, which is done here on the view's own mouse events.
class BoundChartView : public QChartView {
public:
    explicit BoundChartView(QWidget* parent)
        : QChartView(new QChart, parent)
    {
        setRenderHint(QPainter::Antialiasing, false);
        setMouseTracking(true);
        chart()->legend()->hide();
        chart()->setMargins(QMargins(4, 4, 4, 4));
        chart()->setBackgroundRoundness(0);
        outline = new QLineSeries(chart());
        inside = new QLineSeries(chart());
        filled = new QAreaSeries(inside);
        for (QLineSeries*& line : bounds)
            line = new QLineSeries(chart());
        chart()->addSeries(filled);
        chart()->addSeries(outline);
        for (QLineSeries* line : bounds)
            chart()->addSeries(line);
    }

    QLineSeries* outline = nullptr; // every bin, outlined
    QLineSeries* inside = nullptr; // the bins within the bounds ...
    QAreaSeries* filled = nullptr; // ... filled
    std::array<QLineSeries*, 2> bounds {}; // min, max
    // Where the bound lines stand, on the value axis; none where the chart has no bounds.
    std::optional<std::array<double, 2>> boundsAt;
    std::function<void(int which, double x)> dragged;

    // New axes: x from first - 0.5 to last + 0.5, y up to top (the drawn height), with the
    // marks of a logarithmic scale where given.
    void setAxes(int first, int last, double top, const std::vector<Tick>* logMarks)
    {
        for (QAbstractAxis* axis : chart()->axes()) {
            chart()->removeAxis(axis);
            delete axis;
        }
        auto* x = new QValueAxis;
        x->setRange(first - 0.5, last + 0.5);
        x->setLabelFormat(QStringLiteral("%d"));
        x->setTickType(QValueAxis::TicksDynamic);
        x->setTickAnchor(0);
        x->setTickInterval(last - first >= 200 ? 50 : last - first > 120 ? 25 : 10);
        x->setMinorTickCount(0);
        chart()->addAxis(x, Qt::AlignBottom);
        QAbstractAxis* y = nullptr;
        if (logMarks) {
            auto* marks = new QCategoryAxis;
            marks->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
            marks->setStartValue(0);
            for (const Tick& t : *logMarks)
                marks->append(QString::fromStdString(t.label), t.at);
            marks->setRange(0, std::max(top, logMarks->back().at));
            y = marks;
        } else {
            auto* values = new QValueAxis;
            values->setRange(0, std::max(top, 1.0));
            values->setLabelFormat(QStringLiteral("%d"));
            values->applyNiceNumbers();
            y = values;
        }
        chart()->addAxis(y, Qt::AlignLeft);
        for (QAbstractSeries* series : chart()->series()) {
            series->attachAxis(x);
            series->attachAxis(y);
        }
    }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        m_dragging = event->button() == Qt::LeftButton ? lineNear(event->position()) : -1;
        if (m_dragging < 0)
            QChartView::mousePressEvent(event);
    }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (m_dragging >= 0 && (event->buttons() & Qt::LeftButton)) {
            if (dragged)
                dragged(m_dragging, valueAt(event->position()));
            return;
        }
        setCursor(lineNear(event->position()) >= 0 ? Qt::SizeHorCursor : Qt::ArrowCursor);
        QChartView::mouseMoveEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (m_dragging >= 0 && event->button() == Qt::LeftButton) {
            if (dragged)
                dragged(m_dragging, valueAt(event->position()));
            m_dragging = -1;
            return;
        }
        QChartView::mouseReleaseEvent(event);
    }

private:
    double valueAt(QPointF at) const
    {
        return chart()->mapToValue(chart()->mapFromScene(mapToScene(at.toPoint())), outline).x();
    }
    double pixelOf(double x) const
    {
        return QPointF(mapFromScene(chart()->mapToScene(chart()->mapToPosition({ x, 0 }, outline))))
            .x();
    }
    // The bound line under the pointer, the nearer of the two: 0 min, 1 max, -1 none.
    int lineNear(QPointF at) const
    {
        if (!boundsAt)
            return -1;
        int best = -1;
        double nearest = GrabDistance + 0.5;
        for (int which = 0; which < 2; ++which) {
            const double d = std::abs(pixelOf((*boundsAt)[std::size_t(which)]) - at.x());
            // The max line wins a tie, so that lines on one another still come apart.
            if (d < nearest || (best >= 0 && d <= nearest)) {
                nearest = d;
                best = which;
            }
        }
        return best;
    }

    int m_dragging = -1;
};

THistogram::THistogram(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Histogram"));
    setWindowTitle(QStringLiteral("Histogram obszaru"));
    buildDesign();

    if (Global) {
        connect(Global, &TGlobal::studied, this, &THistogram::studied);
        for (QSpinBox* edit : boundEdits())
            connect(edit, &QSpinBox::valueChanged, this, &THistogram::drawBounds);
    }
    if (ProbnikMain)
        connect(ProbnikMain, &TProbnikMain::pictureOpened, this, &THistogram::pictureOpened);
    if (Kolorymetria) {
        connect(Kolorymetria, &TKolorymetria::modelChanged, this, &THistogram::modelChanged);
        connect(Kolorymetria, &TKolorymetria::areaSourceChanged, this, &THistogram::sourceChanged);
    }
}

THistogram::~THistogram()
{
    if (Histogram == this)
        Histogram = nullptr;
}

void THistogram::buildDesign()
{
    auto* layout = new QVBoxLayout(this);

    auto* controls = new QHBoxLayout;
    RgbButton = new QRadioButton(QStringLiteral("&RGB"), this);
    RgbButton->setObjectName(QStringLiteral("RgbButton"));
    RgbButton->setChecked(true);
    LchButton = new QRadioButton(QStringLiteral("L*, C*, &h"), this);
    LchButton->setObjectName(QStringLiteral("LchButton"));
    LogScale = new QCheckBox(QStringLiteral("Skala &logarytmiczna"), this);
    LogScale->setObjectName(QStringLiteral("LogScale"));
    SaveButton = new QPushButton(QStringLiteral("&Zapisz obraz…"), this);
    SaveButton->setObjectName(QStringLiteral("SaveButton"));
    controls->addWidget(RgbButton);
    controls->addWidget(LchButton);
    controls->addSpacing(16);
    controls->addWidget(LogScale);
    controls->addStretch();
    controls->addWidget(SaveButton);
    layout->addLayout(controls);

    Drawing = new QWidget(this);
    Drawing->setObjectName(QStringLiteral("Drawing"));
    Drawing->setAutoFillBackground(true);
    auto* drawn = new QVBoxLayout(Drawing);
    drawn->setContentsMargins(0, 0, 0, 0);
    AreaText = new QLabel(Drawing);
    AreaText->setObjectName(QStringLiteral("AreaText"));
    drawn->addWidget(AreaText);
    for (std::size_t c = 0; c < Charts.size(); ++c) {
        auto* view = new BoundChartView(Drawing);
        view->setObjectName(QStringLiteral("Chart%1").arg(c));
        view->setMinimumSize(480, 170);
        view->dragged = [this, c](int which, double x) { dragBound(int(c), which, x); };
        Charts[c] = view;
        drawn->addWidget(view, 1);
    }
    ClippedText = new QLabel(Drawing);
    ClippedText->setObjectName(QStringLiteral("ClippedText"));
    drawn->addWidget(ClippedText);
    layout->addWidget(Drawing, 1);

    SaveAction = new QAction(QStringLiteral("Zapisz obraz…"), this);
    SaveAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    SaveAction->setShortcutContext(Qt::WindowShortcut);
    addAction(SaveAction);
    connect(SaveAction, &QAction::triggered, this, &THistogram::ZapiszObrazClick);
    connect(SaveButton, &QPushButton::clicked, this, &THistogram::ZapiszObrazClick);
    connect(RgbButton, &QRadioButton::toggled, this, [this] { redraw(); });
    connect(LogScale, &QCheckBox::toggled, this, [this] { redraw(); });
}

std::array<QSpinBox*, 6> THistogram::boundEdits() const
{
    if (!Global)
        return {};
    return { Global->Rmin, Global->Rmax, Global->Gmin, Global->Gmax, Global->Bmin, Global->Bmax };
}

Rect THistogram::area() const
{
    if (m_studied)
        return *m_studied;
    return ProbnikMain ? ProbnikMain->DisplayBox : Rect {};
}

bool THistogram::measuresFile() const
{
    // The colorimetry's choice of the area's pixels decides, for both windows alike.
    return ProbnikMain && ProbnikMain->LabArea == AreaSource::File;
}

void THistogram::studied(const AreaStudy& study)
{
    (void)study; // the rectangle is what the study visited, not what it found
    if (!ProbnikMain)
        return;
    const TSqr* selection = ProbnikMain->Selection.get();
    m_studied = selection
        ? Rect { selection->Left, selection->Top, selection->Right, selection->Bottom }
        : ProbnikMain->DisplayBox;
    m_stale = true;
    if (isVisible())
        refresh();
}

void THistogram::pictureOpened()
{
    // The last study was of the picture that is gone.
    m_studied.reset();
    m_stale = true;
    if (isVisible())
        refresh();
}

void THistogram::sourceChanged()
{
    m_stale = true;
    if (isVisible())
        refresh();
}

void THistogram::modelChanged()
{
    m_lchRead = false;
    if (isVisible() && LchButton->isChecked())
        redraw();
}

void THistogram::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    if (!m_placed && ProbnikMain) {
        m_placed = true;
        // Beside the main window on its right, as far as the screen lets it.
        const QRect main = ProbnikMain->frameGeometry();
        const QRect screen = ProbnikMain->screen()->availableGeometry();
        placeByFrame(
            this,
            [main, screen](QSize frame) {
                return QPoint(
                    std::max(screen.left(),
                        std::min(main.x() + main.width(), screen.right() + 1 - frame.width())),
                    std::max(screen.top(), main.y()));
            },
            ProbnikMain);
    }
    if (m_stale)
        refresh();
}

void THistogram::refresh()
{
    m_stale = false;
    m_lchRead = false;
    const bool lch = LchButton->isChecked();
    if (!measuresFile() || !readFile(lch))
        readScreen(lch);
    showTexts();
    redraw();
}

namespace {

// The colour model of L*, C*, h: the colorimetry's, else sRGB at D65.
struct Model {
    std::unique_ptr<colour::LabConverter> own;
    const colour::LabConverter* converter = nullptr;
    int bits = 8;
};

Model colourModel()
{
    Model m;
    if (Kolorymetria) {
        m.converter = &Kolorymetria->converter();
        m.bits = Kolorymetria->bits();
    } else {
        m.own = std::make_unique<colour::LabConverter>(
            colour::ColourProfile::assumedSrgb(colour::PixelKind::Rgb),
            colour::ReferenceWhite::D65);
        m.converter = m.own.get();
    }
    return m;
}

} // namespace

void THistogram::readScreen(bool lch)
{
    m_depth = 8;
    if (!ProbnikMain) {
        m_rgb = {};
        m_lch = {};
        return;
    }
    m_rgb = screenHistogram(ProbnikMain->ScreenCopy, area());
    if (lch) {
        const Model model = colourModel();
        m_lch = screenLch(ProbnikMain->ScreenCopy, area(), *model.converter, model.bits,
            DeepValues { &ProbnikMain->Picture16, ProbnikMain->DisplayBox });
        m_lchRead = true;
    }
}

bool THistogram::readFile(bool lch)
{
    if (!ProbnikMain || ProbnikMain->PicturePath.isEmpty())
        return false;
    if (!ProbnikMain->pictureFileUnchanged()) {
        ProbnikApplication::showError(this,
            QStringLiteral("Plik obrazu zmienił się od otwarcia; histogram pokazuje piksele "
                           "ekranu."));
        return false;
    }
    const Rect box = ProbnikMain->DisplayBox;
    const Rect shown = area();
    const Rect region = areaRegion({ shown.Left - box.Left, shown.Top - box.Top,
                                       shown.Right - box.Left, shown.Bottom - box.Top },
        { box.width(), box.height() }, { ProbnikMain->ImageWidth, ProbnikMain->ImageHeight });
    const Model model = colourModel();
    HistogramSink sink(lch ? model.converter : nullptr, model.bits);
    Progress progress(ProbnikApplication::dialogs().openProgress(this));
    const auto read = readFileRegions(
        ProbnikMain->PicturePath.toStdString(), std::span(&region, 1), sink, progress);
    if (!read) {
        // Cancelled, the screen's pixels are shown as they were before the file was asked for.
        if (!read.error().cancelled)
            ProbnikApplication::showError(this, QString::fromStdString(read.error().message));
        return false;
    }
    m_rgb = sink.rgb();
    m_depth = sink.depth();
    if (lch) {
        m_lch = sink.lch();
        m_lchRead = true;
    }
    return true;
}

void THistogram::showTexts()
{
    const Rect a = area();
    const QString what
        = m_studied ? QStringLiteral("Obszar badania") : QStringLiteral("Cała ramka");
    AreaText->setText(
        QStringLiteral("%1: od (%2, %3), %4 × %5 punktów ekranu; %6 pikseli %7")
            .arg(what)
            .arg(a.Left)
            .arg(a.Top)
            .arg(std::max(a.width(), 0))
            .arg(std::max(a.height(), 0))
            .arg(m_rgb.pixels)
            .arg(measuresFile() ? QStringLiteral("pliku") : QStringLiteral("ekranu")));
    const int top = m_depth > 8 ? 65535 : 255;
    ClippedText->setText(QStringLiteral("Przycięte piksele (kanał na 0 lub %1): %2 (%3 z %4)")
                             .arg(top)
                             .arg(QString::fromStdString(clippedShare(m_rgb.clipped, m_rgb.pixels)))
                             .arg(m_rgb.clipped)
                             .arg(m_rgb.pixels));
}

void THistogram::redraw()
{
    const bool lch = LchButton->isChecked();
    if (lch && !m_lchRead) {
        refresh(); // comes back here with the L*, C*, h read
        return;
    }
    const Scale scale = LogScale->isChecked() ? Scale::Logarithmic : Scale::Linear;
    const QString names[2][3] = { { QStringLiteral("R"), QStringLiteral("G"), QStringLiteral("B") },
        { QStringLiteral("L*"), QStringLiteral("C*"), QStringLiteral("h [°]") } };
    for (std::size_t c = 0; c < Charts.size(); ++c) {
        auto* view = static_cast<BoundChartView*>(Charts[c]);
        const Bins& bins = lch ? (c == 0    ? m_lch.L
                                   : c == 1 ? m_lch.C
                                            : m_lch.h)
                               : m_rgb.channels[c];
        const int last = int(bins.size()) - 1;
        const std::uint64_t highest = *std::max_element(bins.begin(), bins.end());
        const std::vector<Tick> marks = logTicks(highest);
        view->setAxes(0, last, histogram::height(highest, scale) * 1.05,
            scale == Scale::Logarithmic ? &marks : nullptr);
        const QColor colour = lch ? LchColour : ChannelColours[c];
        view->outline->setPen(QPen(colour, 1));
        view->outline->replace(steps(bins, 0, last, scale));
        QColor fill = colour;
        fill.setAlpha(150);
        view->filled->setBrush(fill);
        view->filled->setPen(Qt::NoPen);
        for (QLineSeries* line : view->bounds)
            line->setPen(QPen(colour.darker(150), 2));
        view->chart()->setTitle(names[lch ? 1 : 0][c]);
    }
    if (lch)
        Charts[2]->chart()->setTitle(
            QStringLiteral("h [°] (bez odcienia: %1 pikseli)").arg(m_lch.hueless));
    drawBounds();
}

void THistogram::drawBounds()
{
    // Nothing is drawn before the window is first shown.
    if (m_stale)
        return;
    const bool lch = LchButton->isChecked();
    const Scale scale = LogScale->isChecked() ? Scale::Logarithmic : Scale::Linear;
    const auto edits = boundEdits();
    for (std::size_t c = 0; c < Charts.size(); ++c) {
        auto* view = static_cast<BoundChartView*>(Charts[c]);
        if (lch || !edits[0]) {
            // L*, C* and h have no bounds: all of each is filled.
            const Bins& bins = c == 0 ? m_lch.L : c == 1 ? m_lch.C : m_lch.h;
            view->inside->replace(lch ? steps(bins, 0, int(bins.size()) - 1, scale)
                                      : steps(m_rgb.channels[c], 0, ChannelLevels - 1, scale));
            view->boundsAt.reset();
            for (QLineSeries* line : view->bounds)
                line->clear();
            continue;
        }
        const int min = edits[c * 2]->value();
        const int max = edits[c * 2 + 1]->value();
        const Bins& bins = m_rgb.channels[c];
        view->inside->replace(steps(bins, min, std::min(max, ChannelLevels - 1), scale));
        // The marks of the logarithmic scale are a value axis too.
        const auto* heights = qobject_cast<QValueAxis*>(view->chart()->axes(Qt::Vertical).value(0));
        const double top = heights ? heights->max() : 1.0;
        const std::array<double, 2> at { min - 0.5, max + 0.5 };
        view->boundsAt = at;
        for (std::size_t which = 0; which < 2; ++which)
            view->bounds[which]->replace({ QPointF(at[which], 0), QPointF(at[which], top) });
        const Split s = split(bins, min, max);
        view->chart()->setTitle(QStringLiteral("%1: %2 z %3 w granicach %4–%5")
                                    .arg(c == 0      ? QStringLiteral("R")
                                            : c == 1 ? QStringLiteral("G")
                                                     : QStringLiteral("B"))
                                    .arg(s.inside)
                                    .arg(s.inside + s.outside)
                                    .arg(min)
                                    .arg(max));
    }
}

void THistogram::dragBound(int channel, int which, double x)
{
    const auto edits = boundEdits();
    QSpinBox* edit = edits[std::size_t(channel) * 2 + std::size_t(which)];
    if (!edit)
        return;
    // The min line stands at min - 0.5, the max line at max + 0.5.
    const int value
        = std::clamp(int(std::lround(which == 0 ? x + 0.5 : x - 0.5)), 0, ChannelLevels - 1);
    if (edit->text() == QString::number(value))
        return;
    // As a person types it: the edit's text replaced through its line, which the spin edit
    // reads as it reads keystrokes.
    auto* line = edit->findChild<QLineEdit*>();
    if (!line)
        return;
    line->selectAll();
    line->insert(QString::number(value));
}

void THistogram::ZapiszObrazClick()
{
    if (!ProbnikMain)
        return;
    saveImageAs(this, ProbnikMain->InitialDir, Drawing);
}

void TProbnikMain::Histogram1Execute()
{
    if (!Histogram)
        return;
    Histogram->show();
    Histogram->raise();
    Histogram->activateWindow();
}
