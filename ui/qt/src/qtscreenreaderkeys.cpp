// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/ui/qt/qtscreenreaderkeys.h"

#include <QCoreApplication>

#include <algorithm>

namespace cifrelle::ui {

ScreenReaderKeys::ScreenReaderKeys() : ScreenReaderKeys(screenReaderKeyQuestion()) {}

ScreenReaderKeys::ScreenReaderKeys(Question question) : question_(std::move(question)) {}

bool ScreenReaderKeys::hold(QObject* receiver, const QKeyEvent& key)
{
    auto copy = std::make_unique<QKeyEvent>(
        key.type(), key.key(), key.modifiers(), key.nativeScanCode(), key.nativeVirtualKey(),
        key.nativeModifiers(), key.text(), key.isAutoRepeat(), key.count());
    copy->setTimestamp(key.timestamp());
    const std::uint64_t serial = state_->next++;
    state_->held.push_back({serial, receiver, std::move(copy), std::nullopt});
    const std::weak_ptr<State> state = state_;
    const bool asked = question_(key, [state, serial](bool taken) {
        if (const auto alive = state.lock())
            alive->answer(serial, taken);
    });
    if (!asked) {
        if (state_->held.size() == 1) {
            // Nobody to ask and nothing waiting: the key goes on at once.
            state_->held.clear();
            return false;
        }
        state_->answer(serial, false);
    }
    return true;
}

void ScreenReaderKeys::State::answer(std::uint64_t serial, bool taken)
{
    const auto found = std::find_if(held.begin(), held.end(),
                                    [serial](const Held& h) { return h.serial == serial; });
    if (found == held.end())
        return;
    found->taken = taken;
    release();
}

void ScreenReaderKeys::State::release()
{
    // The keys answered, up to the first still waiting: those the screen
    // reader left go to the window, as if they came now.
    while (!held.empty() && held.front().taken) {
        Held& first = held.front();
        if (!*first.taken && first.receiver)
            QCoreApplication::postEvent(first.receiver, first.key.release());
        held.pop_front();
    }
}

} // namespace cifrelle::ui
