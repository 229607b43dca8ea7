// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "analysis/AbChart.h"
#include "analysis/AreaStudy.h"
#include "analysis/Colorimetry.h"
#include "colour/LabConversion.h"
#include "common/Color.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QVBoxLayout;
class LabTableModel;

// The colorimetry window: the main window's samples in CIE L*a*b* and LCh with their dE00 to a
// reference, the samples' L*a*b* statistics and those of the last area study. Modeless and
// created once; it follows the samples and the studies whether shown or not. The reference is
// sample 1 until a row is double-clicked or L*, a*, b* are typed in. Every L*a*b* goes through
// the picture's profile (or one the user chose) at the chosen reference white, from the
// picture's 16-bit values where it has them.
class TKolorymetria : public QWidget {
    Q_OBJECT
public:
    explicit TKolorymetria(QWidget* parent = nullptr);
    ~TKolorymetria() override;

    // The table's columns as shown; the CSV file names dE00 in ASCII and leaves out whether
    // a sample lies within the tolerance (its last line counts them).
    enum Column { Nr, R, G, B, L, A, Bstar, C, H, DeltaE, Within, ColumnCount };

    QLabel* Model = nullptr; // the colour model: the profile, the white, the depth
    QComboBox* White = nullptr; // the reference white: D65, D50
    QPushButton* LoadProfile = nullptr; // "Wczytaj profil…"
    QPushButton* FileProfile = nullptr; // "Profil pliku"
    QTableView* Table = nullptr;
    QLabel* Reference = nullptr; // "Odniesienie: ..."
    QLineEdit* RefL = nullptr;
    QLineEdit* RefA = nullptr;
    QLineEdit* RefB = nullptr;
    QPushButton* RefSet = nullptr; // "Ustaw"
    QLabel* RefNote = nullptr; // why typed values were not taken
    QLineEdit* Tolerance = nullptr; // t, dE00
    QLabel* ToleranceNote = nullptr; // why a typed tolerance was not taken
    QLabel* WithinCounts = nullptr; // the samples within t and beyond it
    QLabel* AreaWithin = nullptr; // the share of the area's pixels within t
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

    // The samples, as the main window holds them, with their values at 16 bits where the
    // picture has them (the sample lies in the box of a picture of more than 8 bits).
    std::vector<probnik::Color> Colors;
    std::vector<std::optional<std::array<std::uint16_t, 3>>> Deep;
    // The opened picture's own profile, and the one the user chose instead until the next Open.
    probnik::colour::ColourProfile FileColour
        = probnik::colour::ColourProfile::assumedSrgb(probnik::colour::PixelKind::Rgb);
    std::optional<probnik::colour::ColourProfile> ChosenColour;
    // The reference: a sample (index into Colors) or typed values.
    int ReferenceSample = 0;
    std::optional<probnik::lab::Lab> TypedReference;
    // The last area study, none before the first.
    std::optional<probnik::lab::LabStatistics> Area;

    // The reference's L*a*b*; none while it is a sample and there are none.
    std::optional<probnik::lab::Lab> reference() const;
    // Sample i's L*a*b* as measured, and every sample's in order.
    probnik::lab::Lab sampleLab(std::size_t i) const;
    std::vector<probnik::lab::Lab> sampleLabs() const;
    // The dE00 tolerance in use: the last one typed that was taken.
    double tolerance() const { return m_tolerance; }
    const probnik::colour::LabConverter& converter() const { return *m_converter; }
    // The bits a channel of the values measured: 16 where the picture has them, else 8.
    int bits() const { return m_bits; }

    // Handlers.
    void refreshSamples(); // reads the main window's samples
    void pictureOpened(); // takes the new picture's profile and depth
    void showArea(const probnik::AreaStudy& study);
    void WhiteChange(); // the white chosen
    void LoadProfileClick();
    void FileProfileClick();
    void chooseSample(int row); // a double click on a row
    void RefSetClick(); // the typed L*, a*, b*
    void ZapiszClick();
    void copyRows(); // the selected rows, tab-separated, to the clipboard
    void ToleranceChange(); // the tolerance typed
    void selectSample(int row); // the row selected and shown, as a click on it does

signals:
    // Something measured changed: the samples, the reference, the profile, the white, the
    // tolerance or the area. Whoever draws the values reads them again.
    void measured();

private:
    void buildDesign();
    void buildTable(QVBoxLayout* layout);
    void buildReferenceRow(QVBoxLayout* layout); // the reference's caption, edits and note
    void buildToleranceRow(QVBoxLayout* layout); // the tolerance's edit, note and counts
    void buildStatisticsBlocks(QVBoxLayout* layout); // the samples' and the area's
    void showReference(); // the reference's caption and everything measured against it
    void showStatistics();
    void showWithin(std::span<const probnik::lab::Lab> labs, std::optional<probnik::lab::Lab> ref);
    void measure(); // a new converter: every value measured again
    void measureArea();

    LabTableModel* m_model = nullptr;
    std::unique_ptr<probnik::colour::LabConverter> m_converter;
    int m_bits = 8;
    // The last area study's matches: 8-bit colours, and values at 16 bits where the picture
    // had them, channels() values each.
    std::vector<probnik::Color> m_area8;
    std::vector<std::uint16_t> m_area16;
    bool m_studied = false;
    // The last area study's matches in L*a*b*, counted against each reference and tolerance.
    std::vector<probnik::colour::Lab> m_areaLabs;
    struct AreaShare {
        probnik::lab::Lab reference;
        double t = 0;
        double share = 0;
    };
    std::optional<AreaShare> m_areaShare;
    double m_tolerance = probnik::lab::DefaultTolerance;
};

extern TKolorymetria* Kolorymetria;
