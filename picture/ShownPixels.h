// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/Color.h"
#include "common/Geometry.h"
#include "picture/Canvas.h"
#include "picture/DisplayPicture.h"

#include <cstdint>
#include <vector>

namespace probnik {

// The size a picture of width x height takes in a square box of this side: the long side
// fills the box, the short one keeps the aspect, the division truncating (so a very thin
// picture can get no pixels at all). A picture with no pixels gets 0 x 0. Computed in 64 bits
// for any int sizes.
Size fitInBox(int width, int height, int side);

// Files with more than 8 bits a channel are brought to 8 bits by one rule in every format:
// the rounded value of v * 255 / 65535 (the same as v / 257 rounded, as Qt converts).
constexpr int eightBits(unsigned v16)
{
    return int((v16 * 255u + 32767u) / 65535u);
}

// Which stored pixels of a file a display box shows, and where they land in it.
//
// The file stores storedWidth x storedHeight pixels; `orientation` (EXIF values 1 to 8, any
// other counts as 1) says how they are turned to make the picture. The box shows the picture
// nearest-pixel scaled to fitInBox, so its pixel (i, j) is the picture's pixel
// (i * width / shownWidth, j * height / shownHeight), taken from the stored pixel the
// orientation puts there. A reader fills samples(): the stored rows() and columns() shown,
// both ascending and each once, so that the reader goes through the file forward and keeps
// no more than the box.
class ShownPixels {
public:
    ShownPixels(int storedWidth, int storedHeight, int orientation, int boxSide);

    // The picture's size, after the orientation.
    int width() const { return m_width; }
    int height() const { return m_height; }
    bool empty() const { return m_rows.empty() || m_columns.empty(); }

    const std::vector<int>& rows() const { return m_rows; }
    const std::vector<int>& columns() const { return m_columns; }

    // rows().size() rows of columns().size() pixels: sample (c, r) is the stored pixel
    // (columns()[c], rows()[r]). Made black, for pixels the file never sets.
    Canvas samples() const;

    // The same samples at 16 bits, R, G, B each, row by row: for files of more than 8 bits a
    // channel. Made 0.
    std::vector<std::uint16_t> samples16() const;

    // The picture as the box shows it, from the filled samples; with samples16 given (of the
    // size samples16() makes), its shown16 as well, each pixel taken from where shown's is.
    DisplayPicture place(
        const Canvas& samples, const std::vector<std::uint16_t>* samples16 = nullptr) const;

private:
    int m_width = 0;
    int m_height = 0;
    bool m_transposed = false;
    std::vector<int> m_rows;
    std::vector<int> m_columns;
    // For each box column and row, the index of its stored line: into m_columns and m_rows,
    // or into m_rows and m_columns when the orientation turns the picture a quarter.
    std::vector<int> m_across;
    std::vector<int> m_down;
};

} // namespace probnik
