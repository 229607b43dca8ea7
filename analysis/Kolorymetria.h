// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "analysis/Colorimetry.h"
#include "common/Color.h"

#include <QWidget>

#include <optional>
#include <vector>

class QAction;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QVBoxLayout;
class LabTableModel;

// The colorimetry window: the main window's samples in CIE L*a*b* and LCh with their dE00 to a
// reference, the samples' L*a*b* statistics and those of the last area study. Modeless and
// created once; it follows the samples and the studies whether shown or not. The reference is
// sample 1 until a row is double-clicked or L*, a*, b* are typed in.
class TKolorymetria : public QWidget {
    Q_OBJECT
public:
    explicit TKolorymetria(QWidget* parent = nullptr);
    ~TKolorymetria() override;

    // The table's columns as shown; the CSV file names dE00 in ASCII.
    enum Column { Nr, R, G, B, L, A, Bstar, C, H, DeltaE, ColumnCount };

    QLabel* Model = nullptr; // the colour model
    QTableView* Table = nullptr;
    QLabel* Reference = nullptr; // "Odniesienie: ..."
    QLineEdit* RefL = nullptr;
    QLineEdit* RefA = nullptr;
    QLineEdit* RefB = nullptr;
    QPushButton* RefSet = nullptr; // "Ustaw"
    QLabel* RefNote = nullptr; // why typed values were not taken
    QLabel* SampleMean[3] = {}; // L*, a*, b*
    QLabel* SampleDev[3] = {};
    QLabel* SampleSpread = nullptr; // the largest dE00 from the mean
    QLabel* AreaCount = nullptr;
    QLabel* AreaMean[3] = {};
    QLabel* AreaDev[3] = {};
    QLabel* AreaDeltaE = nullptr; // dE00 of the area's mean from the reference
    QPushButton* Zapisz = nullptr;
    QAction* SaveAction = nullptr; // Ctrl+S
    QAction* CopyAction = nullptr; // Ctrl+C

    // The samples, as the main window holds them.
    std::vector<probnik::Color> Colors;
    // The reference: a sample (index into Colors) or typed values.
    int ReferenceSample = 0;
    std::optional<probnik::lab::Lab> TypedReference;
    // The last area study, none before the first.
    std::optional<probnik::lab::LabStatistics> Area;

    // The reference's L*a*b*; none while it is a sample and there are none.
    std::optional<probnik::lab::Lab> reference() const;

    // Handlers.
    void refreshSamples(); // reads the main window's samples
    void showArea(const probnik::lab::LabStatistics& area);
    void chooseSample(int row); // a double click on a row
    void RefSetClick(); // the typed L*, a*, b*
    void ZapiszClick();
    void copyRows(); // the selected rows, tab-separated, to the clipboard

private:
    void buildDesign();
    void buildTable(QVBoxLayout* layout);
    void buildReferenceRow(QVBoxLayout* layout); // the reference's caption, edits and note
    void buildStatisticsBlocks(QVBoxLayout* layout); // the samples' and the area's
    void showReference(); // the reference's caption and everything measured against it
    void showStatistics();

    LabTableModel* m_model = nullptr;
};

extern TKolorymetria* Kolorymetria;
