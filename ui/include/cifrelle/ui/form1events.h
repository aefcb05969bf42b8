// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace cifrelle::ui {

// The events of the game window "Form1", each named after its control and
// event. The window raises them; the game's Form1 handles them.
class Form1Events {
public:
    virtual ~Form1Events() = default;

    // How the window raises an event: its handler runs while the game takes
    // events. From the moment the game's end begins, none does, and a key
    // in txtmio is cancelled.
    void raise(void (Form1Events::*handler)())
    {
        if (takesEvents())
            (this->*handler)();
    }
    void raiseKeyPress(std::int16_t& KeyAscii)
    {
        if (takesEvents())
            txtmio_KeyPress(KeyAscii);
        else
            KeyAscii = 0;
    }

    // False from the moment the game's end begins.
    virtual bool takesEvents() const { return true; }

    virtual void Form_Activate() = 0;
    virtual void cmdini_Click() = 0;
    virtual void cmdcasual_Click() = 0;
    virtual void Command1_Click() = 0;
    virtual void Command2_Click() = 0;
    virtual void Command3_Click() = 0;
    virtual void cmdverifica_Click() = 0;
    // A character key in txtmio. Setting KeyAscii to 0 cancels the key.
    virtual void txtmio_KeyPress(std::int16_t& KeyAscii) = 0;
    virtual void Timer1_Timer() = 0;
    virtual void cmdexit_Click() = 0;
    // The window is being closed from its title bar (or by the system);
    // when the handler returns, it closes.
    virtual void Form_Unload() = 0;
    virtual void help_Click() = 0;
    virtual void record_Click() = 0;
};

} // namespace cifrelle::ui
