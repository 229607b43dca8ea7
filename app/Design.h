#pragma once

#include "analysis/ChannelStats.h"
#include "common/Color.h"

#include <QFont>
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

// The results grid that the statistics window and the area study share: the means as plain
// numbers, the deviations as "%3.3f", the coefficients as "%3.2f %" (red, green, blue in each
// row), and the swatch of the mean colour.
struct ResultLabels {
    QLabel* mean[3];
    QLabel* deviation[3];
    QLabel* coefficient[3];
    QWidget* swatch;
};
void showStatistics(const ResultLabels& labels, const probnik::ColourStatistics& stats);

} // namespace design
