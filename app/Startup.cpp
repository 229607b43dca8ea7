// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/Startup.h"

#include "analysis/Histogram.h"
#include "analysis/Kalibracja.h"
#include "analysis/Kolorymetria.h"
#include "analysis/Stat.h"
#include "analysis/Total.h"
#include "analysis/Warn.h"
#include "analysis/Wykres.h"
#include "app/Intro.h"
#include "app/Main.h"
#include "app/ProbnikApplication.h"
#include "demo/Pokaz.h"
#include "info/about.h"

#include <QTimer>

#include <cstdio>
#include <exception>

void createWindows()
{
    ProbnikMain = new TProbnikMain;
    AboutBox = new TAboutBox;
    Shower = new TShower;
    Statystyka = new TStatystyka;
    OKBottomDlg = new TOKBottomDlg;
    Global = new TGlobal;
    Kolorymetria = new TKolorymetria;
    // A window of the area study's, so that its bounds can be dragged while the study is open.
    Histogram = new THistogram(Global);
    Kalibracja = new TKalibracja;
    Wykres = new TWykres;
}

void destroyWindows()
{
    delete Histogram;
    delete Kalibracja;
    delete Wykres;
    delete Kolorymetria;
    delete Global;
    delete OKBottomDlg;
    delete Statystyka;
    delete Shower;
    delete AboutBox;
    delete ProbnikMain;
    delete Splash;
}

void openFileArgument(const QStringList& arguments)
{
    // A second copy only ends: it opens nothing.
    if (arguments.size() < 2 || !ProbnikMain || !ProbnikMain->isFirstCopy())
        return;
    const QString& path = arguments.at(1); // the lambda keeps its own copy
    QTimer::singleShot(0, ProbnikMain, [path] { ProbnikMain->OpenPicture(path); });
}

int runProbnik(int& argc, char** argv)
{
    ProbnikApplication app(argc, argv);
    try {
        Splash = new TSplash;
        Splash->show();
        QCoreApplication::processEvents();
        createWindows();
        ProbnikMain->show();
        // The splash stays in front of the main window until its timer runs out, also on a
        // desktop without a window manager to honour its stay-on-top flag.
        if (Splash)
            Splash->raise();
        openFileArgument(QCoreApplication::arguments());
        ProbnikApplication::exec();
        destroyWindows();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Probnik: %s\n", e.what());
        ProbnikApplication::showError(nullptr, QString::fromUtf8(e.what()));
    }
    return 0;
}
