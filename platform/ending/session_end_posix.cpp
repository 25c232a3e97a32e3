// SPDX-License-Identifier: Apache-2.0
#include "platform/ending/session_end.h"

TSessionEndHold::TSessionEndHold(void *) {}
TSessionEndHold::~TSessionEndHold() = default;

struct TSessionEndWatch::TState {};

TSessionEndWatch::TSessionEndWatch(std::function<void()>) {}
TSessionEndWatch::~TSessionEndWatch() = default;

void *TSessionEndWatch::Window() const
{
    return nullptr;
}
