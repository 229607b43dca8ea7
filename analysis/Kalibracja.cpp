// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/Kalibracja.h"

#include "analysis/Kolorymetria.h"
#include "analysis/SaveCsv.h"
#include "analysis/Warn.h"
#include "app/Display.h"
#include "app/Main.h"
#include "app/Placement.h"
#include "app/ProbnikApplication.h"
#include "app/Surface.h"
#include "colour/SrgbPreview.h"
#include "common/NumberText.h"

#include <QAction>
#include <QBitmap>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

using namespace probnik;
using namespace probnik::calibration;

TKalibracja* Kalibracja = nullptr;

// Each patch as a square, reference on the left, corrected on the right, laid out as the
// chart is; without a fit only the reference.
class PatchPicture : public QWidget {
public:
    using QWidget::QWidget;

    void setPatches(
        int rows, int columns, std::vector<Color> reference, std::vector<Color> corrected)
    {
        m_rows = rows;
        m_columns = columns;
        m_reference = std::move(reference);
        m_corrected = std::move(corrected);
        update();
    }
    QSize sizeHint() const override { return { 6 * 48, 4 * 28 }; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        if (m_rows <= 0 || m_columns <= 0)
            return;
        const double cellW = double(width()) / m_columns;
        const double cellH = double(height()) / m_rows;
        const auto qcolor = [](Color c) { return QColor(red(c), green(c), blue(c)); };
        for (int r = 0; r < m_rows; ++r)
            for (int c = 0; c < m_columns; ++c) {
                const std::size_t i = std::size_t(r) * std::size_t(m_columns) + std::size_t(c);
                if (i >= m_reference.size())
                    return;
                const QRectF cell(c * cellW + 2, r * cellH + 2, cellW - 4, cellH - 4);
                const bool pair = i < m_corrected.size();
                const QRectF left(
                    cell.left(), cell.top(), pair ? cell.width() / 2 : cell.width(), cell.height());
                painter.fillRect(left, qcolor(m_reference[i]));
                if (pair)
                    painter.fillRect(
                        QRectF(left.right(), cell.top(), cell.width() / 2, cell.height()),
                        qcolor(m_corrected[i]));
            }
    }

private:
    int m_rows = 0;
    int m_columns = 0;
    std::vector<Color> m_reference;
    std::vector<Color> m_corrected;
};

namespace {

QString text(const std::string& s)
{
    return QString::fromStdString(s);
}

QString twoDecimals(double value)
{
    return text(decimals(value, 2));
}

// A ring with a cross and a gap at its centre: where the patch's centre is pointed at, and
// unlike the cross of area mode.
QCursor cornerCursor()
{
    constexpr int side = 31;
    constexpr int mid = side / 2;
    QPixmap picture(side, side);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    for (const auto& [colour, width] : { std::pair { Qt::white, 3 }, std::pair { Qt::black, 1 } }) {
        painter.setPen(QPen(colour, width));
        painter.drawEllipse(QPoint(mid, mid), 9, 9);
        painter.drawLine(mid, 0, mid, mid - 4);
        painter.drawLine(mid, mid + 4, mid, side - 1);
        painter.drawLine(0, mid, mid - 4, mid);
        painter.drawLine(mid + 4, mid, side - 1, mid);
    }
    painter.end();
    return QCursor(picture, mid, mid);
}

const char* const CornerNames[4] = { "pierwszego pola", "ostatniego pola pierwszego rzędu",
    "ostatniego pola", "pierwszego pola ostatniego rzędu" };

// The profile the colorimetry window measures through, and its white.
colour::ColourProfile pictureProfile()
{
    if (Kolorymetria)
        return Kolorymetria->converter().profile();
    return ProbnikMain ? colour::ColourProfile::fromDescription(ProbnikMain->PictureColour,
               ProbnikMain->PictureGrey ? colour::PixelKind::Grey : colour::PixelKind::Rgb)
                       : colour::ColourProfile::assumedSrgb(colour::PixelKind::Rgb);
}

colour::ReferenceWhite measuredWhite()
{
    if (Kolorymetria)
        return Kolorymetria->converter().white();
    return ProbnikMain ? ProbnikMain->LabWhite : colour::ReferenceWhite::D65;
}

} // namespace

TKalibracja::TKalibracja(QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_chart(classicChart())
{
    setObjectName(QStringLiteral("Kalibracja"));
    setWindowTitle(QStringLiteral("Kalibracja"));
    buildDesign();
    if (ProbnikMain) {
        ProbnikMain->Client->installEventFilter(this);
        m_mainCancel = new QAction(QStringLiteral("Przerwij wskazywanie"), ProbnikMain);
        m_mainCancel->setShortcut(QKeySequence(Qt::Key_Escape));
        m_mainCancel->setEnabled(false);
        connect(m_mainCancel, &QAction::triggered, this, &TKalibracja::cancelCorners);
        ProbnikMain->addAction(m_mainCancel);
    }
    showChart();
    showReport();
    // The calibration in use last time is in use again. The colorimetry window asks this
    // window for it already while it is being made.
    Kalibracja = this;
    if (ProbnikMain && !ProbnikMain->CalibrationFile.isEmpty()) {
        if (load(ProbnikMain->CalibrationFile, false)) {
            if (Kolorymetria)
                Kolorymetria->calibrationChanged(true);
        }
    }
    if (Kolorymetria)
        connect(this, &TKalibracja::calibrationChanged, Kolorymetria,
            [] { Kolorymetria->calibrationChanged(false); });
    enableCommands();
}

TKalibracja::~TKalibracja()
{
    if (m_pointing)
        endPointing();
    if (ProbnikMain) {
        ProbnikMain->Client->removeEventFilter(this);
        delete m_mainCancel;
    }
    if (Kalibracja == this)
        Kalibracja = nullptr;
}

QAction* TKalibracja::addCommand(
    QPushButton* button, const QKeySequence& key, void (TKalibracja::*handler)())
{
    auto* action = new QAction(button->text(), this);
    action->setShortcut(key);
    connect(action, &QAction::triggered, this, handler);
    connect(button, &QPushButton::clicked, action, &QAction::trigger);
    addAction(action);
    button->setToolTip(QStringLiteral("%1 (%2)").arg(
        button->text().remove(u'&'), key.toString(QKeySequence::NativeText)));
    return action;
}

void TKalibracja::buildDesign()
{
    auto* layout = new QVBoxLayout(this);
    auto button = [this](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };

    auto* chartBox = new QGroupBox(QStringLiteral("Wzorzec"), this);
    auto* chartRow = new QHBoxLayout(chartBox);
    ChartName = new QLabel(chartBox);
    ChartName->setObjectName(QStringLiteral("ChartName"));
    chartRow->addWidget(ChartName, 1);
    BuiltIn = button("BuiltIn", QStringLiteral("Wzorzec w&budowany"));
    chartRow->addWidget(BuiltIn);
    LoadChart = button("LoadChart", QStringLiteral("&Wczytaj wzorzec…"));
    chartRow->addWidget(LoadChart);
    auto spin = [this, chartRow](const char* name, const QString& caption, int value) {
        auto* label = new QLabel(caption, this);
        auto* s = new QSpinBox(this);
        s->setObjectName(QString::fromLatin1(name));
        s->setRange(2, 99);
        s->setValue(value);
        label->setBuddy(s);
        chartRow->addWidget(label);
        chartRow->addWidget(s);
        return s;
    };
    Rows = spin("Rows", QStringLiteral("W&iersze:"), DefaultRows);
    Columns = spin("Columns", QStringLiteral("&Kolumny:"), DefaultColumns);
    layout->addWidget(chartBox);

    auto* cornerRow = new QHBoxLayout;
    Corners = button("Corners", QStringLiteral("Wskaż &narożniki"));
    cornerRow->addWidget(Corners);
    Status = new QLabel(this);
    Status->setObjectName(QStringLiteral("Status"));
    Status->setWordWrap(true);
    cornerRow->addWidget(Status, 1);
    layout->addLayout(cornerRow);

    Table = new QTableWidget(0, ColumnCount, this);
    Table->setObjectName(QStringLiteral("Table"));
    Table->setHorizontalHeaderLabels({ QStringLiteral("Pole"), QStringLiteral("Nazwa"),
        QStringLiteral("L* wz."), QStringLiteral("a* wz."), QStringLiteral("b* wz."),
        QStringLiteral("L*"), QStringLiteral("a*"), QStringLiteral("b*"), QStringLiteral("L* kal."),
        QStringLiteral("a* kal."), QStringLiteral("b* kal."), QStringLiteral("ΔE00"),
        QStringLiteral("ΔE00 kal."), QStringLiteral("Uwagi") });
    Table->verticalHeader()->hide();
    Table->verticalHeader()->setDefaultSectionSize(Table->fontMetrics().height() + 6);
    Table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    Table->horizontalHeader()->setStretchLastSection(true);
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setAlternatingRowColors(true);
    layout->addWidget(Table, 1);

    auto* below = new QHBoxLayout;
    auto* figuresBox = new QGroupBox(QStringLiteral("ΔE00 pól użytych"), this);
    auto* grid = new QGridLayout(figuresBox);
    grid->addWidget(new QLabel(QStringLiteral("przed"), figuresBox), 0, 1, Qt::AlignRight);
    grid->addWidget(new QLabel(QStringLiteral("po kalibracji"), figuresBox), 0, 2, Qt::AlignRight);
    const QString figureNames[3]
        = { QStringLiteral("Średnia"), QStringLiteral("Mediana"), QStringLiteral("Największa") };
    for (int r = 0; r < 3; ++r) {
        grid->addWidget(new QLabel(figureNames[r], figuresBox), r + 1, 0);
        for (int c = 0; c < 2; ++c) {
            Summary[r][c] = new QLabel(figuresBox);
            Summary[r][c]->setObjectName(QStringLiteral("Figure%1%2").arg(r).arg(c));
            Summary[r][c]->setAlignment(Qt::AlignRight);
            Summary[r][c]->setMinimumWidth(
                Summary[r][c]->fontMetrics().horizontalAdvance(QStringLiteral("0000.00")));
            grid->addWidget(Summary[r][c], r + 1, c + 1);
        }
    }
    below->addWidget(figuresBox);
    auto* patchesBox = new QGroupBox(QStringLiteral("Pola: wzorzec | po kalibracji (sRGB)"), this);
    auto* patchesLayout = new QVBoxLayout(patchesBox);
    Patches = new PatchPicture(patchesBox);
    Patches->setObjectName(QStringLiteral("Patches"));
    Patches->setMinimumSize(6 * 40, 4 * 24);
    patchesLayout->addWidget(Patches);
    below->addWidget(patchesBox, 1);
    layout->addLayout(below);

    auto* buttons = new QHBoxLayout;
    SaveCalibration = button("SaveCalibration", QStringLiteral("&Zapisz kalibrację…"));
    LoadCalibration = button("LoadCalibration", QStringLiteral("Wczytaj k&alibrację…"));
    SaveReport = button("SaveReport", QStringLiteral("Zapisz &raport…"));
    buttons->addWidget(SaveCalibration);
    buttons->addWidget(LoadCalibration);
    buttons->addStretch(1);
    buttons->addWidget(SaveReport);
    layout->addLayout(buttons);

    CornersAction
        = addCommand(Corners, QKeySequence(Qt::CTRL | Qt::Key_N), &TKalibracja::CornersClick);
    LoadChartAction
        = addCommand(LoadChart, QKeySequence(Qt::CTRL | Qt::Key_R), &TKalibracja::LoadChartClick);
    BuiltInAction
        = addCommand(BuiltIn, QKeySequence(Qt::CTRL | Qt::Key_B), &TKalibracja::BuiltInClick);
    SaveCalibrationAction = addCommand(
        SaveCalibration, QKeySequence(Qt::CTRL | Qt::Key_E), &TKalibracja::SaveCalibrationClick);
    LoadCalibrationAction = addCommand(
        LoadCalibration, QKeySequence(Qt::CTRL | Qt::Key_O), &TKalibracja::LoadCalibrationClick);
    SaveReportAction
        = addCommand(SaveReport, QKeySequence(Qt::CTRL | Qt::Key_S), &TKalibracja::SaveReportClick);
    CancelAction = new QAction(QStringLiteral("Przerwij wskazywanie"), this);
    CancelAction->setShortcut(QKeySequence(Qt::Key_Escape));
    CancelAction->setEnabled(false);
    connect(CancelAction, &QAction::triggered, this, &TKalibracja::cancelCorners);
    addAction(CancelAction);

    resize(900, 640);
}

void TKalibracja::enableCommands()
{
    const bool fitted = m_fit.has_value();
    SaveReport->setEnabled(fitted);
    SaveReportAction->setEnabled(fitted);
    SaveCalibration->setEnabled(m_calibration.has_value());
    SaveCalibrationAction->setEnabled(m_calibration.has_value());
    BuiltIn->setEnabled(!m_chart.file.empty());
    BuiltInAction->setEnabled(!m_chart.file.empty());
}

QString TKalibracja::startFolder() const
{
    return ProbnikMain ? ProbnikMain->InitialDir : QString();
}

// ---------------------------------------------------------------------------------------------
// The chart

void TKalibracja::showChart()
{
    ChartName->setText(QStringLiteral("%1: %2 pól (%3 × %4)")
                           .arg(text(m_chart.name))
                           .arg(m_chart.patches.size())
                           .arg(m_chart.rows)
                           .arg(m_chart.columns));
}

void TKalibracja::LoadChartClick()
{
    const QString path = ProbnikApplication::dialogs().openChart(this, startFolder());
    if (path.isEmpty())
        return;
    auto read
        = readCgatsFile(std::filesystem::path(path.toStdString()), Rows->value(), Columns->value());
    if (!read) {
        ProbnikApplication::showError(this, text(read.error().message));
        return;
    }
    m_chart = std::move(read.value());
    showChart();
    enableCommands();
}

void TKalibracja::BuiltInClick()
{
    m_chart = classicChart();
    showChart();
    enableCommands();
}

// ---------------------------------------------------------------------------------------------
// Pointing at the corners

void TKalibracja::CornersClick()
{
    if (!ProbnikMain || ProbnikMain->PicturePath.isEmpty() || ProbnikMain->ImageWidth <= 0) {
        ProbnikApplication::showError(
            this, QStringLiteral("Najpierw otwórz obraz, na którym jest wzorzec."));
        return;
    }
    // Area mode ends: the presses are the corners now.
    if (ProbnikMain->ToolButton9->isChecked())
        ProbnikMain->ToolButton9->setChecked(false);
    ProbnikMain->Selection.reset();
    m_corners.clear();
    m_pointing = true;
    ProbnikMain->Client->setCursor(cornerCursor());
    CancelAction->setEnabled(true);
    if (m_mainCancel)
        m_mainCancel->setEnabled(true);
    // The corners are pointed at on the picture: the main window comes in front of this one,
    // which comes back with the report.
    ProbnikMain->raise();
    ProbnikMain->activateWindow();
    askForCorner();
}

void TKalibracja::askForCorner()
{
    const QString message
        = QStringLiteral("Kliknij na obrazie środek %1 (narożnik %2 z 4); Esc przerywa.")
              .arg(QString::fromUtf8(CornerNames[m_corners.size()]))
              .arg(m_corners.size() + 1);
    Status->setText(message);
    ProbnikMain->StatusBar->showMessage(message);
}

void TKalibracja::endPointing()
{
    m_pointing = false;
    CancelAction->setEnabled(false);
    if (m_mainCancel)
        m_mainCancel->setEnabled(false);
    if (ProbnikMain) {
        ProbnikMain->Client->setCursor(Qt::ArrowCursor);
        ProbnikMain->StatusBar->clearMessage();
    }
}

void TKalibracja::cancelCorners()
{
    if (!m_pointing)
        return;
    endPointing();
    m_corners.clear();
    Status->setText(QStringLiteral("Wskazywanie narożników przerwane."));
}

bool TKalibracja::eventFilter(QObject* watched, QEvent* event)
{
    if (m_pointing && ProbnikMain && watched == ProbnikMain->Client
        && event->type() == QEvent::MouseButtonPress) {
        const auto* press = static_cast<QMouseEvent*>(event);
        if (press->button() == Qt::LeftButton) {
            const QPoint p = press->position().toPoint();
            takeCorner(p.x(), p.y());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TKalibracja::takeCorner(int x, int y)
{
    // As a sample would be: a press in the magnifier points at the place it shows.
    const Rect box = ProbnikMain->DisplayBox;
    const Point p = display::mapClick({ x, y }, ProbnikMain->MagnifierCentre, box);
    const int boxWidth = box.Right - box.Left;
    const int boxHeight = box.Bottom - box.Top;
    if (p.x < box.Left || p.x >= box.Right || p.y < box.Top || p.y >= box.Bottom || boxWidth <= 0
        || boxHeight <= 0) {
        const QString message
            = QStringLiteral("Kliknięcie poza obrazem – pominięte. Kliknij środek %1.")
                  .arg(QString::fromUtf8(CornerNames[m_corners.size()]));
        Status->setText(message);
        ProbnikMain->StatusBar->showMessage(message);
        return;
    }
    // Box pixel i shows the file's pixels from i * width / boxWidth on: the centre of that
    // block, in the file's pixel coordinates (a pixel's centre at its own number).
    const auto centre
        = [](int i, int file, int shown) { return (i + 0.5) * double(file) / double(shown) - 0.5; };
    m_corners.push_back({ centre(p.x - box.Left, ProbnikMain->ImageWidth, boxWidth),
        centre(p.y - box.Top, ProbnikMain->ImageHeight, boxHeight) });
    if (m_corners.size() < 4) {
        askForCorner();
        return;
    }
    endPointing();
    raise();
    activateWindow();
    measure();
}

// ---------------------------------------------------------------------------------------------
// Measuring and fitting

void TKalibracja::measure()
{
    const calibration::Corners corners { m_corners[0], m_corners[1], m_corners[2], m_corners[3] };
    m_corners.clear();
    const Size picture { ProbnikMain->ImageWidth, ProbnikMain->ImageHeight };
    const auto fail = [this](const QString& message) {
        Status->setText(message);
        ProbnikApplication::showError(this, message);
    };
    auto placed = placePatches(corners, m_chart, picture);
    if (!placed) {
        fail(text(placed.error().message));
        return;
    }
    // The squares are read from the file the box shows, or not at all.
    if (!ProbnikMain->pictureFileUnchanged()) {
        fail(QStringLiteral(
            "Plik obrazu %1 zmienił się od otwarcia albo go nie ma; otwórz go ponownie.")
                 .arg(QDir::toNativeSeparators(ProbnikMain->PicturePath)));
        return;
    }
    const colour::ColourProfile profile = pictureProfile();
    Result<Fit> fitted = [&] {
        Progress progress(ProbnikApplication::dialogs().measureProgress(this));
        auto result = calibrate(
            m_chart, corners, ProbnikMain->PicturePath.toStdString(), picture, profile, progress);
        // "Anuluj" pressed while the last rows were read counts too.
        if (result && !progress.advance(1.0))
            return Result<Fit>(cancelled());
        return result;
    }();
    if (!fitted) {
        if (fitted.error().cancelled)
            Status->setText(QStringLiteral("Pomiar przerwany – nic się nie zmieniło."));
        else
            fail(text(fitted.error().message));
        return;
    }
    m_fit = std::move(fitted.value());
    m_calibration = calibrationOf(*m_fit, m_chart, profile, measuredWhite());
    m_calibrationPath.clear();
    Status->setText(QStringLiteral("Zmierzono %1 pól, do dopasowania użyto %2.")
                        .arg(m_fit->patches.size())
                        .arg(m_fit->used));
    drawSquares(placed.value().squares);
    showReport();
    enableCommands();
    emit calibrationChanged();
}

void TKalibracja::drawSquares(const std::vector<Rect>& squares)
{
    // Over the picture as the box shows it, in not-xor like the marker square: the next
    // repaint takes them away.
    Canvas& surface = ProbnikMain->canvas();
    const Rect box = ProbnikMain->DisplayBox;
    const long long boxWidth = box.Right - box.Left;
    const long long boxHeight = box.Bottom - box.Top;
    const long long width = ProbnikMain->ImageWidth;
    const long long height = ProbnikMain->ImageHeight;
    if (width <= 0 || height <= 0)
        return;
    const PenMode mode = surface.penMode;
    const Color pen = surface.penColor;
    const int penWidth = surface.penWidth;
    surface.penMode = PenMode::NotXor;
    surface.penColor = Black;
    surface.penWidth = 1;
    for (const Rect& r : squares) {
        const int left = box.Left + int(r.Left * boxWidth / width);
        const int top = box.Top + int(r.Top * boxHeight / height);
        const int right
            = std::max(left + 1, box.Left + int((r.Right * boxWidth + width - 1) / width));
        const int bottom
            = std::max(top + 1, box.Top + int((r.Bottom * boxHeight + height - 1) / height));
        surface.rectangleOutline({ left, top, right, bottom });
    }
    surface.penMode = mode;
    surface.penColor = pen;
    surface.penWidth = penWidth;
    ProbnikMain->Client->update();
}

// ---------------------------------------------------------------------------------------------
// The report

void TKalibracja::showReport()
{
    Table->setRowCount(0);
    std::vector<lab::Lab> referenceLabs;
    std::vector<lab::Lab> correctedLabs;
    int rows = m_chart.rows;
    int columns = m_chart.columns;
    const calibration::Figures* figures[2] = { nullptr, nullptr };
    auto cell = [this](int row, int column, const QString& value) {
        auto* item = new QTableWidgetItem(value);
        if (column != Pole && column != Name && column != Note)
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        Table->setItem(row, column, item);
        return item;
    };
    if (m_fit) {
        Table->setRowCount(int(m_fit->patches.size()));
        for (int i = 0; i < int(m_fit->patches.size()); ++i) {
            const PatchReport& p = m_fit->patches[std::size_t(i)];
            cell(i, Pole, text(p.id));
            cell(i, Name, text(p.name));
            const lab::Lab values[3] = { p.reference, p.measured, p.corrected };
            for (int k = 0; k < 3; ++k) {
                cell(i, LRef + 3 * k, twoDecimals(values[k].L));
                cell(i, ARef + 3 * k, twoDecimals(values[k].a));
                cell(i, BRef + 3 * k, twoDecimals(values[k].b));
            }
            cell(i, DeltaE, twoDecimals(p.deltaE00));
            cell(i, DeltaECal, twoDecimals(p.deltaE00Corrected));
            cell(i, Note,
                p.clipped ? QStringLiteral("przycięte – pominięte w dopasowaniu") : QString());
            if (p.clipped)
                for (int c = 0; c < ColumnCount; ++c)
                    Table->item(i, c)->setBackground(QColor(255, 220, 200));
            referenceLabs.push_back(p.reference);
            correctedLabs.push_back(p.corrected);
        }
        figures[0] = &m_fit->before;
        figures[1] = &m_fit->after;
    } else if (m_calibration) {
        // A calibration read from its file keeps its reference values and figures, not the
        // picture it was measured in.
        rows = m_calibration->rows;
        columns = m_calibration->columns;
        Table->setRowCount(int(m_calibration->reference.size()));
        for (int i = 0; i < int(m_calibration->reference.size()); ++i) {
            const Patch& p = m_calibration->reference[std::size_t(i)];
            cell(i, Pole, text(p.id));
            cell(i, Name, text(p.name));
            cell(i, LRef, twoDecimals(p.reference.L));
            cell(i, ARef, twoDecimals(p.reference.a));
            cell(i, BRef, twoDecimals(p.reference.b));
            referenceLabs.push_back(p.reference);
        }
        figures[0] = &m_calibration->before;
        figures[1] = &m_calibration->after;
    } else {
        for (const Patch& p : m_chart.patches)
            referenceLabs.push_back(p.reference);
    }
    for (int c = 0; c < 2; ++c) {
        const calibration::Figures* f = figures[c];
        const double values[3] = { f ? f->mean : 0, f ? f->median : 0, f ? f->largest : 0 };
        for (int r = 0; r < 3; ++r)
            Summary[r][c]->setText(f ? twoDecimals(values[r]) : QStringLiteral("–"));
    }
    const auto toColour = [](const std::vector<lab::Lab>& labs) {
        std::vector<colour::Lab> out;
        out.reserve(labs.size());
        for (const lab::Lab& v : labs)
            out.push_back({ v.L, v.a, v.b });
        return colour::srgbFromLabD50(out);
    };
    Patches->setPatches(rows, columns, toColour(referenceLabs), toColour(correctedLabs));
}

void TKalibracja::SaveReportClick()
{
    if (!m_fit || !ProbnikMain)
        return;
    saveCsvAs(this, ProbnikMain->InitialDir, [this](std::ostream& out) {
        return writeReportCsv(out, *m_fit, ProbnikMain->Separator.toUtf8().toStdString());
    });
}

// ---------------------------------------------------------------------------------------------
// The calibration file

void TKalibracja::SaveCalibrationClick()
{
    if (!m_calibration)
        return;
    Dialogs& dialogs = ProbnikApplication::dialogs();
    const QString path = dialogs.saveCalibration(this, startFolder());
    if (path.isEmpty())
        return;
    if (QFileInfo::exists(path)
        && (!OKBottomDlg || dialogs.runModal(OKBottomDlg) != QDialog::Accepted))
        return;
    if (const auto error = probnik::calibration::saveCalibration(
            std::filesystem::path(path.toStdString()), *m_calibration)) {
        ProbnikApplication::showError(this, text(error->message));
        return;
    }
    m_calibrationPath = QFileInfo(path).absoluteFilePath();
    // The calibration in use is now kept in this file, for the next run too.
    if (ProbnikMain && Kolorymetria && Kolorymetria->usesCalibration())
        ProbnikMain->CalibrationFile = m_calibrationPath;
    Status->setText(
        QStringLiteral("Kalibracja zapisana w %1.").arg(QDir::toNativeSeparators(path)));
}

void TKalibracja::LoadCalibrationClick()
{
    const QString path = ProbnikApplication::dialogs().openCalibration(this, startFolder());
    if (path.isEmpty() || !load(path, true))
        return;
    if (ProbnikMain && Kolorymetria && Kolorymetria->usesCalibration())
        ProbnikMain->CalibrationFile = m_calibrationPath;
    emit calibrationChanged();
}

bool TKalibracja::load(const QString& path, bool warnOfProfile)
{
    auto loaded = loadCalibration(std::filesystem::path(path.toStdString()));
    if (!loaded) {
        const QString message
            = QStringLiteral("Nie można wczytać kalibracji %1: %2")
                  .arg(QDir::toNativeSeparators(path), text(loaded.error().message));
        if (warnOfProfile)
            ProbnikApplication::showError(this, message);
        else
            // At start the box waits until the windows are up.
            QTimer::singleShot(0, this, [message] {
                ProbnikApplication::showError(ProbnikApplication::frontWindow(), message);
            });
        return false;
    }
    Calibration& calibration = loaded.value();
    if (warnOfProfile && ProbnikMain && !ProbnikMain->PicturePath.isEmpty()) {
        const colour::ColourProfile profile = pictureProfile();
        if (profile.identifier() != calibration.profileId)
            ProbnikApplication::dialogs().message(this,
                QStringLiteral("Kalibrację wykonano dla profilu „%1”, a obraz ma profil „%2”. "
                               "Kalibracja jest wczytana, ale poprawione wartości mogą być błędne.")
                    .arg(text(calibration.profileName), text(profile.name())),
                QStringLiteral("Uwaga!"));
    }
    m_calibration = std::move(calibration);
    m_fit.reset();
    m_calibrationPath = QFileInfo(path).absoluteFilePath();
    Status->setText(
        QStringLiteral("Wczytano kalibrację %1 (%2).")
            .arg(QDir::toNativeSeparators(m_calibrationPath), text(m_calibration->date)));
    showReport();
    enableCommands();
    return true;
}

void TProbnikMain::Kalibracja1Execute()
{
    if (!Kalibracja)
        return;
    Kalibracja->show();
    Kalibracja->raise();
    Kalibracja->activateWindow();
}

void TKalibracja::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (event->spontaneous() || m_placed || !ProbnikMain)
        return;
    m_placed = true;
    // The corners are pointed at on the picture: the window opens below the display box, so
    // that it hides none of it, as far as the screen lets it.
    const QRect main = ProbnikMain->frameGeometry();
    const QWidget* surface = ProbnikMain->Client;
    if (!surface)
        surface = ProbnikMain;
    const int below = surface->mapToGlobal(QPoint(0, ProbnikMain->DisplayBox.Bottom)).y() + 40;
    const QRect screen = ProbnikMain->screen()->availableGeometry();
    placeByFrame(
        this,
        [main, below, screen](QSize frame) {
            return QPoint(
                std::max(screen.left(), std::min(main.x(), screen.right() + 1 - frame.width())),
                std::max(screen.top(), std::min(below, screen.bottom() + 1 - frame.height())));
        },
        ProbnikMain);
}
