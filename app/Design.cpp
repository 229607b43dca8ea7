#include "Design.h"

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

} // namespace design
