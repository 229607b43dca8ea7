// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The main window's sample list, and a press on the surface outside area mode.
#include "app/Main.h"

#include "app/Display.h"
#include "app/Surface.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>

using namespace probnik;

void TProbnikMain::FormMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)
{
    Q_UNUSED(shift);
    if (inAreaMode()) {
        StartSelection(x, y);
        return;
    }
    if (button == Qt::RightButton) {
        MagnifierCentre = { x, y };
        RefreshMagnifier();
        canvas().draw(display::MagnifierOrigin, MagnifierBitmap);
        Client->update();
    } else if (button == Qt::LeftButton) {
        TakeSample(x, y);
    }
}

void TProbnikMain::TakeSample(int x, int y)
{
    XY(x, y);
    if (!Samples.accepts({ x, y }))
        return;
    const std::string row = Samples.add({ x, y }, ColourAt(x, y));
    RichEdit1->appendPlainText(QString::fromStdString(row));
    showSampleCount();
}

void TProbnikMain::Button1Click()
{
    QTextDocument* list = RichEdit1->document();
    if (list->isEmpty())
        return;
    QTextCursor cursor(list->lastBlock());
    cursor.select(QTextCursor::BlockUnderCursor);
    if (list->blockCount() == 1)
        cursor.select(QTextCursor::Document);
    cursor.removeSelectedText();
    Samples.removeLast();
    showSampleCount();
}

void TProbnikMain::Button4Click()
{
    Samples.clear();
    RichEdit1->clear();
    showSampleCount();
}

void TProbnikMain::showSampleCount()
{
    Label1->setText(QString::fromStdString(SampleStore::counterText(Samples.SampleCount)));
    emit samplesChanged();
}
