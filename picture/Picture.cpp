#include "picture/Picture.h"

#include "picture/BmpReader.h"

#include <cstdint>

namespace probnik {

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

Result<DisplayPicture> readPictureForDisplay(const std::string& path, int boxSide)
{
    return readBmpForDisplay(path, boxSide);
}

} // namespace probnik
