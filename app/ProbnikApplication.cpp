// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/ProbnikApplication.h"

#include "app/Intro.h"
#include "app/Main.h"
#include "resources/Version.h"

#include <QFont>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

#include <exception>

ProbnikApplication::ProbnikApplication(int& argc, char** argv)
    : QApplication(argc, argv)
    , m_dialogs(std::make_unique<Dialogs>())
{
    setApplicationName(QStringLiteral("Probnik"));
    // No display name: on X11 Qt would add it to every caption ("Statystyka — Probnik").
    setApplicationVersion(QString::fromLatin1(probnik::version::FileVersion));
    // The menu entry's name (also the software-centre id): a desktop finds the window's entry
    // and icon by it.
    setDesktopFileName(QStringLiteral("org.example.probnik"));
    // The windows name the classic Windows faces; these free ones have the same widths, so the
    // texts fit their designed places.
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
        { QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
            QStringLiteral("DejaVu Sans") });
    QFont::insertSubstitutions(QStringLiteral("Courier New"),
        { QStringLiteral("Liberation Mono"), QStringLiteral("Cousine"),
            QStringLiteral("DejaVu Sans Mono") });
    // The splash title's rounded face; Quicksand has its round strokes and its weight.
    QFont::insertSubstitutions(QStringLiteral("Arial Rounded MT Bold"),
        { QStringLiteral("Quicksand"), QStringLiteral("Comfortaa") });
    QFont::insertSubstitutions(QStringLiteral("Arial"),
        { QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
            QStringLiteral("DejaVu Sans") });
    // The whole interface is Polish, so Qt's own dialogs and buttons are too, whatever the
    // locale says.
    m_qtTranslator = std::make_unique<QTranslator>();
    if (m_qtTranslator->load(
            QStringLiteral("qtbase_pl"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(m_qtTranslator.get());
    // The icon theme wins where the program is installed into it; the drawing built into the
    // program serves everywhere else.
    setWindowIcon(
        QIcon::fromTheme(QStringLiteral("probnik"), QIcon(QStringLiteral(":/icons/probnik.svg"))));
}

ProbnikApplication::~ProbnikApplication() = default;

ProbnikApplication* ProbnikApplication::instance()
{
    return static_cast<ProbnikApplication*>(QCoreApplication::instance());
}

Dialogs& ProbnikApplication::dialogs()
{
    return *instance()->m_dialogs;
}

void ProbnikApplication::setDialogs(std::unique_ptr<Dialogs> dialogs)
{
    m_dialogs = std::move(dialogs);
}

QWidget* ProbnikApplication::frontWindow()
{
    if (QWidget* modal = activeModalWidget())
        return modal;
    // The splash is going away: a box parented to it would go with it.
    if (QWidget* active = activeWindow(); active && active != Splash)
        return active;
    return ProbnikMain;
}

void ProbnikApplication::showError(QWidget* parent, const QString& message)
{
    dialogs().error(parent, message);
}

bool ProbnikApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        showError(frontWindow(), QString::fromUtf8(e.what()));
    } catch (...) {
        showError(frontWindow(), QStringLiteral("Nieznany błąd"));
    }
    return false;
}
