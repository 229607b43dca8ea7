// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/Design.h"

#include <QFrame>
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
    p.setColor(QPalette::Window, toQColor(colour));
    panel->setPalette(p);
}

QColor toQColor(probnik::Color colour)
{
    return { probnik::red(colour), probnik::green(colour), probnik::blue(colour) };
}

QFrame* bevel(QWidget* parent, const char* name, const QRect& geometry, int style)
{
    auto* f = new QFrame(parent);
    f->setObjectName(QString::fromLatin1(name));
    f->setFrameStyle(style);
    f->setGeometry(geometry);
    f->setAttribute(Qt::WA_TransparentForMouseEvents);
    return f;
}

QLabel* label(QWidget* parent, const char* name, QPoint at, const QString& text, const QFont& font)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setFont(font);
    l->move(at);
    l->adjustSize();
    return l;
}

QLabel* rightAlignedLabel(QWidget* parent, const char* name, const QRect& geometry,
    const QString& text, const QFont& font)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setFont(font);
    l->setAlignment(Qt::AlignRight | Qt::AlignTop);
    l->setGeometry(geometry);
    return l;
}

} // namespace design
