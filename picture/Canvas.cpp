// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "picture/Canvas.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace probnik {

namespace {

using i64 = std::int64_t;

struct Span {
    int from;
    int to; // exclusive; never below from
};

// The part of [from, to) that lies in [0, size). Works in 64 bits, so any edges computed
// from 32-bit coordinates are safe.
Span clip(i64 from, i64 to, int size)
{
    const i64 a = std::clamp<i64>(from, 0, size);
    return { int(a), int(std::clamp<i64>(to, a, size)) };
}

} // namespace

Canvas::Canvas(int width, int height, Color fill)
{
    reset(width, height, fill);
}

void Canvas::reset(int width, int height, Color fill)
{
    if (width <= 0 || height <= 0)
        width = height = 0;
    // Built aside first: a failed allocation leaves the old raster intact.
    std::vector<Color> pixels(std::size_t(width) * std::size_t(height), fill);
    m_pixels.swap(pixels);
    m_width = width;
    m_height = height;
}

Color Canvas::pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return White;
    return row(y)[x];
}

void Canvas::setPixel(int x, int y, Color color)
{
    if (x >= 0 && y >= 0 && x < m_width && y < m_height)
        row(y)[x] = color;
}

void Canvas::plot(int x, int y)
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return;
    Color& p = row(y)[x];
    p = penMode == PenMode::NotXor ? ~(penColor ^ p) & 0xFFFFFF : penColor;
}

void Canvas::fillRect(Rect r)
{
    const Span xs = clip(r.Left, r.Right, m_width);
    const Span ys = clip(r.Top, r.Bottom, m_height);
    for (int y = ys.from; y < ys.to; ++y)
        std::fill(row(y) + xs.from, row(y) + xs.to, brushColor);
}

void Canvas::line(Point from, Point to)
{
    // Bresenham's line in closed form: step k (0 <= k < n) moves k pixels along the longer
    // axis and round(k * |db| / n) pixels along the other, halves rounding towards `to`.
    // Computing each step on its own lets a line reaching far off the canvas visit only the
    // steps that land on it, with the same pixels as when it is drawn whole.
    const i64 dx = i64(to.x) - from.x;
    const i64 dy = i64(to.y) - from.y;
    const bool xMajor = std::abs(dx) >= std::abs(dy);
    const i64 n = std::max(std::abs(dx), std::abs(dy));
    if (n == 0)
        return;
    const i64 a0 = xMajor ? from.x : from.y;
    const i64 b0 = xMajor ? from.y : from.x;
    const i64 da = xMajor ? dx : dy;
    const i64 db = xMajor ? dy : dx;
    const i64 sa = da < 0 ? -1 : 1;
    const i64 sb = db < 0 ? -1 : 1;
    const auto adb = std::uint64_t(std::abs(db));
    const auto un = std::uint64_t(n);

    // The steps whose long-axis coordinate a0 + sa * k lies on the canvas.
    const i64 size = xMajor ? m_width : m_height;
    const i64 kFrom = std::max<i64>(0, sa > 0 ? -a0 : a0 - size + 1);
    const i64 kTo = std::min(n, sa > 0 ? size - a0 : a0 + 1);
    for (i64 k = kFrom; k < kTo; ++k) {
        const std::uint64_t p = std::uint64_t(k) * adb; // below 2^64: k < n < 2^32, |db| <= n
        const std::uint64_t q = p / un + (2 * (p % un) >= un ? 1 : 0);
        const int a = int(a0 + sa * k);
        const int b = int(b0 + sb * i64(q)); // between from and to, so it fits
        if (xMajor)
            plot(a, b);
        else
            plot(b, a);
    }
}

void Canvas::rectangleOutline(Rect r)
{
    const i64 w = std::max(penWidth, 1);
    // The band's outer and inner edges, inclusive.
    const i64 left = r.Left - w / 2;
    const i64 right = i64(r.Right) - 1 + (w - 1) / 2;
    const i64 top = r.Top - w / 2;
    const i64 bottom = i64(r.Bottom) - 1 + (w - 1) / 2;
    if (right < left || bottom < top)
        return;
    const i64 innerLeft = left + w;
    const i64 innerRight = right - w;
    const i64 innerTop = top + w;
    const i64 innerBottom = bottom - w;
    const bool hollow = innerLeft <= innerRight && innerTop <= innerBottom;

    const Span ys = clip(top, bottom + 1, m_height);
    for (int y = ys.from; y < ys.to; ++y) {
        const auto span = [this, y](i64 from, i64 to) {
            const Span xs = clip(from, to, m_width);
            for (int x = xs.from; x < xs.to; ++x)
                plot(x, y);
        };
        if (hollow && y >= innerTop && y <= innerBottom) {
            span(left, innerLeft);
            span(innerRight + 1, right + 1);
        } else {
            span(left, right + 1);
        }
    }
}

void Canvas::stretchDraw(Rect dst, const Canvas& src)
{
    if (&src == this) {
        // A canvas drawn onto itself is read from a copy, so no pixel is read after it changed.
        const Canvas copy = src; // NOLINT(performance-unnecessary-copy-initialization)
        stretchDraw(dst, copy);
        return;
    }
    const i64 dw = i64(dst.Right) - dst.Left;
    const i64 dh = i64(dst.Bottom) - dst.Top;
    if (dw <= 0 || dh <= 0 || src.isEmpty())
        return;
    const Span xs = clip(dst.Left, dst.Right, m_width);
    const Span ys = clip(dst.Top, dst.Bottom, m_height);
    // Offsets below 2^32 times sizes below 2^31: the products fit in 64 bits.
    std::vector<int> columns;
    columns.reserve(std::size_t(xs.to - xs.from));
    for (int x = xs.from; x < xs.to; ++x)
        columns.push_back(int((i64(x) - dst.Left) * src.m_width / dw));
    for (int y = ys.from; y < ys.to; ++y) {
        const Color* s = src.row(int((i64(y) - dst.Top) * src.m_height / dh));
        Color* d = row(y) + xs.from;
        for (const int c : columns)
            *d++ = s[c];
    }
}

void Canvas::copyRect(Point dstTopLeft, const Canvas& src, Rect srcRect)
{
    if (&src == this) {
        const Canvas copy = src; // NOLINT(performance-unnecessary-copy-initialization): as above
        copyRect(dstTopLeft, copy, srcRect);
        return;
    }
    // Source coordinates plus (ox, oy) give destination coordinates.
    const i64 ox = i64(dstTopLeft.x) - srcRect.Left;
    const i64 oy = i64(dstTopLeft.y) - srcRect.Top;
    const Span sx = clip(srcRect.Left, srcRect.Right, src.m_width);
    const Span sy = clip(srcRect.Top, srcRect.Bottom, src.m_height);
    const Span xs = clip(sx.from + ox, sx.to + ox, m_width);
    const Span ys = clip(sy.from + oy, sy.to + oy, m_height);
    if (xs.from >= xs.to)
        return;
    for (int y = ys.from; y < ys.to; ++y)
        std::copy_n(src.row(int(y - oy)) + (xs.from - ox), xs.to - xs.from, row(y) + xs.from);
}

} // namespace probnik
