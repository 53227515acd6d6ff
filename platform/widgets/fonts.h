#pragma once

#include <QFont>
#include <QString>

// The faces the forms declare (Segoe UI, MS Sans Serif, Arial, System) stand in for the nearest
// installed ones; Liberation Sans has Arial's metrics. Called once at start-up.
void InstallFontSubstitutes();

// A declared face, or the installed face that stands in for it, at a declared character height
// in pixels.
QFont DeclaredFont(const QString &face, int pixelHeight, bool bold = false);

// The font, made smaller where the installed face is taller than the box the form declares for
// one line of it, so that the whole line shows, descenders included.
QFont FittedFont(QFont font, int height);
