#pragma once

#include <QFont>
#include <QString>

// The faces the forms declare (Segoe UI, MS Sans Serif, Arial, System) stand in for the nearest
// installed ones; Liberation Sans has Arial's metrics. Called once at start-up.
void InstallFontSubstitutes();

// A declared face, or the installed face that stands in for it, at a declared character height
// in pixels.
QFont DeclaredFont(const QString &face, int pixelHeight, bool bold = false);
