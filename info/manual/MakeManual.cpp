// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Renders the user manual: its text source, with pictures of the program's real windows taken
// offscreen while a short session is played through them, into a PDF file.
//
//   probnik_manual <source.html> <output.pdf>
//
// In the source, {{NAME}} stands for a value of the build (VERSION, COPYRIGHT, EMAIL, WEB,
// DOCDIR) or for the CSV file the session wrote (CSV), and <img src="NAME.png"> for the
// picture NAME taken during the session.
#include "analysis/Histogram.h"
#include "analysis/Kolorymetria.h"
#include "analysis/Stat.h"
#include "analysis/Total.h"
#include "analysis/Warn.h"
#include "app/Intro.h"
#include "app/Main.h"
#include "app/ProbnikApplication.h"
#include "app/Startup.h"
#include "demo/Pokaz.h"
#include "info/about.h"
#include "resources/Version.h"

#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPdfWriter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadialGradient>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>

namespace {

// Answers the program's dialogs in place of a person, so nothing waits for input.
class Script : public Dialogs {
public:
    QString picture; // the answer of the Open dialog
    QString csvFile; // the answer of the Save dialog
    std::function<void(QDialog*)> onModal; // what is done while a modal window is up
    QStringList complaints; // error boxes: the session went wrong

    QString openBitmap(QWidget*, const QString&) override { return picture; }
    void error(QWidget*, const QString& message) override { complaints << message; }
    void colour(QWidget*) override { }
    void message(QWidget*, const QString&, const QString&) override { }
    void openUrl(const QUrl&) override { }
    QString saveCsv(QWidget*, const QString&) override { return csvFile; }
    int runModal(QDialog* dialog) override
    {
        if (onModal)
            onModal(dialog);
        return QDialog::Rejected;
    }
};

void settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

// A small landscape with a red barn, a pond and a sun, with a little noise in every pixel so
// that measured colours spread the way a photograph's do.
QImage examplePicture()
{
    QImage image(480, 320, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, 0, 130);
    sky.setColorAt(0, QColor(110, 170, 225));
    sky.setColorAt(1, QColor(215, 230, 245));
    painter.fillRect(0, 0, 480, 130, sky);
    QLinearGradient meadow(0, 130, 0, 320);
    meadow.setColorAt(0, QColor(120, 175, 80));
    meadow.setColorAt(1, QColor(55, 115, 45));
    painter.fillRect(0, 130, 480, 190, meadow);
    QRadialGradient sun(390, 60, 40);
    sun.setColorAt(0, QColor(255, 240, 120));
    sun.setColorAt(1, QColor(245, 200, 50));
    painter.setPen(Qt::NoPen);
    painter.setBrush(sun);
    painter.drawEllipse(QPoint(390, 60), 34, 34);
    painter.setBrush(QColor(40, 90, 170));
    painter.drawEllipse(QPoint(320, 245), 95, 38);
    painter.setBrush(QColor(95, 50, 40));
    painter.drawPolygon(QPolygon({ { 50, 150 }, { 120, 100 }, { 190, 150 } }));
    painter.fillRect(60, 150, 120, 110, QColor(190, 45, 40));
    painter.fillRect(105, 205, 30, 55, QColor(70, 40, 30));
    painter.end();

    quint32 state = 12345;
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            auto jitter = [&state](int value) {
                state = state * 1664525u + 1013904223u;
                return std::clamp(value + int(state >> 24) % 13 - 6, 0, 255);
            };
            const QRgb p = line[x];
            line[x] = qRgb(jitter(qRed(p)), jitter(qGreen(p)), jitter(qBlue(p)));
        }
    }
    return image;
}

struct Session {
    std::map<QString, QImage> pictures;
    QStringList csvLines; // the lines of the CSV file written at its end
    QString separator; // and their separator
};

// Plays a short session through the real windows, taking their pictures on the way.
Session playSession(Script& script, const QString& folder)
{
    Session session;
    std::map<QString, QImage>& pictures = session.pictures;
    auto take = [&pictures](const QString& name, QWidget* window) {
        settle();
        QImage image = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
        if (image.isNull())
            throw std::runtime_error("no picture of " + name.toStdString());
        pictures[name] = std::move(image);
    };

    script.picture = folder + QStringLiteral("/przyklad.bmp");
    if (!examplePicture().save(script.picture, "BMP"))
        throw std::runtime_error("cannot write the example picture");

    Splash = new TSplash;
    Splash->show();
    take(QStringLiteral("splash"), Splash);
    delete Splash;

    createWindows();
    TProbnikMain* main = ProbnikMain;
    main->show();
    settle();

    // Menus, opened one by one.
    for (QAction* item : main->menuBar()->actions()) {
        QMenu* menu = item->menu();
        if (!menu)
            continue;
        menu->popup(main->mapToGlobal(QPoint(0, 0)));
        take(QStringLiteral("menu-") + item->text().remove(u'&').toLower(), menu);
        menu->hide();
    }

    // A picture, twelve samples on the barn's wall, the magnifier on its door, "Autozakres" 3
    // and the cursor over the sky.
    main->FileOpen1Execute();
    for (const QPoint p : { QPoint(75, 190), QPoint(92, 200), QPoint(140, 186), QPoint(150, 240),
             QPoint(70, 250), QPoint(150, 215), QPoint(85, 228), QPoint(140, 258), QPoint(65, 180),
             QPoint(155, 195), QPoint(128, 180), QPoint(70, 215) })
        main->FormMouseDown(Qt::LeftButton, Qt::NoModifier, p.x(), p.y());
    main->FormMouseDown(Qt::RightButton, Qt::NoModifier, 112, 215);
    main->A->setValue(3);
    main->FormMouseMove(Qt::NoButton, Qt::NoModifier, 300, 95);
    take(QStringLiteral("okno-glowne"), main);

    // The statistics of the samples; "Zamknij" hands the means and the band on.
    Statystyka->show();
    take(QStringLiteral("statystyka"), Statystyka);
    Statystyka->BitBtn1->click();
    settle();

    // Area mode: a rectangle dragged around the barn, studied with the band as bounds.
    script.onModal = [&](QDialog* dialog) {
        if (dialog != Global)
            return;
        Global->show();
        settle();
        Global->BitBtn1->click();
        take(QStringLiteral("badanie"), Global);
        take(QStringLiteral("obszar"), main);
        Global->hide();
    };
    main->ToolButton9->click();
    main->FormMouseDown(Qt::LeftButton, Qt::NoModifier, 40, 160);
    main->FormMouseMove(Qt::LeftButton, Qt::NoModifier, 120, 230);
    main->FormMouseMove(Qt::LeftButton, Qt::NoModifier, 200, 292);
    main->FormMouseUp(Qt::LeftButton, Qt::NoModifier, 200, 292);
    script.onModal = nullptr;

    // The studied rectangle's histograms with the band's bounds.
    Histogram->show();
    settle();
    take(QStringLiteral("histogram"), Histogram);
    Histogram->hide();

    // The samples and the studied area in L*a*b*.
    Kolorymetria->show();
    take(QStringLiteral("kolorymetria"), Kolorymetria);
    Kolorymetria->hide();

    // The barn's colour as circles on a pale background.
    Shower->show();
    Shower->TR->setText(QStringLiteral("250"));
    Shower->TG->setText(QStringLiteral("245"));
    Shower->TB->setText(QStringLiteral("225"));
    Shower->setFakturaItemIndex(2);
    Shower->Rozmiar->setValue(14);
    Shower->Rozstaw->setValue(22);
    Shower->FakturaClick();
    take(QStringLiteral("demonstracja"), Shower);
    Shower->hide();

    AboutBox->show();
    take(QStringLiteral("o-programie"), AboutBox);
    AboutBox->hide();

    OKBottomDlg->show();
    take(QStringLiteral("uwaga"), OKBottomDlg);
    OKBottomDlg->hide();

    // The samples saved; the scratch list keeps the lines of the file.
    script.csvFile = folder + QStringLiteral("/probki.csv");
    main->FileSave1Execute();
    session.csvLines = main->R->toPlainText().split(u'\n');
    session.separator = main->Separator;

    if (!script.complaints.isEmpty())
        throw std::runtime_error(script.complaints.join(u'\n').toStdString());
    destroyWindows();
    return session;
}

// The CSV lines as the manual shows them: the blanks that align the first three fields
// made visible.
QString csvExample(const QStringList& lines, const QString& separator)
{
    QStringList shown;
    for (const QString& line : lines) {
        QStringList fields = line.split(separator);
        for (qsizetype i = 0; i < std::min<qsizetype>(3, fields.size()); ++i)
            fields[i].replace(u' ', QChar(0x2423));
        shown << fields.join(separator).toHtmlEscaped();
    }
    return shown.join(u'\n');
}

QString readSource(const QString& path, const QString& csv)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    QString text = QString::fromUtf8(file.readAll());
    const std::map<QString, QString> values {
        { QStringLiteral("VERSION"), QString::fromUtf8(probnik::version::FileVersion) },
        { QStringLiteral("COPYRIGHT"),
            QString::fromUtf8(probnik::version::LegalCopyright).toHtmlEscaped() },
        { QStringLiteral("EMAIL"), QString::fromUtf8(probnik::version::Email).toHtmlEscaped() },
        { QStringLiteral("WEB"), QString::fromUtf8(probnik::version::Web).toHtmlEscaped() },
        { QStringLiteral("DOCDIR"), manualFolders().value(1).toHtmlEscaped() },
        { QStringLiteral("CSV"), csv },
    };
    for (const auto& [name, value] : values)
        text.replace(QStringLiteral("{{") + name + QStringLiteral("}}"), value);
    const QRegularExpressionMatch left
        = QRegularExpression(QStringLiteral("\\{\\{\\w+\\}\\}")).match(text);
    if (left.hasMatch())
        throw std::runtime_error("unknown value " + left.captured().toStdString());
    return text;
}

void writePdf(const QString& html, const std::map<QString, QImage>& pictures, const QString& path)
{
    QTextDocument document;
    for (const auto& [name, image] : pictures)
        document.addResource(
            QTextDocument::ImageResource, QUrl(name + QStringLiteral(".png")), image);
    // Every picture the text shows must have been taken.
    const QRegularExpression img(QStringLiteral("<img[^>]*src=\"([^\"]+)\\.png\""));
    for (auto it = img.globalMatch(html); it.hasNext();) {
        const QString name = it.next().captured(1);
        if (!pictures.contains(name))
            throw std::runtime_error("no picture named " + name.toStdString());
    }
    document.setHtml(html);

    // Written whole or not at all, so a failed run never leaves a manual that looks finished.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw std::runtime_error("cannot write " + path.toStdString());
    {
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setResolution(300);
        writer.setTitle(QStringLiteral("Probnik – instrukcja obsługi"));
        writer.setCreator(QStringLiteral("Probnik"));
        document.print(&writer);
    }
    if (!file.commit())
        throw std::runtime_error("cannot write " + path.toStdString());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: probnik_manual <source.html> <output.pdf>\n");
        return 2;
    }
    // No display and no window manager needed, and the windows keep their settings and their
    // single-instance lock in a scratch folder, away from the user's.
    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        std::fprintf(stderr, "probnik_manual: no scratch folder\n");
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qunsetenv("QT_QPA_PLATFORMTHEME");
    qputenv("XDG_CONFIG_HOME", scratch.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_RUNTIME_DIR", scratch.path().toUtf8());

    // The offscreen platform says so each time a window asks to come forward; that is no news.
    qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
            if (!message.startsWith(QStringLiteral("This plugin does not support")))
                std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
        });
    ProbnikApplication app(argc, argv);
    auto script = std::make_unique<Script>();
    Script& answers = *script;
    app.setDialogs(std::move(script));
    try {
        const QString source = QString::fromLocal8Bit(argv[1]);
        const QString output = QString::fromLocal8Bit(argv[2]);
        const Session session = playSession(answers, scratch.path());
        const QString html = readSource(source, csvExample(session.csvLines, session.separator));
        writePdf(html, session.pictures, output);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "probnik_manual: %s\n", e.what());
        return 1;
    }
    return 0;
}
