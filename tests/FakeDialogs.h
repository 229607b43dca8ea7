// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "app/Dialogs.h"

#include <QDialog>
#include <QStringList>
#include <QUrl>
#include <functional>

// Answers the program's dialogs the way a test tells it to and records what was shown.
class FakeDialogs : public Dialogs {
public:
    QStringList openAnswers; // taken one per Open dialog; none left means "cancel"
    QStringList openDirs; // the folders the Open dialog started in
    QStringList profileAnswers; // taken one per profile Open dialog; none left means "cancel"
    QStringList profileDirs; // the folders the profile Open dialog started in
    QStringList errors; // the error boxes shown
    QList<QWidget*> errorParents; // the window each error box was shown over
    int colourDialogs = 0;
    QStringList messages; // "caption: text" of each message box
    // What the person does in a modal window of the program; by default closes it with Cancel.
    std::function<int(QDialog*)> onModal = [](QDialog*) { return int(QDialog::Rejected); };
    QList<QDialog*> modals; // the modal windows run, in order
    QList<QUrl> opened; // documents and links handed to the desktop
    QStringList saveAnswers; // taken one per Save dialog; none left means "cancel"
    QStringList saveDirs; // the folders the Save dialog started in
    QStringList imageAnswers; // taken one per picture Save dialog; none left means "cancel"
    QStringList imageDirs; // the folders the picture Save dialog started in
    // What the person does while a picture opens, at each step of its progress: by default
    // nothing; false presses "Anuluj".
    std::function<bool()> duringOpen = [] { return true; };
    int openProgressSteps = 0;

    QString openBitmap(QWidget*, const QString& dir) override
    {
        openDirs << dir;
        return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
    }
    QString openProfile(QWidget*, const QString& dir) override
    {
        profileDirs << dir;
        return profileAnswers.isEmpty() ? QString() : profileAnswers.takeFirst();
    }
    void error(QWidget* parent, const QString& message) override
    {
        errors << message;
        errorParents << parent;
    }
    void colour(QWidget*) override { ++colourDialogs; }
    void message(QWidget*, const QString& text, const QString& caption) override
    {
        messages << (caption.isEmpty() ? QStringLiteral("Probnik") : caption) + QStringLiteral(": ")
                + text;
    }
    void openUrl(const QUrl& url) override { opened << url; }
    QString saveCsv(QWidget*, const QString& dir) override
    {
        saveDirs << dir;
        return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
    }
    QString saveImage(QWidget*, const QString& dir) override
    {
        imageDirs << dir;
        return imageAnswers.isEmpty() ? QString() : imageAnswers.takeFirst();
    }
    probnik::Progress::Handler openProgress(QWidget*) override
    {
        return [this](double) {
            ++openProgressSteps;
            return duringOpen();
        };
    }
    int runModal(QDialog* dialog) override
    {
        modals << dialog;
        return onModal(dialog);
    }
};
