// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/Intro.h"

#include "app/Main.h"
#include "resources/Version.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>

TSplash* Splash = nullptr;

namespace {

constexpr int ClientWidth = 972;
constexpr int ClientHeight = 513;

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, const QString& family,
    int pixels, bool bold, bool italic, const QColor& colour)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText); // version texts show "&" as it is
    QFont font(family);
    font.setPixelSize(pixels);
    font.setBold(bold);
    font.setItalic(italic);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    return label;
}

} // namespace

TSplash::TSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("Splash"));
    setWindowTitle(QStringLiteral("Probnik"));
    setFixedSize(ClientWidth, ClientHeight);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(5, 103, 168));
    setPalette(palette);

    const QColor cream(255, 251, 240);
    const QColor yellow(255, 255, 0);
    const QColor lime(0, 255, 0);
    const QString sansSerif = QStringLiteral("MS Sans Serif");

    T0 = makeLabel(this, "T0", QStringLiteral("Probnik"), QStringLiteral("Arial Rounded MT Bold"),
        160, true, false, cream);
    T0->setGeometry(10, 78, 954, 174);
    T0->setAlignment(Qt::AlignCenter);

    Label1 = makeLabel(
        this, "Label1", QStringLiteral("Projekt non profi"), sansSerif, 21, true, true, yellow);
    Label1->setGeometry(8, 269, 954, 24);
    Label1->setAlignment(Qt::AlignCenter);

    Label2 = makeLabel(this, "Label2", QString::fromUtf8(probnik::version::Credit), sansSerif, 21,
        true, true, yellow);
    Label2->setGeometry(10, 296, 954, 24);
    Label2->setAlignment(Qt::AlignCenter);

    VersionInfoFileVersionLabel1 = makeLabel(this, "VersionInfoFileVersionLabel1",
        QString::fromUtf8(probnik::version::FileVersion), sansSerif, 16, true, false, lime);
    VersionInfoFileVersionLabel1->adjustSize();
    VersionInfoFileVersionLabel1->move(0, 453);

    VersionInfoLegalCopyrightLabel1 = makeLabel(this, "VersionInfoLegalCopyrightLabel1",
        QString::fromUtf8(probnik::version::LegalCopyright), sansSerif, 11, true, false, lime);
    VersionInfoLegalCopyrightLabel1->setAlignment(Qt::AlignCenter);
    VersionInfoLegalCopyrightLabel1->adjustSize();
    VersionInfoLegalCopyrightLabel1->move(0, 487);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    Timer1->setInterval(Interval);
    connect(Timer1, &QTimer::timeout, this, &TSplash::Timer1Timer);
}

TSplash::~TSplash()
{
    if (Splash == this)
        Splash = nullptr;
}

void TSplash::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TSplash::FormShow()
{
    if (const QScreen* s = screen()) {
        const QRect area = s->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
    for (QLabel* label : { VersionInfoFileVersionLabel1, VersionInfoLegalCopyrightLabel1 })
        label->move((width() - label->width()) / 2, label->y());
    Timer1->start();
}

void TSplash::Timer1Timer()
{
    Timer1->stop();
    hide();
    if (ProbnikMain) {
        ProbnikMain->show();
        ProbnikMain->raise();
        ProbnikMain->activateWindow();
    }
    // A modal window opened meanwhile (the Open dialog, an error box) stays in front with the
    // keyboard: under the main window it would leave the program looking frozen.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
    }
    deleteLater();
}
