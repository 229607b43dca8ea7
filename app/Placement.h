// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QPoint>
#include <QSize>
#include <functional>

class QWidget;

// Places a shown window by its frame: the frame's top-left goes where `where` says for the
// frame's size. A window manager frames a window only after it is shown, so until then the
// frame is taken to be like that of `framedLike` (when given), and once the window's own frame
// is known, or whenever it changes, the window is placed again. Moving it by hand is left alone.
void placeByFrame(
    QWidget* window, std::function<QPoint(QSize frame)> where, const QWidget* framedLike = nullptr);
