#pragma once

#include <functional>
#include <utility>

// Runs one event handler. An exception that leaves it is shown in the application's error box
// and the program goes on; it never unwinds through the toolkit's own frames.
void RunHandler(const std::function<void()> &handler);

// The same as a slot: connect(button, &QPushButton::clicked, this, EventHandler([this] {...})).
template <class Handler> auto EventHandler(Handler handler)
{
    return [handler = std::move(handler)](auto &&...) {
        RunHandler(handler);
    };
}
