// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/Warn.h"

#include "app/Design.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

TOKBottomDlg* OKBottomDlg = nullptr;

TOKBottomDlg::TOKBottomDlg(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("OKBottomDlg"));
    setWindowTitle(QStringLiteral("Uwaga!"));
    setFixedSize(204, 114);
    setModal(true);

    const QFont bold = design::sansSerif(11, true);

    Bevel1 = design::bevel(this, "Bevel1", { 8, 8, 188, 62 });

    Label1 = new QLabel(QStringLiteral("Ten plik juz istnieje."), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(bold);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setGeometry(10, 18, 184, 16);

    Label2 = new QLabel(QStringLiteral("Skasować go ?"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFont(bold);
    Label2->setAlignment(Qt::AlignCenter);
    Label2->setGeometry(10, 42, 184, 16);

    OKBtn = new QPushButton(QStringLiteral("Tak"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(22, 80, 75, 25);
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);

    // Esc answers "Nie" as QDialog's own reject does.
    CancelBtn = new QPushButton(QStringLiteral("Nie"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(106, 80, 75, 25);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

TOKBottomDlg::~TOKBottomDlg()
{
    if (OKBottomDlg == this)
        OKBottomDlg = nullptr;
}

void TOKBottomDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (const QScreen* s = screen()) {
        const QRect area = s->availableGeometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
    OKBtn->setFocus();
}
