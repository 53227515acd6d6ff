#pragma once

#include <utility>

// Shows the exception in flight in the application's error box; called from a catch block.
void ShowHandlerException();

// Runs one event handler. An exception that leaves it is shown in the application's error box
// and the program goes on; it never unwinds through the toolkit's own frames.
template <class Handler> void RunHandler(Handler &&handler)
{
    try {
        std::forward<Handler>(handler)();
    } catch (...) {
        ShowHandlerException();
    }
}

// The same as a slot: connect(button, &QPushButton::clicked, this, EventHandler([this] {...})).
template <class Handler> auto EventHandler(Handler handler)
{
    return [handler = std::move(handler)](auto &&...) {
        RunHandler(handler);
    };
}
