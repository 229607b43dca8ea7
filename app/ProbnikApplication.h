// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "app/Dialogs.h"

#include <QApplication>
#include <memory>

class QTranslator;

// The application object: its title is "Probnik", it owns the dialogs the windows run and
// speaks Polish in Qt's own dialogs. The handler that meets a failure shows it in the error
// box itself; notify() is only the last net for one that escapes anyway.
class ProbnikApplication : public QApplication {
    Q_OBJECT
public:
    ProbnikApplication(int& argc, char** argv);
    ~ProbnikApplication() override;

    static ProbnikApplication* instance();
    static Dialogs& dialogs();
    void setDialogs(std::unique_ptr<Dialogs> dialogs);

    // The window the user sees in front: the open modal window, else the active window, else
    // the main window (never the splash). Error boxes take it as their parent.
    static QWidget* frontWindow();
    // Shows message in the error box captioned "Probnik", over parent.
    static void showError(QWidget* parent, const QString& message);

    bool notify(QObject* receiver, QEvent* event) override;

private:
    std::unique_ptr<Dialogs> m_dialogs;
    std::unique_ptr<QTranslator> m_qtTranslator;
};
