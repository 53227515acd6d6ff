#include "link_opener.h"

#include <QApplication>
#include <QWidget>

#include <shellapi.h>
#include <windows.h>

namespace {

class ShellOpener : public LinkOpener
{
public:
    bool Open(const QString &link) override
    {
        // The owner is the application's main window; a result of 32 or less is a failure.
        QWidget *owner = QApplication::activeWindow();
        const auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(
            owner ? reinterpret_cast<HWND>(owner->window()->winId()) : nullptr, nullptr,
            reinterpret_cast<LPCWSTR>(link.utf16()), nullptr, nullptr, SW_SHOW));
        return result > 32;
    }
};

} // namespace

std::unique_ptr<LinkOpener> CreateHostLinkOpener()
{
    return std::make_unique<ShellOpener>();
}
