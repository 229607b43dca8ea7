#pragma once

#include "app/Dialogs.h"

#include <QApplication>
#include <memory>

// The application object: its title is "Probnik", it owns the dialogs the windows run, and it
// is the one place where a failure escaping an event handler is shown to the user (in the
// error box) instead of ending the program.
class ProbnikApplication : public QApplication {
    Q_OBJECT
public:
    ProbnikApplication(int& argc, char** argv);
    ~ProbnikApplication() override;

    static ProbnikApplication* instance();
    static Dialogs& dialogs();
    void setDialogs(std::unique_ptr<Dialogs> dialogs);

    // Shows message in the error box captioned "Probnik".
    static void showError(const QString& message);

    bool notify(QObject* receiver, QEvent* event) override;

private:
    std::unique_ptr<Dialogs> m_dialogs;
};
