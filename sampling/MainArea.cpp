// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The main window's cursor readout and area mode: a dragged marker square, then the area study.
#include "app/Main.h"

#include "analysis/Total.h"
#include "app/ProbnikApplication.h"
#include "app/Surface.h"

#include <QLabel>
#include <QToolButton>

using namespace probnik;

bool TProbnikMain::inAreaMode() const
{
    return Client->cursor().shape() == Qt::CrossCursor;
}

void TProbnikMain::ToolButton9Click()
{
    Client->setCursor(ToolButton9->isChecked() ? Qt::CrossCursor : Qt::ArrowCursor);
}

void TProbnikMain::StartSelection(int x, int y)
{
    // Any button starts a new selection at the raw window point.
    Selection = std::make_unique<TSqr>(&canvas(), x, y);
}

void TProbnikMain::FormMouseMove(
    Qt::MouseButtons buttons, Qt::KeyboardModifiers shift, int x, int y)
{
    Q_UNUSED(shift);
    if (inAreaMode() && (buttons & Qt::LeftButton) && Selection) {
        Selection->MoveTo(x, y);
        Client->update();
        return;
    }
    if (x == 0 && y == 0) {
        Label3->clear();
        return;
    }
    const Color c = ColourAt(x, y);
    Label3->setText(QStringLiteral("X:%1  Y:%2      R:%3 G:%4 B:%5")
                        .arg(x)
                        .arg(y)
                        .arg(red(c))
                        .arg(green(c))
                        .arg(blue(c)));
    Label3->adjustSize();
}

void TProbnikMain::FormMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)
{
    Q_UNUSED(button);
    Q_UNUSED(shift);
    Q_UNUSED(x);
    Q_UNUSED(y);
    if (!Selection)
        return;
    const long long w = Selection->Right - Selection->Left;
    const long long h = Selection->Bottom - Selection->Top;
    // A click without a real drag studies the whole picture.
    if (w * w + h * h < 50)
        Selection.reset();
    Client->update();
    if (Global)
        ProbnikApplication::dialogs().runModal(Global);
    Selection.reset();
    Client->setCursor(Qt::ArrowCursor);
    ToolButton9->setChecked(false);
    Client->update();
}
