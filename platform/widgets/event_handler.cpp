#include "event_handler.h"

#include "application.h"

#include <exception>

void ShowHandlerException()
{
    try {
        throw;
    } catch (const std::exception &error) {
        Application->ShowException(QString::fromUtf8(error.what()));
    } catch (...) {
        Application->ShowException(QStringLiteral("Unbekannter Fehler."));
    }
}
