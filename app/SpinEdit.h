// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QSpinBox>

// An integer edit with arrow buttons that takes whatever is typed. When it is left, or its
// value is used, text that is not a whole number reads as the minimum and is replaced by it,
// and a number beyond the range goes to its nearer end: "300" becomes 255, not 30.
class TCSpinEdit : public QSpinBox {
    Q_OBJECT
public:
    explicit TCSpinEdit(QWidget* parent = nullptr);

protected:
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
};
