// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/Wykres.h"

#include "analysis/Kolorymetria.h"
#include "analysis/SaveImage.h"
#include "app/Main.h"
#include "common/NumberText.h"

#include <QAction>
#include <QChart>
#include <QChartView>
#include <QGraphicsLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPushButton>
#include <QScatterSeries>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

using namespace probnik;

TWykres* Wykres = nullptr;

namespace {

QString twoDecimals(double value)
{
    return QString::fromStdString(decimals(value, 2));
}

QColor screenColour(Color c)
{
    return QColor(red(c), green(c), blue(c));
}

QLineSeries* line(QChart* chart, const QString& name, const QPen& pen)
{
    auto* series = new QLineSeries(chart);
    series->setName(name);
    series->setPen(pen);
    chart->addSeries(series);
    return series;
}

QScatterSeries* dots(QChart* chart, const QString& name, double size)
{
    auto* series = new QScatterSeries(chart);
    series->setName(name);
    series->setMarkerShape(QScatterSeries::MarkerShapeCircle);
    series->setMarkerSize(size);
    // A dark rim keeps a pale sample visible on the white plot.
    series->setBorderColor(QColor(60, 60, 60));
    chart->addSeries(series);
    return series;
}

QChart* plainChart()
{
    auto* chart = new QChart;
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setBackgroundRoundness(0);
    chart->setDropShadowEnabled(false);
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    return chart;
}

QValueAxis* axis(QChart* chart, const QString& title, Qt::Alignment side)
{
    auto* a = new QValueAxis(chart);
    a->setTitleText(title);
    a->setLabelFormat(QStringLiteral("%.0f"));
    chart->addAxis(a, side);
    return a;
}

} // namespace

TWykres::TWykres(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Wykres"));
    setWindowTitle(QStringLiteral("Wykres a*b*"));
    buildDesign();
    if (Kolorymetria)
        connect(Kolorymetria, &TKolorymetria::measured, this, [this] {
            if (isVisible())
                refresh();
        });
}

TWykres::~TWykres()
{
    if (Wykres == this)
        Wykres = nullptr;
}

void TWykres::buildDesign()
{
    auto* layout = new QVBoxLayout(this);
    Plot = new QWidget(this);
    Plot->setObjectName(QStringLiteral("Plot"));
    auto* charts = new QHBoxLayout(Plot);
    charts->setContentsMargins(0, 0, 0, 0);

    QChart* plane = plainChart();
    plane->setTitle(QStringLiteral("Próbki w płaszczyźnie a*b*"));
    Contour = line(plane, QStringLiteral("ΔE00 = t"), QPen(QColor(200, 0, 0), 2));
    Spread = line(
        plane, QStringLiteral("1 odchylenie std."), QPen(QColor(0, 70, 200), 1.5, Qt::DashLine));
    Cross = line(plane, QStringLiteral("Odniesienie"), QPen(Qt::black, 2));
    Dots = dots(plane, QStringLiteral("Próbki"), 10);
    Dots->setColor(QColor(160, 160, 160));
    Mean = dots(plane, QStringLiteral("Średnia"), 9);
    Mean->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    Mean->setColor(QColor(0, 70, 200));
    m_axisA = axis(plane, QStringLiteral("a*"), Qt::AlignBottom);
    m_axisB = axis(plane, QStringLiteral("b*"), Qt::AlignLeft);
    for (QAbstractSeries* s :
        std::initializer_list<QAbstractSeries*> { Contour, Spread, Cross, Dots, Mean }) {
        s->attachAxis(m_axisA);
        s->attachAxis(m_axisB);
    }
    plane->legend()->setAlignment(Qt::AlignBottom);
    // The plot's own size is known only once the chart has laid itself out.
    connect(plane, &QChart::plotAreaChanged, this, [this](const QRectF& area) {
        if (std::abs(area.width() - m_fitted.width()) > 0.5
            || std::abs(area.height() - m_fitted.height()) > 0.5)
            fitAxes();
    });
    Plane = new QChartView(plane, Plot);
    Plane->setObjectName(QStringLiteral("Plane"));
    Plane->setRenderHint(QPainter::Antialiasing);
    Plane->setMinimumSize(360, 320);
    charts->addWidget(Plane, 1);

    QChart* strip = plainChart();
    strip->legend()->hide();
    ReferenceLightness = line(strip, QStringLiteral("Odniesienie"), QPen(Qt::black, 2));
    LightDots = dots(strip, QStringLiteral("L*"), 8);
    auto* stripX = new QValueAxis(strip);
    stripX->setRange(-1, 1);
    stripX->setVisible(false);
    strip->addAxis(stripX, Qt::AlignBottom);
    auto* stripL = axis(strip, QStringLiteral("L*"), Qt::AlignLeft);
    stripL->setRange(0, 100);
    stripL->setTickCount(6);
    for (QAbstractSeries* s :
        std::initializer_list<QAbstractSeries*> { ReferenceLightness, LightDots }) {
        s->attachAxis(stripX);
        s->attachAxis(stripL);
    }
    Lightness = new QChartView(strip, Plot);
    Lightness->setObjectName(QStringLiteral("Lightness"));
    Lightness->setRenderHint(QPainter::Antialiasing);
    // Wide enough for the labels up to "100" beside the axis title.
    Lightness->setFixedWidth(160);
    charts->addWidget(Lightness);
    layout->addWidget(Plot, 1);

    for (const bool light : { false, true }) {
        QScatterSeries* s = light ? LightDots : Dots;
        connect(s, &QScatterSeries::clicked, this,
            [this, light](const QPointF& p) { clickAt(p, light); });
        // The dot under the mouse is found from the view's own mouse moves, by where the
        // dots are drawn, the same way in both charts.
        QChartView* view = light ? Lightness : Plane;
        view->viewport()->setMouseTracking(true);
        view->viewport()->installEventFilter(this);
    }

    auto* bottom = new QHBoxLayout;
    Pointed = new QLabel(this);
    Pointed->setObjectName(QStringLiteral("Pointed"));
    bottom->addWidget(Pointed, 1);
    Zapisz = new QPushButton(QStringLiteral("Zapisz &obraz…"), this);
    Zapisz->setObjectName(QStringLiteral("Zapisz"));
    Zapisz->setToolTip(QStringLiteral("Zapisz wykres jako PNG albo SVG (Ctrl+S)"));
    connect(Zapisz, &QPushButton::clicked, this, &TWykres::ZapiszClick);
    bottom->addWidget(Zapisz);
    layout->addLayout(bottom);

    SaveAction = new QAction(QStringLiteral("Zapisz obraz…"), this);
    SaveAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    connect(SaveAction, &QAction::triggered, this, &TWykres::ZapiszClick);
    addAction(SaveAction);

    resize(640, 560);
}

void TWykres::refresh()
{
    if (!Kolorymetria)
        return;
    Shown shown;
    shown.samples = Kolorymetria->sampleLabs();
    shown.colours = Kolorymetria->Colors;
    shown.reference = Kolorymetria->reference();
    shown.tolerance = Kolorymetria->tolerance();
    draw(std::move(shown));
}

void TWykres::draw(Shown shown)
{
    m_shown = std::move(shown);
    const Shown& s = m_shown;
    double bounds[4] = { 1e300, -1e300, 1e300, -1e300 };
    auto hold = [&bounds](double a, double b) {
        bounds[0] = std::min(bounds[0], a);
        bounds[1] = std::max(bounds[1], a);
        bounds[2] = std::min(bounds[2], b);
        bounds[3] = std::max(bounds[3], b);
    };

    QList<QPointF> plane, light;
    plane.reserve(qsizetype(s.samples.size()));
    light.reserve(qsizetype(s.samples.size()));
    QHash<int, QHash<QXYSeries::PointConfiguration, QVariant>> colours;
    for (std::size_t i = 0; i < s.samples.size(); ++i) {
        const lab::Lab& v = s.samples[i];
        plane.append({ v.a, v.b });
        light.append({ 0, v.L });
        hold(v.a, v.b);
        if (i < s.colours.size())
            colours[int(i)][QXYSeries::PointConfiguration::Color] = screenColour(s.colours[i]);
    }
    Dots->replace(plane);
    Dots->setPointsConfiguration(colours);
    LightDots->replace(light);
    LightDots->setPointsConfiguration(colours);

    if (s.reference) {
        if (!m_contourReference || *m_contourReference != *s.reference
            || m_contourTolerance != s.tolerance) {
            m_contour = lab::toleranceContour(*s.reference, s.tolerance, ContourPoints);
            m_contourReference = s.reference;
            m_contourTolerance = s.tolerance;
        }
        QList<QPointF> contour;
        for (const lab::AbPoint& p : m_contour.points) {
            contour.append({ p.a, p.b });
            hold(p.a, p.b);
        }
        if (m_contour.closed && !contour.isEmpty())
            contour.append(contour.front());
        Contour->replace(contour);
        hold(s.reference->a, s.reference->b);
        ReferenceLightness->replace(
            QList<QPointF> { { -0.8, s.reference->L }, { 0.8, s.reference->L } });
    } else {
        Contour->clear();
        ReferenceLightness->clear();
    }
    Contour->setName(
        QStringLiteral("ΔE00 = %1").arg(QString::fromStdString(lab::toleranceText(s.tolerance))));

    if (const auto e = lab::spreadEllipse(s.samples)) {
        QList<QPointF> outline;
        for (const lab::AbPoint& p : e->outline(OutlinePoints)) {
            outline.append({ p.a, p.b });
            hold(p.a, p.b);
        }
        outline.append(outline.front());
        Spread->replace(outline);
        Mean->replace(QList<QPointF> { { e->centre.a, e->centre.b } });
    } else {
        Spread->clear();
        Mean->clear();
    }

    if (bounds[0] > bounds[1]) {
        bounds[0] = bounds[2] = -10;
        bounds[1] = bounds[3] = 10;
    }
    std::copy(std::begin(bounds), std::end(bounds), m_bounds);
    fitAxes();
}

void TWykres::fitAxes()
{
    // Some room around the outermost points, and at least a few units of a* and b*.
    double spanA = std::max(m_bounds[1] - m_bounds[0], 4.0) * 1.15;
    double spanB = std::max(m_bounds[3] - m_bounds[2], 4.0) * 1.15;
    const QRectF area = Plane->chart()->plotArea();
    m_fitted = area.size();
    if (area.width() > 0 && area.height() > 0) {
        const double perPixel = std::max(spanA / area.width(), spanB / area.height());
        spanA = perPixel * area.width();
        spanB = perPixel * area.height();
    }
    const double midA = (m_bounds[0] + m_bounds[1]) / 2;
    const double midB = (m_bounds[2] + m_bounds[3]) / 2;
    m_axisA->setRange(midA - spanA / 2, midA + spanA / 2);
    m_axisB->setRange(midB - spanB / 2, midB + spanB / 2);
    // Ticks at round values, one step for both axes: 1, 2 or 5 times a power of ten, some
    // five to ten of them across the shorter axis.
    const double rough = std::min(spanA, spanB) / 5;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    const double step = rough / power < 2 ? power : rough / power < 5 ? 2 * power : 5 * power;
    const QString format = step >= 1 ? QStringLiteral("%.0f") : QStringLiteral("%.1f");
    for (QValueAxis* a : { m_axisA, m_axisB }) {
        a->setTickType(QValueAxis::TicksDynamic);
        a->setTickAnchor(0);
        a->setTickInterval(step);
        a->setLabelFormat(format);
    }

    // The cross spans a twentieth of the plot whatever the scale.
    if (m_shown.reference) {
        const double d = std::min(spanA, spanB) / 40;
        const double a = m_shown.reference->a, b = m_shown.reference->b;
        Cross->replace(
            QList<QPointF> { { a - d, b }, { a + d, b }, { a, b }, { a, b + d }, { a, b - d } });
    } else {
        Cross->clear();
    }
}

int TWykres::sampleAt(const QPointF& point, bool lightness) const
{
    // A dot's position is the sample's own values, stored as they were given.
    for (std::size_t i = 0; i < m_shown.samples.size(); ++i) {
        const lab::Lab& v = m_shown.samples[i];
        if (lightness ? point.y() == v.L : point.x() == v.a && point.y() == v.b)
            return int(i);
    }
    return -1;
}

bool TWykres::eventFilter(QObject* watched, QEvent* event)
{
    const bool light = watched == Lightness->viewport();
    if (event->type() == QEvent::MouseMove && (light || watched == Plane->viewport()))
        pointAt(static_cast<QMouseEvent*>(event)->position(), light);
    else if (event->type() == QEvent::Leave && (light || watched == Plane->viewport()))
        pointAt({ -1e9, -1e9 }, light);
    return QWidget::eventFilter(watched, event);
}

int TWykres::dotAt(const QPointF& at, bool lightness) const
{
    QChartView* view = lightness ? Lightness : Plane;
    QScatterSeries* series = lightness ? LightDots : Dots;
    const QPointF scene = view->mapToScene(at.toPoint());
    // The dot nearest the mouse, within its own radius.
    const double reach = series->markerSize() / 2 + 1;
    int nearest = -1;
    double best = reach * reach;
    for (int i = 0; i < series->count(); ++i) {
        const QPointF d = view->chart()->mapToPosition(series->at(i), series) - scene;
        const double squared = d.x() * d.x() + d.y() * d.y();
        if (squared <= best) {
            best = squared;
            nearest = i;
        }
    }
    return nearest;
}

void TWykres::pointAt(const QPointF& at, bool lightness)
{
    const int i = dotAt(at, lightness);
    if (i < 0 || std::size_t(i) >= m_shown.samples.size()) {
        Pointed->clear();
        QToolTip::hideText();
        return;
    }
    const lab::Lab& v = m_shown.samples[std::size_t(i)];
    const QString text = QStringLiteral("Próbka %1: L* %2 a* %3 b* %4")
                             .arg(i + 1)
                             .arg(twoDecimals(v.L), twoDecimals(v.a), twoDecimals(v.b));
    if (Pointed->text() == text)
        return;
    Pointed->setText(text);
    QChartView* view = lightness ? Lightness : Plane;
    QToolTip::showText(view->viewport()->mapToGlobal(at.toPoint()), text, view);
}

void TWykres::clickAt(const QPointF& point, bool lightness)
{
    const int i = sampleAt(point, lightness);
    if (i >= 0 && Kolorymetria)
        Kolorymetria->selectSample(i);
}

void TWykres::ZapiszClick()
{
    if (!ProbnikMain)
        return;
    saveImageAs(this, ProbnikMain->InitialDir, Plot);
}

void TWykres::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refresh();
}

void TProbnikMain::Wykres1Execute()
{
    if (!Wykres)
        return;
    Wykres->show();
    Wykres->raise();
    Wykres->activateWindow();
}
