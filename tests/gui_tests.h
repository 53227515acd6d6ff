#pragma once

#include "application.h"
#include "fonts.h"
#include "screen.h"

#include <gtest/gtest.h>

// Runs every test inside the program's application object, on Qt's offscreen platform with a
// desktop-sized screen unless another platform is asked for.
inline int RunGuiTests(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
        qEnvironmentVariable("QT_QPA_PLATFORM") == QStringLiteral("offscreen"))
        qputenv("QT_QPA_PLATFORM", VOLUMO_TEST_PLATFORM);
    TApplication application(argc, argv);
    application.SetTitle(QStringLiteral("Volumo"));
    TScreen screen;
    InstallFontSubstitutes();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
