// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/Progress.h"

#include <QString>

class QDialog;
class QUrl;
class QWidget;

// The modal dialogs the windows run. Tests install their own answers in place of a person.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // The Open dialog for bitmaps, starting in dir (empty: the dialog's own default folder).
    // Empty text when the user cancels.
    virtual QString openBitmap(QWidget* parent, const QString& dir);
    // The Open dialog for ICC profile files (.icc, .icm), starting in dir. Empty text when the
    // user cancels.
    virtual QString openProfile(QWidget* parent, const QString& dir);
    // The application's error box, captioned "Probnik".
    virtual void error(QWidget* parent, const QString& message);
    // The colour dialog, only for looking at and mixing colours.
    virtual void colour(QWidget* parent);
    // A plain message box with an OK button and no icon; an empty caption means "Probnik".
    virtual void message(QWidget* parent, const QString& text, const QString& caption = {});
    // Runs one of the program's own modal windows and returns its result (QDialog::Accepted
    // or QDialog::Rejected).
    virtual int runModal(QDialog* dialog);
    // Hands a document or link to the desktop ("open" with the associated program).
    virtual void openUrl(const QUrl& url);
    // The Save dialog for CSV files, starting in dir; a name typed without an extension gets
    // ".csv". No overwrite question of its own. Empty text when the user cancels.
    virtual QString saveCsv(QWidget* parent, const QString& dir);
    // The Save dialog for pictures of a window (PNG or SVG), starting in dir; a name typed
    // without an extension gets the chosen filter's. No overwrite question of its own. Empty
    // text when the user cancels.
    virtual QString saveImage(QWidget* parent, const QString& dir);
    // How a picture being opened over parent shows its progress: once the work has lasted half
    // a second, a bar with "Anuluj", modal to parent, that lets events through as it moves.
    // The handler answers false once the person cancelled (the button, Esc or the close box);
    // the bar goes with the handler.
    virtual probnik::Progress::Handler openProgress(QWidget* parent);
};
