#include "app/Design.h"

#include <QLabel>
#include <QPalette>
#include <QWidget>

namespace design {

QFont font(const QString& family, int pixels, bool bold, bool italic)
{
    QFont f(family);
    f.setPixelSize(pixels);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

QFont sansSerif(int pixels, bool bold, bool italic)
{
    return font(QStringLiteral("MS Sans Serif"), pixels, bold, italic);
}

QString fromStd(const std::string& text)
{
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

void setCaption(QLabel* label, const QString& text)
{
    label->setText(text);
    label->adjustSize();
}

void setSwatch(QWidget* panel, probnik::Color colour)
{
    QPalette p = panel->palette();
    p.setColor(QPalette::Window,
        QColor(probnik::red(colour), probnik::green(colour), probnik::blue(colour)));
    panel->setPalette(p);
}

void showStatistics(const ResultLabels& labels, const probnik::ColourStatistics& stats)
{
    const probnik::ChannelStatistics* channels[3] = { &stats.R, &stats.G, &stats.B };
    for (int i = 0; i < 3; ++i) {
        setCaption(labels.mean[i], QString::number(channels[i]->Mean));
        setCaption(labels.deviation[i], fromStd(probnik::deviationText(channels[i]->StdDev)));
        setCaption(labels.coefficient[i], fromStd(probnik::coefficientText(channels[i]->VarCoef)));
    }
    setSwatch(labels.swatch, probnik::rgb(stats.R.Mean, stats.G.Mean, stats.B.Mean));
}

} // namespace design
