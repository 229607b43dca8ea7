// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "analysis/AreaStudy.h"
#include "analysis/ChannelStats.h"
#include "analysis/Colorimetry.h"
#include "analysis/ResultGrid.h"
#include "app/Design.h"
#include "app/SpinEdit.h"

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

// The area study: the pixels of the area selection (or of the whole displayed picture) whose
// three channels lie within the six inclusive bounds are painted black on the main window and
// their count, means, deviations and coefficients of variation shown. OK hands the mean
// colour to the colour demonstration window. Created once; the bounds, labels and results
// stay between showings.
class TGlobal : public QDialog,
                public design::ResultGridControls,
                public probnik::StatisticsFields {
    Q_OBJECT
public:
    explicit TGlobal(QWidget* parent = nullptr);
    ~TGlobal() override;

    // Controls, named as in the window design.
    QLabel* Label1 = nullptr; // "R"
    QLabel* Label2 = nullptr; // "G"
    QLabel* Label3 = nullptr; // "B"
    QLabel* Label4 = nullptr; // "Min"
    QLabel* Label5 = nullptr; // "Max"
    TCSpinEdit* Rmin = nullptr;
    TCSpinEdit* Rmax = nullptr;
    TCSpinEdit* Gmin = nullptr;
    TCSpinEdit* Gmax = nullptr;
    TCSpinEdit* Bmin = nullptr;
    TCSpinEdit* Bmax = nullptr;
    QPushButton* BitBtn1 = nullptr; // "Badanie"
    QLabel* Label6 = nullptr; // the match count
    QLabel* Label7 = nullptr; // "R"
    QLabel* Label8 = nullptr; // "G"
    QLabel* Label9 = nullptr; // "B"
    QLabel* Label10 = nullptr; // "Średnia"
    QLabel* Label11 = nullptr; // "Odchylenie stand."
    QLabel* Label12 = nullptr; // "Wsp. zmienn."
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    QFrame* Bevel1 = nullptr;
    QFrame* Bevel2 = nullptr;
    QFrame* Bevel3 = nullptr;
    QFrame* Bevel4 = nullptr;
    QFrame* Bevel5 = nullptr;

    // The results of the last study.
    int Count = 0;
    // ... and their statistics, the StatisticsFields (MeanR ... VarCoefG).

    // Handlers.
    void FormCreate();
    void FormShow();
    void BitBtn1Click();
    void OKBtnClick();
    void CancelBtnClick();

signals:
    // After every study, also one without a match: the study with its matches.
    void studied(const probnik::AreaStudy& study);

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildDesign();
};

extern TGlobal* Global;
