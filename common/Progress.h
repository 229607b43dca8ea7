// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <utility>

namespace probnik {

// How long work (a picture being decoded, every pixel of an area being read) tells how far it
// has come and learns whether to go on, on the one thread. The work calls advance() often
// (every row or so) with the share done, 0 to 1; the handler, if any, keeps its own pace
// (a window shows a bar after half a second and lets events through) and answers false to
// stop. Once stopped the work gives up at its next call, changing nothing it was to change,
// and fails with cancelled().
class Progress {
public:
    using Handler = std::function<bool(double share)>;

    Progress() = default;
    explicit Progress(Handler handler)
        : m_handler(std::move(handler))
    {
    }

    // False once the work is to stop, and from then on.
    bool advance(double share)
    {
        if (!m_stopped && m_handler && !m_handler(share))
            m_stopped = true;
        return !m_stopped;
    }
    bool stopped() const { return m_stopped; }

private:
    Handler m_handler;
    bool m_stopped = false;
};

} // namespace probnik
