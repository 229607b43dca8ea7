// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "analysis/AbChart.h"
#include "analysis/AreaStudy.h"
#include "analysis/Colorimetry.h"
#include "analysis/FileSampling.h"
#include "colour/LabConversion.h"
#include "common/Color.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
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
    // a sample lies within the tolerance (its last line counts them). The pixel count and the
    // deviation of L* are shown only while samples come from the file.
    enum Column { Nr, R, G, B, L, A, Bstar, C, H, DeltaE, Within, Count, DevL, ColumnCount };

    QLabel* Model = nullptr; // the colour model: the profile, the white, the depth
    QComboBox* White = nullptr; // the reference white: D65, D50
    QPushButton* LoadProfile = nullptr; // "Wczytaj profil…"
    QPushButton* FileProfile = nullptr; // "Profil pliku"
    QComboBox* Sample = nullptr; // "Próbka z pliku": what a sample measures
    QComboBox* AreaFrom = nullptr; // "Obszar": the screen pixels studied or the file's behind
    QLabel* FileNote = nullptr; // why samples or the area keep their screen values
    QLabel* AreaOrigin = nullptr; // where the area's figures come from, with the clipped share
    QCheckBox* UseCalibration = nullptr; // "Użyj kalibracji": the calibration window's
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
    // Sample i measured over the file's pixels in the mode chosen, or none: a screen value.
    std::vector<std::optional<probnik::FileSample>> FileSamples;

    // The reference's L*a*b*; none while it is a sample and there are none.
    std::optional<probnik::lab::Lab> reference() const;
    // Sample i's L*a*b* as measured, and every sample's in order.
    probnik::lab::Lab sampleLab(std::size_t i) const;
    std::vector<probnik::lab::Lab> sampleLabs() const;
    // The dE00 tolerance in use: the last one typed that was taken.
    double tolerance() const { return m_tolerance; }
    const probnik::colour::LabConverter& converter() const { return *m_converter; }
    // What a sample measures, as chosen.
    probnik::SampleMode sampleMode() const;
    // The bits a channel of the values measured: 16 where the picture has them, else 8.
    int bits() const { return m_bits; }

    // Handlers.
    void refreshSamples(); // reads the main window's samples
    void pictureOpened(); // takes the new picture's profile and depth
    void showArea(const probnik::AreaStudy& study);
    void WhiteChange(); // the white chosen
    void SampleChange(); // the sample mode chosen
    void AreaFromChange(); // where the area's figures come from
    void LoadProfileClick();
    void FileProfileClick();
    void chooseSample(int row); // a double click on a row
    void RefSetClick(); // the typed L*, a*, b*
    void ZapiszClick();
    void copyRows(); // the selected rows, tab-separated, to the clipboard
    // The calibration window made or loaded a calibration: the box follows, and turnOn checks
    // it (the calibration kept from the last run).
    void calibrationChanged(bool turnOn);
    void UseCalibrationClick();
    // Whether every L*a*b* goes through the calibration.
    bool usesCalibration() const;

    void ToleranceChange(); // the tolerance typed
    void selectSample(int row); // the row selected and shown, as a click on it does

signals:
    // A new profile, white or depth: every L*a*b* measured again.
    void modelChanged();
    // The area's pixels are now taken from the screen or from the file ("Obszar").
    void areaSourceChanged();

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
    void setRows(); // the rows measured again as they are now
    void showModel();
    // The parts of the CSV file's last line, which the model label shows too: the colour
    // model, then the sample mode.
    std::vector<std::string> lastLine() const;
    // The file's pixels of the regions in one pass, with the bar saying `label`: cancelled,
    // failed (the file no longer the one opened, or unreadable) or read.
    std::optional<probnik::Error> readFile(
        std::span<const probnik::Rect> regions, probnik::PixelSink& sink, const QString& label);
    // Samples from `from` on read from the file in the mode chosen; a failure or a cancel
    // leaves them screen values and says so. False when cancelled.
    bool readSamples(std::size_t from);
    void readArea(); // every file pixel behind the last study
    bool areaFromFile() const; // whether the area's figures are the file's
    double areaClipped() const; // the share of the area's pixels clipped
    void afterReading(); // what came in while the file was being read
    // A measured L*a*b* as the window shows it: corrected while the calibration is used.
    probnik::lab::Lab shown(probnik::colour::Lab measured) const;
    // The same for the file's pixels as they are summed.
    std::function<probnik::colour::Lab(const probnik::colour::Lab&)> correction() const;

    LabTableModel* m_model = nullptr;
    std::unique_ptr<probnik::colour::LabConverter> m_converter;
    int m_bits = 8;
    // The last area study's matches: 8-bit colours, and values at 16 bits where the picture
    // had them, channels() values each.
    std::vector<probnik::Color> m_area8;
    std::vector<std::uint16_t> m_area16;
    bool m_studied = false;
    std::string m_modelText;
    probnik::Rect m_studiedArea;
    probnik::ChannelBounds m_studiedBounds;
    double m_screenClipped = 0; // the share of the screen pixels studied clipped
    std::optional<probnik::FileAreaStatistics> m_fileArea;
    // The sample points as the main window holds them, and those FileSamples were read for.
    std::vector<probnik::Point> m_points;
    std::vector<probnik::Point> m_readPoints;
    // While the file is being read, events go on: what they bring waits until it is done.
    bool m_reading = false;
    bool m_samplesWaiting = false;
    bool m_pictureWaiting = false;
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
