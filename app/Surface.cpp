// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/Surface.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>

using namespace probnik;

Surface::Surface(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

void Surface::paintEvent(QPaintEvent* event)
{
    if (m_canvas.isEmpty())
        return;
    // 0x00BBGGRR to Qt's 0xAARRGGBB, only for the rows Qt asks for.
    const QRect area = event->rect().intersected(QRect(0, 0, m_canvas.width(), m_canvas.height()));
    if (area.isEmpty())
        return;
    QImage image(area.size(), QImage::Format_RGB32);
    for (int y = 0; y < area.height(); ++y) {
        const Color* from = m_canvas.row(area.top() + y) + area.left();
        auto* to = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < area.width(); ++x)
            to[x] = qRgb(red(from[x]), green(from[x]), blue(from[x]));
    }
    QPainter painter(this);
    // Scaled by the device pixel ratio by nearest pixel, so every screen pixel shows one
    // canvas pixel unchanged.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(area, image);
}

void Surface::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    emit resized();
}

void Surface::mousePressEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    emit mousePressed(event->button(), event->modifiers(), p.x(), p.y());
}

void Surface::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    emit mouseMoved(event->buttons(), event->modifiers(), p.x(), p.y());
}

void Surface::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    emit mouseReleased(event->button(), event->modifiers(), p.x(), p.y());
}
