#include "ProbnikApplication.h"

#include "Version.h"

#include <exception>

ProbnikApplication::ProbnikApplication(int& argc, char** argv)
    : QApplication(argc, argv)
    , m_dialogs(std::make_unique<Dialogs>())
{
    setApplicationName(QStringLiteral("Probnik"));
    setApplicationDisplayName(QStringLiteral("Probnik"));
    setApplicationVersion(QString::fromLatin1(probnik::version::FileVersion));
    setDesktopFileName(QStringLiteral("probnik"));
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
