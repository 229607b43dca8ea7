#pragma once

#include "Dialogs.h"

#include <QStringList>

// Answers the program's dialogs the way a test tells it to and records what was shown.
class FakeDialogs : public Dialogs {
public:
    QStringList openAnswers; // taken one per Open dialog; none left means "cancel"
    QStringList openDirs; // the folders the Open dialog started in
    QStringList errors; // the error boxes shown
    int colourDialogs = 0;

    QString openBitmap(QWidget*, const QString& dir) override
    {
        openDirs << dir;
        return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
    }
    void error(QWidget*, const QString& message) override { errors << message; }
    void colour(QWidget*) override { ++colourDialogs; }
};
