// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "picture/Canvas.h"

#include <QWidget>

// The main window's client area. Everything the program draws it draws on canvas(); a paint
// of the widget only shows that canvas, so marks stay until the program itself repaints.
// Mouse events arrive in client coordinates, the coordinates every display rule uses.
class Surface : public QWidget {
    Q_OBJECT
public:
    explicit Surface(QWidget* parent = nullptr);

    probnik::Canvas& canvas() { return m_canvas; }
    const probnik::Canvas& canvas() const { return m_canvas; }

signals:
    void resized();
    void mousePressed(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void mouseMoved(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, int x, int y);
    void mouseReleased(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    probnik::Canvas m_canvas;
};
