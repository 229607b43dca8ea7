// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "picture/ShownPixels.h"

#include <algorithm>

namespace probnik {

namespace {

// The stored line of each of `count` box positions along a picture side of `size`, flipped
// when the orientation mirrors that side; returns the lines shown, ascending and each once,
// and sets index[k] to the place of position k's line among them.
std::vector<int> sample(std::int64_t size, int count, bool flipped, std::vector<int>& index)
{
    std::vector<int> line(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k) {
        const auto s = int(std::int64_t(k) * size / count);
        line[std::size_t(k)] = flipped ? int(size - 1 - s) : s;
    }
    std::vector<int> lines = line;
    std::sort(lines.begin(), lines.end());
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    index.resize(std::size_t(count));
    for (int k = 0; k < count; ++k)
        index[std::size_t(k)] = int(
            std::lower_bound(lines.begin(), lines.end(), line[std::size_t(k)]) - lines.begin());
    return lines;
}

} // namespace

Size fitInBox(int width, int height, int side)
{
    if (width <= 0 || height <= 0 || side <= 0)
        return {};
    // 64 bits so that the multiplication can come first for any picture size.
    const std::int64_t w = width;
    const std::int64_t h = height;
    if (w < h)
        return { int(side * w / h), side };
    return { side, int(side * h / w) };
}

ShownPixels::ShownPixels(int storedWidth, int storedHeight, int orientation, int boxSide)
{
    if (orientation < 1 || orientation > 8)
        orientation = 1;
    // 5 to 8 turn the picture a quarter: stored rows become picture columns.
    m_transposed = orientation >= 5;
    m_width = m_transposed ? storedHeight : storedWidth;
    m_height = m_transposed ? storedWidth : storedHeight;
    // Whether stored columns (flipX) or stored rows (flipY) run backwards in the picture.
    const bool flipX = orientation == 2 || orientation == 3 || orientation == 7 || orientation == 8;
    const bool flipY = orientation == 3 || orientation == 4 || orientation == 6 || orientation == 7;
    const Size box = fitInBox(m_width, m_height, boxSide);
    if (box.width <= 0 || box.height <= 0)
        return;
    if (m_transposed) {
        m_rows = sample(m_width, box.width, flipY, m_across);
        m_columns = sample(m_height, box.height, flipX, m_down);
    } else {
        m_columns = sample(m_width, box.width, flipX, m_across);
        m_rows = sample(m_height, box.height, flipY, m_down);
    }
}

Canvas ShownPixels::samples() const
{
    return Canvas(int(m_columns.size()), int(m_rows.size()), Black);
}

std::vector<std::uint16_t> ShownPixels::samples16() const
{
    return std::vector<std::uint16_t>(m_columns.size() * m_rows.size() * 3, 0);
}

DisplayPicture ShownPixels::place(
    const Canvas& samples, const std::vector<std::uint16_t>* samples16) const
{
    DisplayPicture picture;
    picture.width = m_width;
    picture.height = m_height;
    if (empty())
        return picture;
    const int across = int(m_across.size());
    const int down = int(m_down.size());
    picture.shown.reset(across, down);
    for (int j = 0; j < down; ++j) {
        Color* out = picture.shown.row(j);
        const int d = m_down[std::size_t(j)];
        for (int i = 0; i < across; ++i) {
            const int a = m_across[std::size_t(i)];
            out[i] = m_transposed ? samples.row(a)[d] : samples.row(d)[a];
        }
    }
    if (!samples16)
        return picture;
    const std::size_t stride = m_columns.size();
    picture.shown16.resize(std::size_t(across) * std::size_t(down) * 3);
    std::uint16_t* out = picture.shown16.data();
    for (int j = 0; j < down; ++j) {
        const auto d = std::size_t(m_down[std::size_t(j)]);
        for (int i = 0; i < across; ++i, out += 3) {
            const auto a = std::size_t(m_across[std::size_t(i)]);
            const std::uint16_t* in
                = samples16->data() + 3 * (m_transposed ? a * stride + d : d * stride + a);
            std::copy_n(in, 3, out);
        }
    }
    return picture;
}

} // namespace probnik
