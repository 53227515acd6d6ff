#pragma once

#include <QFont>
#include <QString>

#include <thread>

// Reads the system's font configuration on a thread of its own. Where fonts come through
// fontconfig, reading its configuration (some fifty XML files) takes about 10 ms of a start-up,
// and the toolkit would do it on the main thread when it first needs a font. Made before the
// toolkit starts and joined before the first text is measured, both proceed at once. Joining
// first matters: a toolkit that asked while the thread still reads would read it all again.
class FontConfigurationReader
{
public:
    FontConfigurationReader();
    ~FontConfigurationReader() { Join(); }
    FontConfigurationReader(const FontConfigurationReader &) = delete;
    FontConfigurationReader &operator=(const FontConfigurationReader &) = delete;

    void Join();

private:
    std::thread reader;
};

// The faces the forms declare (Segoe UI, MS Sans Serif, Arial, System) stand in for the nearest
// installed ones; Liberation Sans has Arial's metrics. Called once at start-up.
void InstallFontSubstitutes();

// A declared face at a declared character height in pixels.
QFont DeclaredFont(const QString &face, int pixelHeight, bool bold = false);
