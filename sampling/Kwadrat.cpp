// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "sampling/Kwadrat.h"

#include <algorithm>

namespace probnik {

TSqr::TSqr(probnik::Canvas* canvas, int X, int Y)
    : Anchor { X, Y }
    , Corner { X, Y }
    , Canvas(canvas)
    , Left(X)
    , Top(Y)
    , Right(X)
    , Bottom(Y)
{
}

TSqr::~TSqr()
{
    Erase();
}

void TSqr::outline(Point p)
{
    // A rectangle of no size has no outline: a click leaves no mark at the anchor.
    if (!Canvas || p == Anchor)
        return;
    const PenMode mode = Canvas->penMode;
    const probnik::Color brush = Canvas->brushColor;
    Canvas->brushColor = Color;
    Canvas->penMode = PenMode::NotXor;
    Canvas->penWidth *= 3;
    Canvas->rectangleOutline({ std::min(Anchor.x, p.x), std::min(Anchor.y, p.y),
        std::max(Anchor.x, p.x), std::max(Anchor.y, p.y) });
    Canvas->brushColor = brush;
    Canvas->penMode = mode;
    Canvas->penWidth /= 3;
}

void TSqr::DrawTo(Point p)
{
    outline(p);
    Corner = p;
    Left = std::min(Anchor.x, Corner.x);
    Right = std::max(Anchor.x, Corner.x);
    Top = std::min(Anchor.y, Corner.y);
    Bottom = std::max(Anchor.y, Corner.y);
}

void TSqr::Erase()
{
    outline(Corner);
}

void TSqr::MoveTo(int X, int Y)
{
    const long long dx = (long long)X - Corner.x;
    const long long dy = (long long)Y - Corner.y;
    if (dx * dx < 9 && dy * dy < 9)
        return;
    Erase();
    DrawTo({ X, Y });
}

void TSqr::Draw()
{
    DrawTo(Corner);
}

} // namespace probnik
