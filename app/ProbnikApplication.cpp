#include "app/ProbnikApplication.h"

#include "resources/Version.h"

#include <QFont>
#include <QIcon>

#include <exception>

ProbnikApplication::ProbnikApplication(int& argc, char** argv)
    : QApplication(argc, argv)
    , m_dialogs(std::make_unique<Dialogs>())
{
    setApplicationName(QStringLiteral("Probnik"));
    setApplicationDisplayName(QStringLiteral("Probnik"));
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
    QFont::insertSubstitutions(QStringLiteral("Arial"),
        { QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
            QStringLiteral("DejaVu Sans") });
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

void ProbnikApplication::showError(const QString& message)
{
    dialogs().error(activeWindow(), message);
}

bool ProbnikApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        showError(QString::fromUtf8(e.what()));
    } catch (...) {
        showError(QStringLiteral("Unknown error"));
    }
    return false;
}
