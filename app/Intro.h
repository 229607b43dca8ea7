// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QWidget>

class QLabel;
class QTimer;

// The splash window: shown first, on top, and gone 7000 ms later.
class TSplash : public QWidget {
    Q_OBJECT
public:
    explicit TSplash(QWidget* parent = nullptr);
    ~TSplash() override;

    static constexpr int Interval = 7000;

    QLabel* T0 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* VersionInfoFileVersionLabel1 = nullptr;
    QLabel* VersionInfoLegalCopyrightLabel1 = nullptr;
    QTimer* Timer1 = nullptr;

    void FormShow();
    void Timer1Timer();

protected:
    void showEvent(QShowEvent* event) override;
};

extern TSplash* Splash;
