// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "app/Main.h"
#include "app/ProbnikApplication.h"
#include "tests/FakeDialogs.h"

#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

// A shown main window whose dialogs the test answers, with no settings file at start.
class MainWindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        QFile::remove(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Probnik.ini"));
        auto fake = std::make_unique<FakeDialogs>();
        dialogs = fake.get();
        ProbnikApplication::instance()->setDialogs(std::move(fake));
        window = std::make_unique<TProbnikMain>();
        ProbnikMain = window.get();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override
    {
        window.reset();
        ProbnikMain = nullptr;
    }

    void open(const QString& path)
    {
        dialogs->openAnswers << path;
        window->FileOpen1Execute();
    }

    std::vector<QWidget*> sixControls() const
    {
        return { window->ToolButton2, window->ToolButton7, window->ToolButton9,
            window->SpeedButton1, window->Button1, window->Button4 };
    }

    FakeDialogs* dialogs = nullptr;
    std::unique_ptr<TProbnikMain> window;
};
