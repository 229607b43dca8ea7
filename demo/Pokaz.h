// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/Geometry.h"
#include "demo/Texture.h"

#include <QWidget>

#include <array>

class QButtonGroup;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;

// The colour demonstration window: a drawing colour shown as stripes or circles over a
// background colour. Modeless; closing it only hides it, and its values stay for the next
// showing. Other windows send a colour by setting the texts of REdit, GEdit and BEdit, which
// reacts as typing does.
class TShower : public QWidget {
    Q_OBJECT
public:
    explicit TShower(QWidget* parent = nullptr);
    ~TShower() override;

    // The colours as read from the edits, the painted area and the texture's size and
    // spacing. Size and spacing are stored as drawn (at least 1) after the first paint.
    int DrawingRed = 0;
    int DrawingGreen = 0;
    int DrawingBlue = 0;
    int BackgroundRed = 0;
    int BackgroundGreen = 0;
    int BackgroundBlue = 0;
    probnik::Rect TextureArea;
    int TextureSize = 0;
    int Spacing = 0;

    // Controls, named as in the window design.
    QLabel* Label9 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* REdit = nullptr;
    QLineEdit* GEdit = nullptr;
    QLineEdit* BEdit = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    QLineEdit* TR = nullptr;
    QLineEdit* TG = nullptr;
    QLineEdit* TB = nullptr;
    QFrame* Bevel1 = nullptr;
    QFrame* Bevel2 = nullptr;
    QSlider* Rozmiar = nullptr;
    QLabel* Label4 = nullptr;
    QSlider* Rozstaw = nullptr;
    QLabel* Label5 = nullptr;
    QGroupBox* Faktura = nullptr;
    std::array<QRadioButton*, 3> FakturaItems {}; // "Linie poziome", "Linie pionowe", "Kółka"
    QPushButton* Button1 = nullptr;

    // The chosen item of Faktura, 0 to 2, or -1 when none is chosen (any other index chooses
    // none too).
    int FakturaItemIndex() const;
    void setFakturaItemIndex(int index);

    // Handlers.
    void FormShow();
    void REditChange();
    // Puts a colour into REdit, GEdit and BEdit as if it had been typed there.
    void TypeDrawingColour(probnik::Color colour);
    void RozmiarChange();
    void RozstawChange();
    void FakturaClick();
    // Works the texture out from the fields and has it painted.
    void FormPaint();
    void Button1Click();

    // What the window paints: the last texture FormPaint worked out.
    const probnik::texture::Texture& painted() const { return Painted; }

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void buildDesign();
    void updateFakturaTabStop();

    QButtonGroup* FakturaGroup = nullptr;
    probnik::texture::Texture Painted;
};

extern TShower* Shower;
