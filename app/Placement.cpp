// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/Placement.h"

#include <QEvent>
#include <QMargins>
#include <QPointer>
#include <QWidget>
#include <QWindow>

namespace {

QMargins frameOf(const QWidget* window)
{
    return window && window->windowHandle() ? window->windowHandle()->frameMargins() : QMargins();
}

// While the window manager is still framing the window, Qt can report margins that are no
// frame at all.
bool plausible(const QMargins& m)
{
    return m.left() >= 0 && m.top() >= 0 && m.right() >= 0 && m.bottom() >= 0;
}

// Lives on the window's native window, where the window manager's framing shows.
class FramePlacer : public QObject {
public:
    FramePlacer(QWidget* window, QWindow* native)
        : QObject(native)
        , m_window(window)
    {
        native->installEventFilter(this);
    }

    void place(std::function<QPoint(QSize)> where, const QWidget* framedLike)
    {
        m_where = std::move(where);
        m_framedLike = framedLike;
        placeNow();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const auto type = event->type();
        if ((type == QEvent::Expose || type == QEvent::Move || type == QEvent::Resize)
            && m_window) {
            const QMargins frame = frameOf(m_window);
            if (frame != m_placedWith && plausible(frame))
                placeNow();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void placeNow()
    {
        const QMargins own = frameOf(m_window);
        m_placedWith = plausible(own) ? own : QMargins();
        const QMargins frame = m_placedWith.isNull() ? frameOf(m_framedLike) : m_placedWith;
        // The client area is placed, not the frame: a frame position would go through what Qt
        // believes the frame to be, which lags behind while the window manager frames it.
        const QPoint client
            = m_where(m_window->size().grownBy(frame)) + QPoint(frame.left(), frame.top());
        if (m_window->geometry().topLeft() != client)
            m_window->setGeometry(QRect(client, m_window->size()));
    }

    QPointer<QWidget> m_window;
    QPointer<const QWidget> m_framedLike;
    std::function<QPoint(QSize)> m_where;
    QMargins m_placedWith;
};

} // namespace

void placeByFrame(
    QWidget* window, std::function<QPoint(QSize frame)> where, const QWidget* framedLike)
{
    QWindow* native = window->windowHandle();
    if (!native) {
        window->move(where(window->size()));
        return;
    }
    auto* placer = native->findChild<FramePlacer*>(QString(), Qt::FindDirectChildrenOnly);
    if (!placer)
        placer = new FramePlacer(window, native);
    placer->place(std::move(where), framedLike);
}
