// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "analysis/AbChart.h"
#include "analysis/Colorimetry.h"
#include "common/Color.h"

#include <QWidget>

#include <optional>
#include <vector>

class QAction;
class QChartView;
class QLabel;
class QLineSeries;
class QPushButton;
class QScatterSeries;
class QValueAxis;

// The chart of the samples: each a dot in its own colour in the a*b* plane, with their L* in a
// strip beside it; the reference as a cross with its dE00 tolerance contour; the samples' mean
// with their one-standard-deviation ellipse. Modeless and created once. It reads what
// "Kolorymetria" measured, whenever that changes, and never measures itself.
class TWykres : public QWidget {
    Q_OBJECT
public:
    explicit TWykres(QWidget* parent = nullptr);
    ~TWykres() override;

    // What the chart shows.
    struct Shown {
        std::vector<probnik::lab::Lab> samples;
        std::vector<probnik::Color> colours; // each sample's colour on the screen
        std::optional<probnik::lab::Lab> reference;
        double tolerance = probnik::lab::DefaultTolerance;
    };

    QWidget* Plot = nullptr; // both charts: what "Zapisz obraz…" saves
    QChartView* Plane = nullptr; // a*b*
    QChartView* Lightness = nullptr; // the L* strip
    QLabel* Pointed = nullptr; // the sample under the mouse
    QPushButton* Zapisz = nullptr; // "Zapisz obraz…"
    QAction* SaveAction = nullptr; // Ctrl+S

    QScatterSeries* Dots = nullptr; // the samples in a*b*
    QScatterSeries* LightDots = nullptr; // the samples' L*
    QLineSeries* Cross = nullptr; // the reference
    QLineSeries* ReferenceLightness = nullptr;
    QScatterSeries* Mean = nullptr;
    QLineSeries* Spread = nullptr; // the one-deviation ellipse
    QLineSeries* Contour = nullptr; // dE00 = t around the reference

    // The points of the tolerance contour and of the ellipse's outline.
    static constexpr int ContourPoints = 180;
    static constexpr int OutlinePoints = 96;

    const Shown& shown() const { return m_shown; }

    // Handlers.
    void refresh(); // reads "Kolorymetria" again
    void draw(Shown shown);
    void ZapiszClick();
    void pointAt(const QPointF& at, bool lightness); // the mouse moved in a view
    void clickAt(const QPointF& point, bool lightness); // a dot clicked

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildDesign();
    void fitAxes(); // one scale for a* and b*, so that the contour keeps its true shape
    // The sample a dot stands for; -1 for none.
    int sampleAt(const QPointF& point, bool lightness) const;
    // The dot under a point of a view's viewport; -1 for none.
    int dotAt(const QPointF& at, bool lightness) const;

    Shown m_shown;
    QValueAxis* m_axisA = nullptr;
    QValueAxis* m_axisB = nullptr;
    // The contour's points, kept while the reference and tolerance stay.
    std::optional<probnik::lab::Lab> m_contourReference;
    double m_contourTolerance = 0;
    probnik::lab::ToleranceContour m_contour;
    // What the axes must hold: every point drawn.
    double m_bounds[4] = {}; // a* from, a* to, b* from, b* to
    QSizeF m_fitted; // the plot's size the axes were last fitted to
};

extern TWykres* Wykres;
