#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace probnik {

// Walks the codes of run-length bitmap data (RLE8, or RLE4 with two pixels a byte) without
// decoding them, to find its control codes: end of row (0, 0), end of picture (0, 1) and move
// (0, 2, right, down). Runs (n, index) and literals (0, n, n indices padded to an even number
// of bytes) only add pixels. Rows the display box does not show are passed this way, and on a
// large file they are nearly all of it, so this walk decides how fast such a file opens.
class RunLengthCodes {
public:
    // The most bytes one code takes: a literal of 255 bytes and its padding.
    static constexpr std::size_t LongestCode = 2 + 256;

    struct ControlCode {
        std::size_t position; // of its first byte
        std::uint64_t pixelsBefore; // of the runs and literals from the start of the walk
        std::uint8_t value; // 0 end of row, 1 end of picture, 2 move

        std::size_t end() const { return position + (value == 2 ? 4 : 2); }
        bool operator==(const ControlCode&) const = default;
    };
    struct Walked {
        std::size_t position; // where the first code not walked starts
        std::uint64_t pixels; // of every run and literal walked
    };

    // Walks from data[0], which starts a code, every code that starts at `last` or before;
    // data must hold `last` + LongestCode bytes. Appends the control codes met to `codes`.
    Walked walk(
        const std::uint8_t* data, std::size_t last, bool nibbles, std::vector<ControlCode>& codes);

    // The walk of one code after another, the yardstick of the faster walk above.
    static Walked walkInOrder(
        const std::uint8_t* data, std::size_t last, bool nibbles, std::vector<ControlCode>& codes);

private:
    // Each code's place depends on the code before, so one walk waits on every load. Four
    // walks over four parts of the data keep the processor busy: each but the first starts at
    // a guess, an even place like every code's (codes take an even number of bytes), and
    // notes where it went. It meets the true walk where a code of the part before ends, in
    // practice after the literal it started in; from there on its findings hold.
    static constexpr std::size_t Lanes = 4;
    static constexpr std::size_t Noted = 256; // places noted by each guessing walk
    struct Lane {
        std::array<std::size_t, Noted> places;
        std::array<std::uint64_t, Noted> pixels;
        std::size_t noted = 0;
        std::vector<ControlCode> codes;
    };
    std::array<Lane, Lanes - 1> m_guesses;

    template <bool Nibbles>
    Walked walkLanes(const std::uint8_t* data, std::size_t last, std::vector<ControlCode>& codes);
};

} // namespace probnik
