#pragma once

#include "application.h"
#include "fonts.h"
#include "form_screen.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>

enum class TestScreen { Shared, EachProgram };

// Runs every test inside the program's application object, on Qt's offscreen platform with a
// desktop-sized screen unless another platform is asked for. The windowing layer's tests share
// one screen object; the form tests start a whole program each, screen included.
inline int RunGuiTests(int argc, char **argv, TestScreen screens = TestScreen::Shared)
{
    // What the program remembers goes to a folder of the run's own, never the user's.
    const QTemporaryDir configuration;
    qputenv("XDG_CONFIG_HOME", configuration.path().toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
        qEnvironmentVariable("QT_QPA_PLATFORM") == QStringLiteral("offscreen"))
        qputenv("QT_QPA_PLATFORM", VOLUMO_TEST_PLATFORM);
    TApplication application(argc, argv);
    application.SetTitle(QStringLiteral("Volumo"));
    std::optional<FormScreen> screen;
    if (screens == TestScreen::Shared)
        screen.emplace();
    InstallFontSubstitutes();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
