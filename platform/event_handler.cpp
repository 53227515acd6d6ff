#include "event_handler.h"

#include "application.h"

#include <exception>

void RunHandler(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const std::exception &error) {
        if (Application)
            Application->ShowException(QString::fromUtf8(error.what()));
    } catch (...) {
        if (Application)
            Application->ShowException(QStringLiteral("Unbekannter Fehler."));
    }
}
