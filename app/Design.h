// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/Color.h"

#include <QColor>
#include <QFont>
#include <QFrame>
#include <QPoint>
#include <QRect>
#include <QString>

#include <string>

class QLabel;
class QWidget;

// Turns the window designs' fonts, captions and colours into Qt's, the same way in every window.
namespace design {

// A font by family and size in pixels. The classic Windows families are mapped to free ones of
// the same widths by the application object.
QFont font(const QString& family, int pixels, bool bold = false, bool italic = false);
// The designs' dialog font, "MS Sans Serif".
QFont sansSerif(int pixels, bool bold = false, bool italic = false);
// Text made by the core (ASCII digits and signs).
QString fromStd(const std::string& text);
// A label that grows with its text.
void setCaption(QLabel* label, const QString& text);
// A plain panel filled with one colour.
void setSwatch(QWidget* panel, probnik::Color colour);
// The core's packed colour as Qt's.
QColor toQColor(probnik::Color colour);

// The frame the window designs allow around a client area: 4 pixels a side and a 26-pixel
// caption. A design's outer size less these is its client size.
constexpr int FrameWidth = 8;
constexpr int FrameHeight = 34;

// A drawn frame of a design: it takes no clicks, and made before the controls it frames it
// lies under them.
QFrame* bevel(QWidget* parent, const char* name, const QRect& geometry,
    int style = QFrame::Box | QFrame::Sunken);
// A label that grows with its text, its top-left corner at `at`.
QLabel* label(QWidget* parent, const char* name, QPoint at, const QString& text, const QFont& font);
// A label of fixed geometry whose text keeps to its right edge.
QLabel* rightAlignedLabel(QWidget* parent, const char* name, const QRect& geometry,
    const QString& text, const QFont& font);

} // namespace design
