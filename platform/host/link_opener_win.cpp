#include "link_opener.h"

#include "shell_open.h"

namespace {

class ShellOpener : public LinkOpener
{
public:
    void Open(const QString &link) override
    {
        // The shell answers at once; the failure is told once control is back in the event
        // loop, as it is on Linux.
        if (!OpenWithShell(link.toStdU16String()))
            QMetaObject::invokeMethod(
                this, [this, link] { emit Failed(link); }, Qt::QueuedConnection);
    }
};

} // namespace

std::unique_ptr<LinkOpener> CreateHostLinkOpener()
{
    return std::make_unique<ShellOpener>();
}
