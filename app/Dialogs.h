#pragma once

#include <QString>

class QWidget;

// The modal dialogs the windows run. Tests install their own answers in place of a person.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // The Open dialog for bitmaps, starting in dir (empty: the dialog's own default folder).
    // Empty text when the user cancels.
    virtual QString openBitmap(QWidget* parent, const QString& dir);
    // The application's error box, captioned "Probnik".
    virtual void error(QWidget* parent, const QString& message);
    // The colour dialog, only for looking at and mixing colours.
    virtual void colour(QWidget* parent);
};
