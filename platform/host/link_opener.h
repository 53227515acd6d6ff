#pragma once

#include <QString>

#include <memory>

// Hands a link ("MAILTO:..." or a web address) to the program the user has chosen for it.
class LinkOpener
{
public:
    virtual ~LinkOpener() = default;
    // False when the link could not be handed over or the opener reported failure.
    virtual bool Open(const QString &link) = 0;
};

// The host's opener: xdg-open on Linux, started directly with the link as its one argument and
// never through a shell; the shell's open operation on Windows.
std::unique_ptr<LinkOpener> CreateHostLinkOpener();
