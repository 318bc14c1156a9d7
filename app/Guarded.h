#pragma once

#include "Prompt.h"

#include <exception>
#include <utility>

// The silent abort: ends the running handler without a message.
struct EAbort {};

// The application's default error display. An exception must never leave a Qt
// event handler, so every handler that can raise runs through this boundary.
template<typename F>
void Guarded(QWidget *parent, F &&handler)
{
    try {
        std::forward<F>(handler)();
    } catch (const EAbort &) {
    } catch (const std::exception &e) {
        Prompt::Show(parent, TPromptKind::Error, QString::fromUtf8(e.what()));
    }
}
