// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDialog>
#include <QStringList>

class QFrame;
class QLabel;
class QPushButton;

// The about box: the program's name, version and copyright, and two links, one writing an
// e-mail to the author and one opening the maker's web page. Created once; OK or the close
// box only hides it, and it looks the same every time it is shown.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
    ~TAboutBox() override;

    // Controls, named as in the window design.
    QFrame* Panel1 = nullptr;
    QLabel* ProgramIcon = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Version = nullptr;
    QLabel* Copyright = nullptr;
    QLabel* Label1 = nullptr; // "Pytania i uwagi:"
    QLabel* Label2 = nullptr; // the author's e-mail address
    QLabel* Label3 = nullptr; // the maker's web address
    QPushButton* OKButton = nullptr;

    // Handlers.
    void FormShow();
    void Label2Click();
    void Label3Click();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildDesign();
};

extern TAboutBox* AboutBox;

// The user manual's file name.
inline constexpr const char* ManualFileName = "Probnik.pdf";
// Where the manual is looked for, in this order: beside the program, in the installed
// documentation folder, in the current folder.
QStringList manualFolders();
// The manual in the first of folders that holds it, as a full path; empty when none does.
QString findManual(const QStringList& folders);
