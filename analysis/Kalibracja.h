// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "analysis/Calibration.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <optional>
#include <vector>

class QAction;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;
class PatchPicture;

// The calibration window: the chart's reference values (built in or from a CGATS file), its
// four corner patches pointed at in the main window, the fit and its report, and the
// calibration the colorimetry window corrects its L*a*b* with. Modeless and created once.
//
// While the corners are being pointed at, the next left presses on the main window's surface
// are the corners, not samples; the surface shows its own cursor and Esc ends the mode.
class TKalibracja : public QWidget {
    Q_OBJECT
public:
    explicit TKalibracja(QWidget* parent = nullptr);
    ~TKalibracja() override;

    // The report's columns.
    enum Column {
        Pole,
        Name,
        LRef,
        ARef,
        BRef,
        L,
        A,
        B,
        LCal,
        ACal,
        BCal,
        DeltaE,
        DeltaECal,
        Note,
        ColumnCount
    };

    QLabel* ChartName = nullptr; // which reference values
    QPushButton* BuiltIn = nullptr; // "Wzorzec wbudowany"
    QPushButton* LoadChart = nullptr; // "Wczytaj wzorzec…"
    QSpinBox* Rows = nullptr; // a CGATS chart's rows and columns
    QSpinBox* Columns = nullptr;
    QPushButton* Corners = nullptr; // "Wskaż narożniki"
    QLabel* Status = nullptr; // the corner to point at next, or what went wrong
    QTableWidget* Table = nullptr;
    // Mean, median and largest dE00 (rows) before and after (columns).
    QLabel* Summary[3][2] = {};
    PatchPicture* Patches = nullptr;
    QPushButton* SaveCalibration = nullptr; // "Zapisz kalibrację…"
    QPushButton* LoadCalibration = nullptr; // "Wczytaj kalibrację…"
    QPushButton* SaveReport = nullptr; // "Zapisz raport…" (Ctrl+S)

    QAction* CornersAction = nullptr; // Ctrl+N
    QAction* LoadChartAction = nullptr; // Ctrl+R
    QAction* BuiltInAction = nullptr; // Ctrl+B
    QAction* SaveCalibrationAction = nullptr; // Ctrl+E
    QAction* LoadCalibrationAction = nullptr; // Ctrl+O
    QAction* SaveReportAction = nullptr; // Ctrl+S
    QAction* CancelAction = nullptr; // Esc, here and in the main window

    const probnik::calibration::Chart& chart() const { return m_chart; }
    // The calibration made or loaded last; none before the first.
    const probnik::calibration::Calibration* calibration() const
    {
        return m_calibration ? &*m_calibration : nullptr;
    }
    // The file it was loaded from or saved to; empty while it is kept nowhere.
    const QString& calibrationPath() const { return m_calibrationPath; }
    // Whether the next left presses on the main window are the corners.
    bool pointing() const { return m_pointing; }

    // Handlers.
    void CornersClick();
    void cancelCorners(); // Esc
    void LoadChartClick();
    void BuiltInClick();
    void SaveCalibrationClick();
    void LoadCalibrationClick();
    void SaveReportClick();

signals:
    // A calibration was made or loaded.
    void calibrationChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool m_placed = false;
    void buildDesign();
    QAction* addCommand(
        QPushButton* button, const QKeySequence& key, void (TKalibracja::*handler)());
    void takeCorner(int x, int y); // a left press on the main window's surface
    void askForCorner();
    void endPointing();
    void measure(); // the four corners given
    void drawSquares(const std::vector<probnik::Rect>& squares);
    void showChart();
    void showReport();
    void enableCommands();
    // Loads the calibration at path; a failure is shown unless quiet. Returns whether loaded.
    bool load(const QString& path, bool warnOfProfile);
    QString startFolder() const;

    probnik::calibration::Chart m_chart;
    std::optional<probnik::calibration::Fit> m_fit;
    std::optional<probnik::calibration::Calibration> m_calibration;
    QString m_calibrationPath;
    bool m_pointing = false;
    std::vector<probnik::calibration::PointF> m_corners;
    QPointer<QAction> m_mainCancel; // Esc in the main window, while pointing
};

extern TKalibracja* Kalibracja;
