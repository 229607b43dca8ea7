#include "picture/RunLengthCodes.h"

namespace probnik {

namespace {

using ControlCode = RunLengthCodes::ControlCode;
using Walked = RunLengthCodes::Walked;

// Walks the code at `at`: moves `at` past it and adds its pixels to `pixels`, or notes it in
// `codes` when it is a control code.
template <bool Nibbles>
inline void step(const std::uint8_t* data, std::size_t& at, std::uint64_t& pixels,
    std::vector<ControlCode>& codes)
{
    // The two bytes as one number: the control codes are 0, 1 and 2, literals below 256.
    const std::size_t key = std::size_t(data[at]) << 8 | data[at + 1];
    // The walks jump about; fetching ahead keeps their bytes on hand.
    __builtin_prefetch(data + at + 512);
    if (key <= 2) [[unlikely]] {
        codes.push_back({ at, pixels, std::uint8_t(key) });
        at += key == 2 ? 4 : 2;
        return;
    }
    // All ones for a literal. Runs and literals come in any order, so a branch on the kind
    // of code would be mispredicted at every other code.
    const std::size_t literal = 0 - std::size_t(key < 256);
    const std::size_t value = key & 255;
    const std::size_t stored = Nibbles ? (value + 3) >> 1 : value + 1; // bytes, plus one
    at += 2 + (stored & ~std::size_t(1) & literal);
    pixels += (key >> 8) + (value & literal);
}

template <bool Nibbles>
Walked walkFrom(const std::uint8_t* data, std::size_t at, std::uint64_t pixels, std::size_t end,
    std::vector<ControlCode>& codes)
{
    while (at < end)
        step<Nibbles>(data, at, pixels, codes);
    return { at, pixels };
}

} // namespace

template <bool Nibbles>
Walked RunLengthCodes::walkLanes(
    const std::uint8_t* data, std::size_t last, std::vector<ControlCode>& codes)
{
    // Parts too small for a guess to meet the true walk in are walked in order.
    constexpr std::size_t SmallestPart = 64;
    const std::size_t part = last / Lanes & ~std::size_t(1);
    if (part < SmallestPart)
        return walkFrom<Nibbles>(data, 0, 0, last + 1, codes);

    for (Lane& lane : m_guesses) {
        lane.noted = 0;
        lane.codes.clear();
    }
    const auto note = [](Lane& lane, std::size_t at, std::uint64_t pixels) {
        lane.places[lane.noted] = at;
        lane.pixels[lane.noted] = pixels;
        lane.noted += lane.noted < Noted - 1; // the last place is overwritten, never read
    };
    // The four walks are in plain variables, so that they stay in registers.
    const std::array<std::size_t, Lanes> end { part, 2 * part, 3 * part, last + 1 };
    std::size_t at0 = 0, at1 = part, at2 = 2 * part, at3 = 3 * part;
    std::uint64_t pixels0 = 0, pixels1 = 0, pixels2 = 0, pixels3 = 0;
    Lane& lane1 = m_guesses[0];
    Lane& lane2 = m_guesses[1];
    Lane& lane3 = m_guesses[2];
    while (at0 < end[0] && at1 < end[1] && at2 < end[2] && at3 < end[3]) {
        step<Nibbles>(data, at0, pixels0, codes);
        note(lane1, at1, pixels1);
        step<Nibbles>(data, at1, pixels1, lane1.codes);
        note(lane2, at2, pixels2);
        step<Nibbles>(data, at2, pixels2, lane2.codes);
        note(lane3, at3, pixels3);
        step<Nibbles>(data, at3, pixels3, lane3.codes);
    }
    for (; at0 < end[0];)
        step<Nibbles>(data, at0, pixels0, codes);
    for (; at1 < end[1]; step<Nibbles>(data, at1, pixels1, lane1.codes))
        note(lane1, at1, pixels1);
    for (; at2 < end[2]; step<Nibbles>(data, at2, pixels2, lane2.codes))
        note(lane2, at2, pixels2);
    for (; at3 < end[3]; step<Nibbles>(data, at3, pixels3, lane3.codes))
        note(lane3, at3, pixels3);

    // The true walk goes on into each part until it reaches a place the guess went through.
    const std::array<Walked, Lanes - 1> guessed { Walked { at1, pixels1 }, Walked { at2, pixels2 },
        Walked { at3, pixels3 } };
    std::size_t at = at0;
    std::uint64_t pixels = pixels0;
    for (std::size_t l = 0; l < Lanes - 1; ++l) {
        const Lane& lane = m_guesses[l];
        std::size_t k = 0;
        for (;;) {
            while (k < lane.noted && lane.places[k] < at)
                ++k;
            if (k == lane.noted || lane.places[k] == at)
                break;
            step<Nibbles>(data, at, pixels, codes);
        }
        if (k == lane.noted) { // never met: walk the part in order
            const Walked walked = walkFrom<Nibbles>(data, at, pixels, end[l + 1], codes);
            at = walked.position;
            pixels = walked.pixels;
            continue;
        }
        // From here the guess is the true walk; its pixels counted from its own start.
        const std::uint64_t shift = pixels - lane.pixels[k];
        for (const ControlCode& code : lane.codes)
            if (code.position >= at)
                codes.push_back({ code.position, code.pixelsBefore + shift, code.value });
        at = guessed[l].position;
        pixels = guessed[l].pixels + shift;
    }
    return { at, pixels };
}

Walked RunLengthCodes::walk(
    const std::uint8_t* data, std::size_t last, bool nibbles, std::vector<ControlCode>& codes)
{
    return nibbles ? walkLanes<true>(data, last, codes) : walkLanes<false>(data, last, codes);
}

Walked RunLengthCodes::walkInOrder(
    const std::uint8_t* data, std::size_t last, bool nibbles, std::vector<ControlCode>& codes)
{
    return nibbles ? walkFrom<true>(data, 0, 0, last + 1, codes)
                   : walkFrom<false>(data, 0, 0, last + 1, codes);
}

} // namespace probnik
