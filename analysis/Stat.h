// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "analysis/ChannelStats.h"
#include "analysis/ResultGrid.h"

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

// The sample statistics window: the mean, standard deviation and coefficient of variation of
// each channel of the sample list, and a swatch of the mean colour. "Zamknij" hands the means
// to the colour demonstration window and, with "Autozakres" above 0, a band around them to
// the area study's bounds. Created once; closing it only hides it.
class TStatystyka : public QDialog,
                    public design::ResultGridControls,
                    public probnik::StatisticsFields {
    Q_OBJECT
public:
    explicit TStatystyka(QWidget* parent = nullptr);
    ~TStatystyka() override;

    // Controls, named as in the window design.
    QPushButton* BitBtn1 = nullptr;
    QLabel* Label1 = nullptr; // "R"
    QLabel* Label3 = nullptr; // "G"
    QLabel* Label4 = nullptr; // "B"
    QLabel* Label2 = nullptr; // "Średnia"
    QLabel* Label5 = nullptr; // "Odchylenie stand."
    QLabel* Label6 = nullptr; // "Wsp. zmienn."
    QFrame* Bevel2 = nullptr;
    QFrame* Bevel3 = nullptr;
    QFrame* Bevel1 = nullptr;

    // The results of the latest Calculate are the StatisticsFields (MeanR ... VarCoefG).

    // Handlers.
    void FormShow();
    // The statistics of the main window's samples into the result fields; no control changes.
    void Calculate();
    void BitBtn1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildDesign();
};

extern TStatystyka* Statystyka;
