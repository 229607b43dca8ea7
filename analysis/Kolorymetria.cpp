// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/Kolorymetria.h"

#include "analysis/Kalibracja.h"
#include "analysis/Reference.h"
#include "analysis/SaveCsv.h"
#include "analysis/Total.h"
#include "analysis/Warn.h"
#include "app/Main.h"
#include "app/ProbnikApplication.h"
#include "common/NumberText.h"
#include "picture/FileRegions.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QColor>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <functional>
#include <sstream>

using namespace probnik;

TKolorymetria* Kolorymetria = nullptr;

namespace {

const QString Dash = QStringLiteral("–");

// The window shows two decimals.
QString twoDecimals(double value)
{
    return QString::fromStdString(decimals(value, 2));
}

QString hueText(double degrees)
{
    return QString::fromStdString(hueDecimals(degrees, 2));
}

// A profile's primaries are stored in 16.16 fixed point, which leaves a neutral grey a* and
// b* of about 1e-6 and so a hue of noise. Far below the window's and the file's last decimal,
// such values are taken as the zero they stand for.
double denoised(double v)
{
    return std::abs(v) < 1e-4 ? 0.0 : v;
}

lab::Lab fromConverter(colour::Lab v)
{
    return { v.L, denoised(v.a), denoised(v.b) };
}

colour::PixelKind pixelKind()
{
    return ProbnikMain && ProbnikMain->PictureGrey ? colour::PixelKind::Grey
                                                   : colour::PixelKind::Rgb;
}

// The folder the profile dialog starts in: the user's profiles, else the system's.
QString profileFolder()
{
    const QString data = qEnvironmentVariable("XDG_DATA_HOME");
    const QString user
        = (data.isEmpty() ? QDir::homePath() + QStringLiteral("/.local/share") : data)
        + QStringLiteral("/icc");
    return QFileInfo(user).isDir() ? user : QStringLiteral("/usr/share/color/icc");
}

} // namespace

// The rows of the table, worked out once per sample; dE00 follows the reference.
class LabTableModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;
    using Deep = std::optional<std::array<std::uint16_t, 3>>;

    // Samples are only ever added or removed at the end, or all cleared: rows that stay keep
    // their selection.
    // How a sample is measured: its L*a*b* and the channel values shown.
    struct Measured {
        lab::Lab lab;
        std::array<int, 3> shown;
        std::optional<FileSample> file; // measured over the file's pixels
    };
    using Measure = std::function<Measured(std::size_t)>;

    // The samples measured again, with the depth the columns are headed with and whether
    // samples are to come from the file.
    void setMeasure(Measure measure, int bits, bool fromFile)
    {
        m_measure = std::move(measure);
        m_bits = bits;
        m_fromFile = fromFile;
        for (std::size_t i = 0; i < m_rows.size(); ++i)
            m_rows[i] = makeRow(m_rows[i].colour, m_rows[i].deep, i);
        emit headerDataChanged(Qt::Horizontal, 0, TKolorymetria::ColumnCount - 1);
        if (!m_rows.empty())
            emit dataChanged(index(0, 0), index(rowCount() - 1, TKolorymetria::ColumnCount - 1));
    }

    void setColours(const std::vector<Color>& colours, const std::vector<Deep>& deep)
    {
        const int old = int(m_rows.size());
        const int now = int(colours.size());
        int kept = 0;
        while (kept < std::min(old, now)
            && m_rows[std::size_t(kept)].colour == colours[std::size_t(kept)]
            && m_rows[std::size_t(kept)].deep == deep[std::size_t(kept)])
            ++kept;
        if (kept < std::min(old, now)) {
            beginResetModel();
            m_rows.clear();
            for (std::size_t i = 0; i < colours.size(); ++i)
                m_rows.push_back(makeRow(colours[i], deep[i], i));
            endResetModel();
        } else if (now > old) {
            beginInsertRows({}, old, now - 1);
            for (int i = old; i < now; ++i)
                m_rows.push_back(
                    makeRow(colours[std::size_t(i)], deep[std::size_t(i)], std::size_t(i)));
            endInsertRows();
        } else if (now < old) {
            beginRemoveRows({}, now, old - 1);
            m_rows.resize(std::size_t(now));
            endRemoveRows();
        }
    }

    void setReference(std::optional<lab::Lab> reference, int referenceRow)
    {
        m_reference = reference;
        m_referenceRow = referenceRow;
        if (!m_rows.empty())
            emit dataChanged(index(0, 0), index(rowCount() - 1, TKolorymetria::ColumnCount - 1));
    }

    void setTolerance(double t)
    {
        m_tolerance = t;
        if (!m_rows.empty())
            emit dataChanged(
                index(0, TKolorymetria::Within), index(rowCount() - 1, TKolorymetria::Within));
    }

    // Whether the row lies within the tolerance; none without a reference.
    std::optional<bool> within(int row) const
    {
        if (!m_reference)
            return std::nullopt;
        return lab::withinTolerance(m_rows[std::size_t(row)].lab, *m_reference, m_tolerance);
    }

    QString text(int row, int column) const
    {
        const Row& r = m_rows[std::size_t(row)];
        switch (column) {
        case TKolorymetria::Nr:
            return QString::number(row + 1);
        case TKolorymetria::R:
        case TKolorymetria::G:
        case TKolorymetria::B:
            if (r.file)
                return twoDecimals(r.file->mean[std::size_t(column - TKolorymetria::R)]);
            return QString::number(r.shown[std::size_t(column - TKolorymetria::R)]);
        case TKolorymetria::Count:
            // A sample off the picture keeps the value the screen shows.
            return r.file ? QString::number(r.file->count)
                          : (m_fromFile ? QStringLiteral("ekran") : QString());
        case TKolorymetria::DevL:
            return r.file && r.file->stdDevL ? twoDecimals(*r.file->stdDevL) : Dash;
        case TKolorymetria::L:
            return twoDecimals(r.lab.L);
        case TKolorymetria::A:
            return twoDecimals(r.lab.a);
        case TKolorymetria::Bstar:
            return twoDecimals(r.lab.b);
        case TKolorymetria::C:
            return twoDecimals(r.lch.C);
        case TKolorymetria::H:
            return hueText(r.lch.h);
        case TKolorymetria::DeltaE:
            return m_reference ? twoDecimals(lab::deltaE00(r.lab, *m_reference)) : Dash;
        case TKolorymetria::Within: {
            const auto in = within(row);
            return !in ? Dash : *in ? QStringLiteral("w") : QStringLiteral("poza");
        }
        default:
            return {};
        }
    }

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_rows.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : TKolorymetria::ColumnCount;
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid())
            return {};
        if (role == Qt::DisplayRole)
            return text(index.row(), index.column());
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        // The word says it; the tint lets a long table be read at a glance.
        if (role == Qt::BackgroundRole && index.column() == TKolorymetria::Within) {
            if (const auto in = within(index.row()))
                return *in ? QColor(0xd4, 0xee, 0xd4) : QColor(0xf6, 0xd4, 0xd4);
        }
        if (role == Qt::FontRole && index.row() == m_referenceRow) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return QAbstractTableModel::headerData(section, orientation, role);
        static const char* const names[] = { "Nr", "R", "G", "B", "L*", "a*", "b*", "C*", "h",
            "ΔE00", "Tolerancja", "n", "σL*" };
        if (section < 0 || section >= TKolorymetria::ColumnCount)
            return QString();
        const QString name = QString::fromUtf8(names[section]);
        // Values beyond 8 bits name their depth, so that 65535 is not read as a slip.
        if (m_bits != 8 && section >= TKolorymetria::R && section <= TKolorymetria::B)
            return QStringLiteral("%1 (%2 bit)").arg(name).arg(m_bits);
        return name;
    }

    const std::array<int, 3>& shown(int row) const { return m_rows[std::size_t(row)].shown; }

private:
    struct Row {
        Color colour;
        Deep deep;
        std::array<int, 3> shown;
        lab::Lab lab;
        lab::LCh lch;
        std::optional<FileSample> file;
    };
    Row makeRow(Color c, const Deep& deep, std::size_t i) const
    {
        const Measured m = m_measure(i);
        return { c, deep, m.shown, m.lab, lab::lchFromLab(m.lab), m.file };
    }

    Measure m_measure;
    int m_bits = 8;
    bool m_fromFile = false;
    std::vector<Row> m_rows;
    std::optional<lab::Lab> m_reference;
    int m_referenceRow = -1;
    double m_tolerance = lab::DefaultTolerance;
};

TKolorymetria::TKolorymetria(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Kolorymetria"));
    setWindowTitle(QStringLiteral("Kolorymetria"));
    buildDesign();
    // Created after the main window and the area study, it follows both from the start.
    if (ProbnikMain) {
        connect(ProbnikMain, &TProbnikMain::samplesChanged, this, &TKolorymetria::refreshSamples);
        connect(ProbnikMain, &TProbnikMain::pictureOpened, this, &TKolorymetria::pictureOpened);
        White->setCurrentIndex(ProbnikMain->LabWhite == colour::ReferenceWhite::D50 ? 1 : 0);
        m_tolerance = ProbnikMain->LabTolerance;
    }
    Tolerance->setText(QString::fromStdString(lab::toleranceText(m_tolerance)));
    m_model->setTolerance(m_tolerance);
    connect(Tolerance, &QLineEdit::textChanged, this, &TKolorymetria::ToleranceChange);
    if (Global)
        connect(Global, &TGlobal::studied, this, &TKolorymetria::showArea);
    connect(White, &QComboBox::currentIndexChanged, this, &TKolorymetria::WhiteChange);
    if (ProbnikMain) {
        const auto modes = sampleModes();
        Sample->setCurrentIndex(
            int(std::find(modes.begin(), modes.end(), ProbnikMain->LabSample) - modes.begin()));
        AreaFrom->setCurrentIndex(ProbnikMain->LabArea == AreaSource::File ? 1 : 0);
    }
    connect(Sample, &QComboBox::currentIndexChanged, this, &TKolorymetria::SampleChange);
    connect(AreaFrom, &QComboBox::currentIndexChanged, this, &TKolorymetria::AreaFromChange);
    pictureOpened();
}

TKolorymetria::~TKolorymetria()
{
    if (Kolorymetria == this)
        Kolorymetria = nullptr;
}

namespace {

// Every statistic the window shows lies within -999.99 .. 999.99: L* within 0 .. 100, a* and
// b* within +-200, their deviations below 200 and dE00 from any reference below 300. A value
// label holds the widest such text, so that no value is cut and the blocks keep their width.
QString widestText(const QFontMetrics& metrics, QString pattern)
{
    QChar widest = u'0';
    for (char16_t digit = u'1'; digit <= u'9'; ++digit)
        if (metrics.horizontalAdvance(QChar(digit)) > metrics.horizontalAdvance(widest))
            widest = QChar(digit);
    return pattern.replace(u'0', widest);
}

void holdWidest(QLabel* label, const QString& pattern)
{
    label->setMinimumWidth(
        label->fontMetrics().horizontalAdvance(widestText(label->fontMetrics(), pattern)));
}

void holdWidestValue(QLabel* label)
{
    label->setAlignment(Qt::AlignRight);
    holdWidest(label, QStringLiteral("-000.00"));
}

// A block of the statistics: mean and deviation of L*, a*, b*, then one dE00 under them.
struct StatisticsBlock {
    QGroupBox* box;
    QGridLayout* grid;
};
StatisticsBlock statisticsBlock(QWidget* parent, const QString& title, QLabel* (&mean)[3],
    QLabel* (&dev)[3], const QString& last, QLabel*& lastValue)
{
    auto* box = new QGroupBox(title, parent);
    auto* grid = new QGridLayout(box);
    const char* const heads[] = { "L*", "a*", "b*" };
    for (int i = 0; i < 3; ++i) {
        auto* head = new QLabel(QString::fromLatin1(heads[i]), box);
        head->setAlignment(Qt::AlignRight);
        grid->addWidget(head, 0, i + 1);
    }
    grid->addWidget(new QLabel(QStringLiteral("Średnia"), box), 1, 0);
    grid->addWidget(new QLabel(QStringLiteral("Odchylenie std."), box), 2, 0);
    for (int i = 0; i < 3; ++i) {
        mean[i] = new QLabel(Dash, box);
        dev[i] = new QLabel(Dash, box);
        grid->addWidget(mean[i], 1, i + 1);
        grid->addWidget(dev[i], 2, i + 1);
    }
    grid->addWidget(new QLabel(last, box), 3, 0, 1, 3);
    lastValue = new QLabel(Dash, box);
    grid->addWidget(lastValue, 3, 3);
    for (QLabel* value : { mean[0], mean[1], mean[2], dev[0], dev[1], dev[2], lastValue })
        holdWidestValue(value);
    return { box, grid };
}

} // namespace

void TKolorymetria::buildDesign()
{
    auto* layout = new QVBoxLayout(this);
    Model = new QLabel(this);
    Model->setObjectName(QStringLiteral("Model"));
    Model->setTextFormat(Qt::PlainText); // a profile's own name may hold anything
    Model->setWordWrap(true);
    layout->addWidget(Model);

    auto* choices = new QHBoxLayout;
    White = new QComboBox(this);
    White->setObjectName(QStringLiteral("White"));
    White->addItems({ QStringLiteral("D65"), QStringLiteral("D50") });
    White->setToolTip(
        QStringLiteral("Biel odniesienia L*a*b*: D65 (domyślna) albo D50 (ICC, druk)"));
    auto* whiteCaption = new QLabel(QStringLiteral("&Biel odniesienia:"), this);
    whiteCaption->setBuddy(White);
    choices->addWidget(whiteCaption);
    choices->addWidget(White);
    choices->addStretch(1);
    LoadProfile = new QPushButton(QStringLiteral("&Wczytaj profil…"), this);
    LoadProfile->setObjectName(QStringLiteral("LoadProfile"));
    LoadProfile->setToolTip(
        QStringLiteral("Mierz przez profil ICC z pliku (.icc, .icm) zamiast profilu obrazu"));
    connect(LoadProfile, &QPushButton::clicked, this, &TKolorymetria::LoadProfileClick);
    choices->addWidget(LoadProfile);
    FileProfile = new QPushButton(QStringLiteral("&Profil pliku"), this);
    FileProfile->setObjectName(QStringLiteral("FileProfile"));
    FileProfile->setToolTip(QStringLiteral("Wróć do profilu, który podaje sam obraz"));
    connect(FileProfile, &QPushButton::clicked, this, &TKolorymetria::FileProfileClick);
    choices->addWidget(FileProfile);
    UseCalibration = new QCheckBox(QStringLiteral("&Użyj kalibracji"), this);
    UseCalibration->setObjectName(QStringLiteral("UseCalibration"));
    UseCalibration->setToolTip(
        QStringLiteral("Popraw każde L*a*b* kalibracją z okna „Kalibracja” (Ctrl+K)"));
    UseCalibration->setEnabled(false);
    connect(UseCalibration, &QCheckBox::clicked, this, &TKolorymetria::UseCalibrationClick);
    choices->addWidget(UseCalibration);
    layout->addLayout(choices);

    auto* fileChoices = new QHBoxLayout;
    Sample = new QComboBox(this);
    Sample->setObjectName(QStringLiteral("Sample"));
    for (const SampleMode& mode : sampleModes())
        Sample->addItem(QString::fromStdString(sampleModeCaption(mode)));
    Sample->setToolTip(QStringLiteral("Co mierzy próbka: piksel ekranu albo średnią pikseli samego "
                                      "pliku w pełnej rozdzielczości"));
    auto* sampleCaption = new QLabel(QStringLiteral("Próbka &z pliku:"), this);
    sampleCaption->setBuddy(Sample);
    fileChoices->addWidget(sampleCaption);
    fileChoices->addWidget(Sample);
    AreaFrom = new QComboBox(this);
    AreaFrom->setObjectName(QStringLiteral("AreaFrom"));
    AreaFrom->addItems({ QStringLiteral("ekran"), QStringLiteral("plik") });
    AreaFrom->setToolTip(QStringLiteral(
        "Statystyki „Badania”: z pikseli ekranu albo ze wszystkich pikseli pliku za nimi"));
    auto* areaCaption = new QLabel(QStringLiteral("&Obszar:"), this);
    areaCaption->setBuddy(AreaFrom);
    fileChoices->addWidget(areaCaption);
    fileChoices->addWidget(AreaFrom);
    fileChoices->addStretch(1);
    layout->addLayout(fileChoices);
    FileNote = new QLabel(this);
    FileNote->setObjectName(QStringLiteral("FileNote"));
    FileNote->setStyleSheet(QStringLiteral("color: #b00000"));
    FileNote->setWordWrap(true);
    FileNote->hide();
    layout->addWidget(FileNote);
    buildTable(layout);
    buildToleranceRow(layout);
    buildReferenceRow(layout);
    buildStatisticsBlocks(layout);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    Zapisz = new QPushButton(QStringLiteral("Zapisz"), this);
    Zapisz->setObjectName(QStringLiteral("Zapisz"));
    Zapisz->setToolTip(QStringLiteral("Zapisz tabelę do pliku CSV (Ctrl+S)"));
    connect(Zapisz, &QPushButton::clicked, this, &TKolorymetria::ZapiszClick);
    buttons->addWidget(Zapisz);
    layout->addLayout(buttons);

    SaveAction = new QAction(QStringLiteral("Zapisz"), this);
    SaveAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    connect(SaveAction, &QAction::triggered, this, &TKolorymetria::ZapiszClick);
    addAction(SaveAction);
    CopyAction = new QAction(QStringLiteral("Kopiuj"), this);
    CopyAction->setShortcut(QKeySequence::Copy);
    connect(CopyAction, &QAction::triggered, this, &TKolorymetria::copyRows);
    addAction(CopyAction);

    // Wide enough for every column, the file modes' and the tolerance's included.
    resize(860, 560);
}

void TKolorymetria::buildTable(QVBoxLayout* layout)
{
    m_model = new LabTableModel(this);
    Table = new QTableView(this);
    Table->setObjectName(QStringLiteral("Table"));
    Table->setModel(m_model);
    Table->verticalHeader()->hide();
    Table->verticalHeader()->setDefaultSectionSize(Table->fontMetrics().height() + 6);
    Table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->setAlternatingRowColors(true);
    Table->setToolTip(
        QStringLiteral("Podwójne kliknięcie wiersza: ta próbka staje się odniesieniem"));
    connect(Table, &QTableView::doubleClicked, this,
        [this](const QModelIndex& index) { chooseSample(index.row()); });
    layout->addWidget(Table, 1);
}

void TKolorymetria::buildReferenceRow(QVBoxLayout* layout)
{
    auto* referenceRow = new QHBoxLayout;
    Reference = new QLabel(this);
    Reference->setObjectName(QStringLiteral("Reference"));
    QFont bold = Reference->font();
    bold.setBold(true);
    Reference->setFont(bold);
    referenceRow->addWidget(Reference, 1);
    auto edit = [this, referenceRow](const char* name, const QString& caption) {
        referenceRow->addWidget(new QLabel(caption, this));
        auto* e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        e->setMaximumWidth(70);
        connect(e, &QLineEdit::returnPressed, this, &TKolorymetria::RefSetClick);
        referenceRow->addWidget(e);
        return e;
    };
    RefL = edit("RefL", QStringLiteral("L*"));
    RefA = edit("RefA", QStringLiteral("a*"));
    RefB = edit("RefB", QStringLiteral("b*"));
    RefSet = new QPushButton(QStringLiteral("Ustaw"), this);
    RefSet->setObjectName(QStringLiteral("RefSet"));
    RefSet->setToolTip(QStringLiteral("Wpisane L*, a*, b* stają się odniesieniem"));
    connect(RefSet, &QPushButton::clicked, this, &TKolorymetria::RefSetClick);
    referenceRow->addWidget(RefSet);
    layout->addLayout(referenceRow);

    RefNote = new QLabel(this);
    RefNote->setObjectName(QStringLiteral("RefNote"));
    RefNote->setStyleSheet(QStringLiteral("color: #b00000"));
    RefNote->setWordWrap(true);
    RefNote->hide();
    layout->addWidget(RefNote);
}

void TKolorymetria::buildToleranceRow(QVBoxLayout* layout)
{
    auto* row = new QHBoxLayout;
    Tolerance = new QLineEdit(this);
    Tolerance->setObjectName(QStringLiteral("Tolerance"));
    Tolerance->setMaximumWidth(70);
    Tolerance->setToolTip(QStringLiteral(
        "Próbka mieści się w tolerancji, gdy jej ΔE00 od odniesienia jest nie większe niż ta "
        "liczba"));
    auto* caption = new QLabel(QStringLiteral("&Tolerancja ΔE00:"), this);
    caption->setBuddy(Tolerance);
    row->addWidget(caption);
    row->addWidget(Tolerance);
    WithinCounts = new QLabel(this);
    WithinCounts->setObjectName(QStringLiteral("WithinCounts"));
    row->addWidget(WithinCounts);
    row->addSpacing(12);
    AreaWithin = new QLabel(this);
    AreaWithin->setObjectName(QStringLiteral("AreaWithin"));
    row->addWidget(AreaWithin);
    row->addStretch(1);
    layout->addLayout(row);

    ToleranceNote = new QLabel(this);
    ToleranceNote->setObjectName(QStringLiteral("ToleranceNote"));
    ToleranceNote->setStyleSheet(QStringLiteral("color: #b00000"));
    ToleranceNote->setWordWrap(true);
    ToleranceNote->hide();
    layout->addWidget(ToleranceNote);
}

void TKolorymetria::buildStatisticsBlocks(QVBoxLayout* layout)
{
    auto* blocks = new QHBoxLayout;
    const StatisticsBlock samples
        = statisticsBlock(this, QStringLiteral("Próbki (średnia w L*a*b*)"), SampleMean, SampleDev,
            QStringLiteral("Największe ΔE00 od średniej"), SampleSpread);
    blocks->addWidget(samples.box);
    const StatisticsBlock area
        = statisticsBlock(this, QStringLiteral("Obszar – ostatnie „Badanie”"), AreaMean, AreaDev,
            QStringLiteral("ΔE00 średniej od odniesienia"), AreaDeltaE);
    AreaCount = new QLabel(area.box);
    AreaCount->setObjectName(QStringLiteral("AreaCount"));
    // The largest area is the whole display box, 400 x 400.
    holdWidest(AreaCount, QStringLiteral("Punktów: 000000"));
    area.grid->addWidget(AreaCount, 0, 0);
    AreaOrigin = new QLabel(area.box);
    AreaOrigin->setObjectName(QStringLiteral("AreaOrigin"));
    AreaOrigin->setWordWrap(true);
    area.grid->addWidget(AreaOrigin, area.grid->rowCount(), 0, 1, area.grid->columnCount());
    blocks->addWidget(area.box);
    layout->addLayout(blocks);
}

std::optional<lab::Lab> TKolorymetria::reference() const
{
    if (TypedReference)
        return TypedReference;
    if (ReferenceSample < int(Colors.size()))
        return sampleLab(std::size_t(ReferenceSample));
    return std::nullopt;
}

std::vector<lab::Lab> TKolorymetria::sampleLabs() const
{
    std::vector<lab::Lab> labs;
    labs.reserve(Colors.size());
    for (std::size_t i = 0; i < Colors.size(); ++i)
        labs.push_back(sampleLab(i));
    return labs;
}

lab::Lab TKolorymetria::sampleLab(std::size_t i) const
{
    if (i < FileSamples.size() && FileSamples[i])
        return shown(FileSamples[i]->lab);
    if (const auto& deep = Deep[i]; deep && m_bits == 16)
        return shown(
            m_converter->lab16(std::span(deep->data(), std::size_t(m_converter->channels()))));
    return shown(m_converter->lab(Colors[i]));
}

bool TKolorymetria::usesCalibration() const
{
    return UseCalibration->isChecked() && Kalibracja && Kalibracja->calibration();
}

lab::Lab TKolorymetria::shown(colour::Lab measured) const
{
    const lab::Lab value = fromConverter(measured);
    if (!usesCalibration())
        return value;
    const lab::Lab c
        = calibration::correct(Kalibracja->calibration()->matrix, value, m_converter->white());
    return { c.L, denoised(c.a), denoised(c.b) };
}

std::function<colour::Lab(const colour::Lab&)> TKolorymetria::correction() const
{
    return [this](const colour::Lab& v) {
        const lab::Lab c = shown(v);
        return colour::Lab { c.L, c.a, c.b };
    };
}

void TKolorymetria::calibrationChanged(bool turnOn)
{
    const bool any = Kalibracja && Kalibracja->calibration();
    UseCalibration->setEnabled(any);
    if (!any)
        UseCalibration->setChecked(false);
    else if (turnOn)
        UseCalibration->setChecked(true);
    measure();
}

void TKolorymetria::UseCalibrationClick()
{
    // The calibration in use is kept for the next run, when it is kept in a file.
    if (ProbnikMain)
        ProbnikMain->CalibrationFile
            = usesCalibration() ? Kalibracja->calibrationPath() : QString();
    measure();
}

namespace {

// The picture's values at 16 bits at a window point, where the box holds it.
std::optional<std::array<std::uint16_t, 3>> deepAt(Point p)
{
    if (!ProbnikMain || ProbnikMain->Picture16.empty())
        return std::nullopt;
    const Rect box = ProbnikMain->DisplayBox;
    if (p.x < box.Left || p.x >= box.Right || p.y < box.Top || p.y >= box.Bottom)
        return std::nullopt;
    const std::size_t at = (std::size_t(p.y - box.Top) * std::size_t(box.Right - box.Left)
                               + std::size_t(p.x - box.Left))
        * 3;
    const auto& values = ProbnikMain->Picture16;
    if (at + 2 >= values.size())
        return std::nullopt;
    return std::array { values[at], values[at + 1], values[at + 2] };
}

} // namespace

void TKolorymetria::pictureOpened()
{
    if (m_reading) {
        m_pictureWaiting = true;
        return;
    }
    FileColour = ProbnikMain
        ? colour::ColourProfile::fromDescription(ProbnikMain->PictureColour, pixelKind())
        : colour::ColourProfile::assumedSrgb(pixelKind());
    ChosenColour.reset();
    // The last study measured the picture that is gone, and so did the samples read.
    m_studied = false;
    Area.reset();
    m_area8.clear();
    m_area16.clear();
    m_fileArea.reset();
    m_readPoints.clear();
    FileSamples.clear();
    FileNote->hide();
    m_areaLabs.clear();
    measure();
}

namespace {

const QString ScreenValues = QStringLiteral("wartości z ekranu");

} // namespace

void TKolorymetria::measure()
{
    m_bits = ProbnikMain && !ProbnikMain->Picture16.empty() ? 16 : 8;
    const colour::ColourProfile& profile = ChosenColour ? *ChosenColour : FileColour;
    const auto white
        = White->currentIndex() == 1 ? colour::ReferenceWhite::D50 : colour::ReferenceWhite::D65;
    m_converter = std::make_unique<colour::LabConverter>(profile, white, m_bits);
    m_modelText = lab::colourModel(profile, white, m_bits);
    showModel();
    FileProfile->setEnabled(ChosenColour.has_value());
    // What the file's pixels gave was measured through the converter that is gone.
    m_readPoints.clear();
    FileSamples.clear();
    m_fileArea.reset();
    setRows();
    refreshSamples();
    if (m_studied && ProbnikMain && ProbnikMain->LabArea == AreaSource::File)
        readArea();
    measureArea();
    emit modelChanged();
}

std::vector<std::string> TKolorymetria::lastLine() const
{
    std::vector<std::string> parts { m_modelText, "próbka: " + sampleModeCaption(sampleMode()) };
    if (usesCalibration()) {
        const calibration::Calibration& used = *Kalibracja->calibration();
        parts.push_back("po kalibracji wzorcem „" + used.chartName
            + "” (ΔE00 po kalibracji: średnia " + decimals(used.after.mean, 2) + ", największa "
            + decimals(used.after.largest, 2) + ")");
    }
    return parts;
}

void TKolorymetria::showModel()
{
    QStringList parts;
    for (const std::string& part : lastLine())
        parts << QString::fromStdString(part);
    Model->setText(parts.join(QStringLiteral("; ")));
}

SampleMode TKolorymetria::sampleMode() const
{
    const auto modes = sampleModes();
    const int i = Sample ? Sample->currentIndex() : 0;
    return i > 0 && i < int(modes.size()) ? modes[std::size_t(i)] : SampleMode {};
}

void TKolorymetria::setRows()
{
    m_model->setMeasure(
        [this](std::size_t i) {
            const Color c = Colors[i];
            const auto& deep = Deep[i];
            if (i < FileSamples.size() && FileSamples[i]) {
                const FileSample& f = *FileSamples[i];
                return LabTableModel::Measured { sampleLab(i),
                    { int(std::lround(f.mean[0])), int(std::lround(f.mean[1])),
                        int(std::lround(f.mean[2])) },
                    f };
            }
            // The columns keep one unit: an 8-bit value beside 16-bit ones is scaled to them.
            const int scale = m_bits == 16 ? 257 : 1;
            return LabTableModel::Measured { sampleLab(i),
                deep && m_bits == 16
                    ? std::array<int, 3> { (*deep)[0], (*deep)[1], (*deep)[2] }
                    : std::array<int, 3> { red(c) * scale, green(c) * scale, blue(c) * scale },
                std::nullopt };
        },
        m_bits, sampleMode().fromFile());
    Table->setColumnHidden(Count, !sampleMode().fromFile());
    Table->setColumnHidden(DevL, !sampleMode().fromFile());
}

void TKolorymetria::WhiteChange()
{
    const auto white
        = White->currentIndex() == 1 ? colour::ReferenceWhite::D50 : colour::ReferenceWhite::D65;
    if (ProbnikMain)
        ProbnikMain->LabWhite = white;
    measure();
}

void TKolorymetria::LoadProfileClick()
{
    const QString path = ProbnikApplication::dialogs().openProfile(this, profileFolder());
    if (path.isEmpty())
        return;
    QFile file(path);
    if (file.size() > qint64(colour::MaxProfileBytes) || !file.open(QIODevice::ReadOnly)) {
        ProbnikApplication::showError(this,
            QStringLiteral("Nie można wczytać profilu %1").arg(QDir::toNativeSeparators(path)));
        return;
    }
    const QByteArray bytes = file.readAll();
    auto chosen = colour::ColourProfile::chosen(
        std::span(
            reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())),
        QFileInfo(path).fileName().toStdString(), pixelKind());
    if (!chosen) {
        ProbnikApplication::showError(this, QString::fromStdString(chosen.error().message));
        return;
    }
    ChosenColour = std::move(chosen.value());
    measure();
}

void TKolorymetria::FileProfileClick()
{
    ChosenColour.reset();
    measure();
}

void TKolorymetria::SampleChange()
{
    const SampleMode mode = sampleMode();
    const SampleMode before = ProbnikMain ? ProbnikMain->LabSample : SampleMode {};
    if (ProbnikMain)
        ProbnikMain->LabSample = mode;
    // Every sample read again in the new mode, in one pass; a cancel keeps what was shown.
    const auto kept = FileSamples;
    const auto keptPoints = m_readPoints;
    m_readPoints.clear();
    if (!readSamples(0)) {
        FileSamples = kept;
        m_readPoints = keptPoints;
        if (ProbnikMain)
            ProbnikMain->LabSample = before;
        const auto modes = sampleModes();
        const QSignalBlocker quiet(Sample);
        Sample->setCurrentIndex(int(std::find(modes.begin(), modes.end(), before) - modes.begin()));
    }
    showModel();
    setRows();
    showReference();
    afterReading();
}

void TKolorymetria::AreaFromChange()
{
    const AreaSource source = AreaFrom->currentIndex() == 1 ? AreaSource::File : AreaSource::Screen;
    if (ProbnikMain)
        ProbnikMain->LabArea = source;
    if (source == AreaSource::File && m_studied && !m_fileArea)
        readArea();
    measureArea();
    afterReading();
    emit areaSourceChanged();
}

std::optional<Error> TKolorymetria::readFile(
    std::span<const Rect> regions, PixelSink& sink, const QString& label)
{
    if (!ProbnikMain || ProbnikMain->PicturePath.isEmpty())
        return Error { "Nie otwarto obrazu" };
    if (!ProbnikMain->pictureFileUnchanged())
        return Error { "Plik obrazu "
            + QDir::toNativeSeparators(ProbnikMain->PicturePath).toStdString()
            + " zmienił się albo zniknął od otwarcia" };
    const QScopedValueRollback reading(m_reading, true);
    Progress progress(ProbnikApplication::dialogs().openProgress(this, label));
    const auto read
        = readFileRegions(ProbnikMain->PicturePath.toStdString(), regions, sink, progress);
    // "Anuluj" pressed while the last rows were read counts too.
    if (read && !progress.advance(1.0))
        return cancelled();
    if (!read)
        return read.error();
    return std::nullopt;
}

bool TKolorymetria::readSamples(std::size_t from)
{
    const SampleMode mode = sampleMode();
    const std::vector<Point> points = m_points;
    FileSamples.resize(std::min(FileSamples.size(), from));
    FileSamples.resize(points.size());
    if (!mode.fromFile() || from >= points.size() || !ProbnikMain) {
        m_readPoints = points;
        if (!mode.fromFile())
            FileNote->hide();
        return true;
    }
    const Rect box = ProbnikMain->DisplayBox;
    const Size boxSize { box.width(), box.height() };
    const Size picture { ProbnikMain->ImageWidth, ProbnikMain->ImageHeight };
    std::vector<Rect> regions;
    std::vector<std::size_t> owners;
    for (std::size_t i = from; i < points.size(); ++i) {
        // The magnifier and the background are no part of the picture: screen values.
        const Rect r = sampleRegion(
            mode, { points[i].x - box.Left, points[i].y - box.Top }, boxSize, picture);
        if (r.width() > 0 && r.height() > 0) {
            regions.push_back(r);
            owners.push_back(i);
        }
    }
    bool done = true;
    if (!regions.empty()) {
        SampleSink sink(*m_converter, regions.size());
        if (usesCalibration())
            sink.setCorrection(correction());
        const auto error
            = readFile(regions, sink, QStringLiteral("Czytanie próbek z pliku obrazu…"));
        if (!error) {
            const std::vector<FileSample> results = sink.results();
            for (std::size_t k = 0; k < owners.size(); ++k)
                if (results[k].count > 0)
                    FileSamples[owners[k]] = results[k];
            FileNote->hide();
        } else {
            done = !error->cancelled;
            FileNote->setText(error->cancelled
                    ? QStringLiteral("Czytanie pliku przerwane: nowe próbki mają %1.")
                          .arg(ScreenValues)
                    : QStringLiteral("%1: próbki mają %2.")
                          .arg(QString::fromStdString(error->message), ScreenValues));
            FileNote->show();
        }
    }
    m_readPoints = points;
    return done;
}

void TKolorymetria::refreshSamples()
{
    if (m_reading) {
        m_samplesWaiting = true;
        return;
    }
    Colors.clear();
    Deep.clear();
    m_points.clear();
    if (ProbnikMain) {
        const SampleStore& store = ProbnikMain->Samples;
        for (int i = 0; i < store.SampleCount; ++i) {
            const SampleColor& s = store.SampleColors[std::size_t(i)];
            Colors.push_back(rgb(s.R, s.G, s.B));
            m_points.push_back(store.SamplePoints[std::size_t(i)]);
            Deep.push_back(m_bits == 16 ? deepAt(m_points.back()) : std::nullopt);
        }
    }
    // Only what is new is read: the samples kept are those at the points read before.
    std::size_t kept = 0;
    while (kept < std::min(m_points.size(), m_readPoints.size())
        && m_points[kept] == m_readPoints[kept])
        ++kept;
    // Rows from there on were measured before and may read differently now.
    const bool changed = kept < std::size_t(m_model->rowCount());
    readSamples(kept);
    // The chosen sample gone, sample 1 is the reference again.
    if (ReferenceSample >= int(Colors.size()))
        ReferenceSample = 0;
    const int before = m_model->rowCount();
    m_model->setColours(Colors, Deep);
    if (changed)
        setRows();
    if (m_model->rowCount() > before)
        Table->scrollToBottom();
    Zapisz->setEnabled(!Colors.empty());
    SaveAction->setEnabled(!Colors.empty());
    showReference();
    afterReading();
}

void TKolorymetria::afterReading()
{
    if (m_reading)
        return;
    if (m_pictureWaiting) {
        m_pictureWaiting = false;
        m_samplesWaiting = false;
        pictureOpened();
    } else if (m_samplesWaiting) {
        m_samplesWaiting = false;
        refreshSamples();
    }
}

void TKolorymetria::showArea(const AreaStudy& study)
{
    m_studied = true;
    m_studiedArea = study.Area;
    m_studiedBounds = study.Bounds;
    m_area8.clear();
    m_area16.clear();
    m_fileArea.reset();
    for (std::size_t i = 0; i < study.Matches.size(); ++i) {
        const auto deep = m_bits == 16 && i < study.MatchPoints.size()
            ? deepAt(study.MatchPoints[i])
            : std::nullopt;
        if (deep)
            m_area16.insert(m_area16.end(), deep->begin(), deep->end());
        else
            m_area8.push_back(study.Matches[i]);
    }
    if (!m_reading && ProbnikMain && ProbnikMain->LabArea == AreaSource::File)
        readArea();
    measureArea();
    afterReading();
}

void TKolorymetria::readArea()
{
    if (!ProbnikMain)
        return;
    const Rect box = ProbnikMain->DisplayBox;
    const Rect region
        = areaRegion({ m_studiedArea.Left - box.Left, m_studiedArea.Top - box.Top,
                         m_studiedArea.Right - box.Left, m_studiedArea.Bottom - box.Top },
            { box.width(), box.height() }, { ProbnikMain->ImageWidth, ProbnikMain->ImageHeight });
    AreaSink sink(*m_converter, m_studiedBounds);
    if (usesCalibration())
        sink.setCorrection(correction());
    if (const auto ref = reference())
        sink.countWithin(*ref, m_tolerance);
    if (region.width() > 0 && region.height() > 0) {
        const Rect regions[] = { region };
        if (const auto error
            = readFile(regions, sink, QStringLiteral("Czytanie obszaru z pliku obrazu…"))) {
            FileNote->setText(error->cancelled
                    ? QStringLiteral("Czytanie obszaru z pliku przerwane: obszar ma %1.")
                          .arg(ScreenValues)
                    : QStringLiteral("%1: obszar ma %2.")
                          .arg(QString::fromStdString(error->message), ScreenValues));
            FileNote->show();
            return;
        }
    }
    m_fileArea = sink.result();
}

bool TKolorymetria::areaFromFile() const
{
    return m_fileArea && ProbnikMain && ProbnikMain->LabArea == AreaSource::File;
}

double TKolorymetria::areaClipped() const
{
    return areaFromFile() ? m_fileArea->clippedShare : m_screenClipped;
}

void TKolorymetria::measureArea()
{
    if (!m_studied) {
        showStatistics();
        return;
    }
    m_areaShare.reset();
    colour::LabStatistics s;
    if (areaFromFile()) {
        s = m_fileArea->lab;
    } else {
        // The Labs summed are kept: the share within the tolerance is counted over them.
        m_areaLabs.clear();
        colour::LabAccumulator sums(*m_converter);
        // Calibrated, each pixel is corrected before it is summed.
        const bool calibrated = usesCalibration();
        const auto addCorrected = [&](const std::vector<colour::Lab>& labs) {
            for (const colour::Lab& v : labs) {
                const lab::Lab c = shown(v);
                sums.add(colour::Lab { c.L, c.a, c.b });
                m_areaLabs.push_back(colour::Lab { c.L, c.a, c.b });
            }
        };
        const auto add16 = [&](std::span<const std::uint16_t> values) {
            std::vector<colour::Lab> labs(values.size() / std::size_t(m_converter->channels()));
            m_converter->convert16(values, labs);
            if (!calibrated) {
                sums.add16(values);
                m_areaLabs.insert(m_areaLabs.end(), labs.begin(), labs.end());
                return;
            }
            addCorrected(labs);
        };
        if (calibrated) {
            std::vector<colour::Lab> labs(m_area8.size());
            m_converter->convert(m_area8, labs);
            addCorrected(labs);
        } else {
            sums.add(m_area8);
            m_areaLabs.resize(m_area8.size());
            m_converter->convert(m_area8, m_areaLabs);
        }
        if (m_bits == 16 && m_converter->channels() == 3) {
            add16(m_area16);
        } else if (m_bits == 16) {
            std::vector<std::uint16_t> grey;
            grey.reserve(m_area16.size() / 3);
            for (std::size_t i = 0; i < m_area16.size(); i += 3)
                grey.push_back(m_area16[i]);
            add16(grey);
        }
        s = sums.result();
        m_screenClipped = s.count > 0
            ? double(clippedCount(m_area8) + clippedCount16(m_area16)) / double(s.count)
            : 0.0;
    }
    lab::LabStatistics area;
    area.count = s.count;
    area.mean = fromConverter(s.mean);
    if (s.stdDev)
        area.stdDev = fromConverter(*s.stdDev);
    Area = area;
    showStatistics();
}

void TKolorymetria::chooseSample(int row)
{
    if (row < 0 || row >= int(Colors.size()))
        return;
    ReferenceSample = row;
    TypedReference.reset();
    for (QLineEdit* e : { RefL, RefA, RefB }) {
        e->clear();
        e->setStyleSheet({});
    }
    RefNote->hide();
    showReference();
}

void TKolorymetria::RefSetClick()
{
    const lab::TypedReference typed = lab::readTypedReference(
        RefL->text().toStdString(), RefA->text().toStdString(), RefB->text().toStdString());
    QLineEdit* const edits[] = { RefL, RefA, RefB };
    for (std::size_t i = 0; i < 3; ++i)
        edits[i]->setStyleSheet(typed.wrong[i] ? QStringLiteral("background: #ffd0d0") : QString());
    if (!typed.lab) {
        RefNote->setText(QString::fromStdString(typed.note));
        RefNote->show();
        return;
    }
    RefNote->hide();
    TypedReference = typed.lab;
    showReference();
}

void TKolorymetria::showReference()
{
    if (TypedReference)
        Reference->setText(QStringLiteral("Odniesienie: L* %1 a* %2 b* %3 (wpisane)")
                               .arg(twoDecimals(TypedReference->L), twoDecimals(TypedReference->a),
                                   twoDecimals(TypedReference->b)));
    else
        Reference->setText(QStringLiteral("Odniesienie: próbka %1%2")
                               .arg(ReferenceSample + 1)
                               .arg(Colors.empty() ? QStringLiteral(" (brak próbek)") : QString()));
    m_model->setReference(reference(), TypedReference ? -1 : ReferenceSample);
    showStatistics();
}

void TKolorymetria::showStatistics()
{
    auto show = [](QLabel* const(&labels)[3], std::optional<lab::Lab> values) {
        const double v[3]
            = { values ? values->L : 0, values ? values->a : 0, values ? values->b : 0 };
        for (int i = 0; i < 3; ++i)
            labels[i]->setText(values ? twoDecimals(v[i]) : Dash);
    };

    const std::vector<lab::Lab> labs = sampleLabs();
    const lab::SampleLabStatistics samples = lab::sampleStatistics(labs);
    const bool any = samples.count > 0;
    show(SampleMean, any ? std::optional(samples.mean) : std::nullopt);
    show(SampleDev, samples.stdDev);
    SampleSpread->setText(any ? twoDecimals(samples.largestDeltaE00) : Dash);

    const bool studied = Area && Area->count > 0;
    const bool fromFile = areaFromFile();
    AreaCount->setText(Area
            ? (fromFile ? QStringLiteral("Pikseli pliku: %1") : QStringLiteral("Punktów: %1"))
                  .arg(Area->count)
            : QStringLiteral("Punktów: –"));
    AreaOrigin->setText(!Area
            ? QString()
            : QStringLiteral("%1; przycięte: %2 %")
                  .arg(fromFile ? QStringLiteral("wszystkie piksele pliku za badanym obszarem")
                                : QStringLiteral("piksele ekranu"),
                      twoDecimals(100.0 * areaClipped())));
    show(AreaMean, studied ? std::optional(Area->mean) : std::nullopt);
    show(AreaDev, studied ? Area->stdDev : std::nullopt);
    const auto ref = reference();
    AreaDeltaE->setText(studied && ref ? twoDecimals(lab::deltaE00(Area->mean, *ref)) : Dash);
    showWithin(labs, ref);
    emit measured();
}

void TKolorymetria::showWithin(std::span<const lab::Lab> labs, std::optional<lab::Lab> ref)
{
    if (!ref) {
        WithinCounts->setText(QStringLiteral("W tolerancji: –, poza nią: –"));
        AreaWithin->clear();
        return;
    }
    const lab::ToleranceCounts counts = lab::countWithin(labs, *ref, m_tolerance);
    WithinCounts->setText(
        QStringLiteral("W tolerancji: %1, poza nią: %2").arg(counts.within).arg(counts.beyond));
    if (!Area || Area->count == 0) {
        AreaWithin->clear();
        return;
    }
    if (areaFromFile()) {
        // Every file pixel was counted in the pass that read them, against the reference and
        // the tolerance of that moment; another pass only on the next study.
        const auto& within = m_fileArea->within;
        if (within && within->reference == *ref && within->t == m_tolerance)
            AreaWithin->setText(QStringLiteral("Obszaru w tolerancji: %1 % (piksele pliku)")
                                    .arg(QString::fromStdString(decimals(
                                        100 * within->counts.withinShare().value_or(0), 2))));
        else
            AreaWithin->setText(QStringLiteral(
                "Obszaru w tolerancji: – (piksele pliku liczone przy innym odniesieniu lub "
                "tolerancji: ponów „Badanie”)"));
        return;
    }
    // The study's matches as the box shows them, counted again only when what it depends on
    // changed, not at every sample taken.
    if (!m_areaShare || m_areaShare->reference != *ref || m_areaShare->t != m_tolerance) {
        lab::ToleranceCounter area(*ref, m_tolerance);
        area.add(std::span<const colour::Lab>(m_areaLabs));
        m_areaShare = AreaShare { *ref, m_tolerance, area.counts().withinShare().value_or(0) };
    }
    AreaWithin->setText(QStringLiteral("Obszaru w tolerancji: %1 %")
                            .arg(QString::fromStdString(decimals(100 * m_areaShare->share, 2))));
}

void TKolorymetria::ZapiszClick()
{
    if (!ProbnikMain || Colors.empty())
        return;
    std::vector<lab::CsvSample> rows;
    for (int i = 0; i < m_model->rowCount(); ++i) {
        const auto& shown = m_model->shown(i);
        rows.push_back({ shown[0], shown[1], shown[2], sampleLab(std::size_t(i)) });
    }
    std::optional<lab::CsvArea> area;
    if (Area) {
        area.emplace();
        area->source
            = std::string(areaSourceText(areaFromFile() ? AreaSource::File : AreaSource::Screen));
        area->count = Area->count;
        area->mean = Area->mean;
        area->stdDev = Area->stdDev;
        area->clippedPercent = 100.0 * areaClipped();
    }
    // The last line is made of parts, each naming one thing the values were measured with.
    std::vector<std::string> last = lastLine();
    last.push_back(
        lab::toleranceLine(m_tolerance, lab::countWithin(sampleLabs(), *reference(), m_tolerance)));
    saveCsvAs(this, ProbnikMain->InitialDir, [&](std::ostream& out) {
        return lab::writeCsv(
            out, rows, *reference(), ProbnikMain->Separator.toUtf8().toStdString(), area, last);
    });
}

void TKolorymetria::copyRows()
{
    QModelIndexList rows = Table->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return;
    std::sort(rows.begin(), rows.end(),
        [](const QModelIndex& x, const QModelIndex& y) { return x.row() < y.row(); });
    QString text;
    for (const QModelIndex& row : rows) {
        QStringList cells;
        for (int column = 0; column < ColumnCount; ++column)
            if (!Table->isColumnHidden(column))
                cells << m_model->text(row.row(), column);
        text += cells.join(u'\t') + u'\n';
    }
    QGuiApplication::clipboard()->setText(text);
}

void TKolorymetria::ToleranceChange()
{
    const auto t = lab::readTolerance(Tolerance->text().toStdString());
    Tolerance->setStyleSheet(t ? QString() : QStringLiteral("background: #ffd0d0"));
    if (!t) {
        // The last tolerance taken stays in use until one is.
        ToleranceNote->setText(
            QStringLiteral("Tolerancja ΔE00 to liczba większa od 0 i nie większa niż 100, na "
                           "przykład 2 albo 1,5. Nadal obowiązuje %1.")
                .arg(QString::fromStdString(lab::toleranceText(m_tolerance))));
        ToleranceNote->show();
        return;
    }
    ToleranceNote->hide();
    m_tolerance = *t;
    if (ProbnikMain)
        ProbnikMain->LabTolerance = *t;
    m_model->setTolerance(*t);
    showStatistics();
}

void TKolorymetria::selectSample(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    Table->selectRow(row);
    Table->scrollTo(m_model->index(row, 0));
}

void TProbnikMain::Kolorymetria1Execute()
{
    if (!Kolorymetria)
        return;
    Kolorymetria->show();
    Kolorymetria->raise();
    Kolorymetria->activateWindow();
}
