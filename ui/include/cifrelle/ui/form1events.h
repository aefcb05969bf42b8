// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace cifrelle::ui {

// Why the window is being unloaded: closed from its title bar (or by the
// window manager's close), or by the end of the desktop session (logout,
// shutdown, SIGTERM or SIGHUP on Linux).
enum class UnloadMode {
    WindowClosed,
    SessionEnded,
};

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

    // How the window raises its unload. Unlike the other events it reaches
    // the game also while its end is under way, when a session that ends
    // must end the program at once.
    void raiseUnload(UnloadMode mode) { Form_Unload(mode); }

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
    // The window is being unloaded, as `UnloadMode` says. The window itself
    // stays: the handler ends the program (the game's end when the
    // teacher's register is kept, which may wait and show its boxes).
    virtual void Form_Unload(UnloadMode UnloadMode) = 0;
    virtual void help_Click() = 0;
    virtual void record_Click() = 0;
};

} // namespace cifrelle::ui
