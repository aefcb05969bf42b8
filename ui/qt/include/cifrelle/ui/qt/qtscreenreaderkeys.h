// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QKeyEvent>
#include <QObject>
#include <QPointer>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace cifrelle::ui {

// The keys the player types go to the screen reader first, and to the
// window only when the screen reader leaves them.
//
// Qt 6.4's bridge to the accessibility bus (AT-SPI) asks the screen reader
// about each key too, but waits only 100 ms for the answer: then it gives
// the key to the window all the same, and the answers that come late are
// matched with the keys after. On a busy machine Orca's where-am-I (keypad
// Enter) thus reached the answer box as well and was counted as an answer.
// This asks first, waits for the answer to each key (the registry of the
// bus waits up to 3 s for the screen reader), and gives the window the keys
// left, in the order they were typed. The bridge never sees the keys held
// here: it only asks about the keys that come straight from the system.
class ScreenReaderKeys {
public:
    // Asks whether the screen reader takes `key`; calls `answer` once with
    // the answer (false also when no answer came). Returns false, without
    // calling `answer`, when there is nobody to ask.
    using Question =
        std::function<bool(const QKeyEvent& key, std::function<void(bool taken)> answer)>;

    // Asks the screen reader on the accessibility bus, if there is one.
    ScreenReaderKeys();
    explicit ScreenReaderKeys(Question question);

    // Takes a key the player typed, on its way to `receiver`: true when it is
    // held for the screen reader (the window gets it later if the screen
    // reader leaves it), false when it goes on as usual.
    bool hold(QObject* receiver, const QKeyEvent& key);

private:
    struct Held {
        std::uint64_t serial;
        QPointer<QObject> receiver;
        std::unique_ptr<QKeyEvent> key;
        std::optional<bool> taken;
    };
    struct State {
        std::deque<Held> held;
        std::uint64_t next = 0;
        void answer(std::uint64_t serial, bool taken);
        void release();
    };

    Question question_;
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

// The question on the accessibility bus: the registry's device event
// controller, whose answer is the screen reader's. Asks nobody where there
// is no such bus.
ScreenReaderKeys::Question screenReaderKeyQuestion();

} // namespace cifrelle::ui
