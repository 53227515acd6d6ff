#include "separator_watcher.h"

#include "number_separators.h"

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QCoreApplication>

#include <windows.h>

#include <string_view>

namespace {

// WM_SETTINGCHANGE names the area that changed in lParam ("intl" for the regional settings), or
// none. The message goes on to Qt unchanged.
class SettingChangeFilter : public QAbstractNativeEventFilter
{
public:
    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "windows_generic_MSG")
            return false;
        const MSG *msg = static_cast<const MSG *>(message);
        if (msg->message == WM_SETTINGCHANGE) {
            const auto *area = reinterpret_cast<const char16_t *>(msg->lParam);
            SettingsChanged(area ? std::u16string_view(area) : std::u16string_view());
        }
        return false;
    }
};

} // namespace

SeparatorWatcher::SeparatorWatcher(QObject *parent)
    : QObject(parent), nativeMessages(std::make_unique<SettingChangeFilter>())
{
    SetNumberSeparators(ReadHostSeparators());
    if (QCoreApplication *application = QCoreApplication::instance())
        application->installNativeEventFilter(nativeMessages.get());
}

SeparatorWatcher::~SeparatorWatcher()
{
    if (QCoreApplication *application = QCoreApplication::instance())
        application->removeNativeEventFilter(nativeMessages.get());
}

bool SeparatorWatcher::eventFilter(QObject *watched, QEvent *event)
{
    return QObject::eventFilter(watched, event);
}
