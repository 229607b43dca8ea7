// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

class QWidget;

// "Zapisz obraz…" of every window that draws measurements: asks where (starting in
// initialDir) and whether to replace a file that is there, then saves `shown`, children
// included, as the name's extension says: ".svg" a vector drawing, ".png" a bitmap of the
// screen's pixels. A bare name gets ".png"; any other extension is refused with a message,
// since the name would then lie about the content. The file is written whole or not at all
// and its folder becomes initialDir. A failure is shown over `parent`. Returns whether the
// file was written.
bool saveImageAs(QWidget* parent, QString& initialDir, QWidget* shown);

// The bytes of the picture of `shown` in the kind `extension` names ("png" or "svg", in any
// letter case); empty for another extension or when the picture cannot be made.
QByteArray imageBytes(QWidget* shown, const QString& extension, const QString& title);
