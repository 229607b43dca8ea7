// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/SpinEdit.h"

#include "common/NumberText.h"

TCSpinEdit::TCSpinEdit(QWidget* parent)
    : QSpinBox(parent)
{
    // Text left unfinished is put right by fixup rather than thrown away.
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
}

QValidator::State TCSpinEdit::validate(QString& input, int& pos) const
{
    // No keystroke is refused: a number is put into range only once it is complete.
    const QValidator::State state = QSpinBox::validate(input, pos);
    return state == QValidator::Acceptable ? state : QValidator::Intermediate;
}

void TCSpinEdit::fixup(QString& input) const
{
    input = QString::number(probnik::wholeNumberWithin(input.toStdString(), minimum(), maximum()));
}
