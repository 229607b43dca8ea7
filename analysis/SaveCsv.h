// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/Result.h"

#include <QString>

#include <functional>
#include <optional>
#include <ostream>

class QWidget;

// Saving a CSV file, for every window that saves one: asks where (starting in initialDir) and
// whether to replace a file that is there, then writes what `write` gives, whole or not at
// all, and makes its folder initialDir. A failure is shown over `parent`. Returns whether the
// file was written.
bool saveCsvAs(QWidget* parent, QString& initialDir,
    const std::function<std::optional<probnik::Error>(std::ostream&)>& write);
