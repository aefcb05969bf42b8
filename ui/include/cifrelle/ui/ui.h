// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cifrelle/ui/colour.h"
#include "cifrelle/ui/control.h"

#include <optional>
#include <string>

namespace cifrelle::ui {

enum class BoxStyle {
    Plain,       // an OK button only, no icon
    Information, // OK button and the information icon
    Warning,     // OK button and the warning icon (the game's own notices)
};

// The toolkit operations the game logic needs. All texts are UTF-8.
// Every operation is immediate; the boxes are modal and return when the
// player dismisses them.
class Ui {
public:
    virtual ~Ui() = default;

    // Text of a text box (txtmio, Text1, Text2).
    virtual std::string text(Control control) const = 0;
    virtual void setText(Control control, const std::string& text) = 0;

    // Caption of a label or button.
    virtual std::string caption(Control control) const = 0;
    virtual void setCaption(Control control, const std::string& caption) = 0;

    virtual void setVisible(Control control, bool visible) = 0;
    virtual void setForeColor(Control control, Colour colour) = 0;
    virtual void setFocus(Control control) = 0;

    // Switches the one-second timer on or off.
    virtual void setTimerEnabled(bool enabled) = 0;

    // A modal message box. Without a title it shows the application title
    // "Cifrelle". The prompt is shown as plain text, never interpreted.
    virtual void messageBox(const std::string& prompt, BoxStyle style,
                            const std::optional<std::string>& title = std::nullopt) = 0;

    // While the game waits for something slow (another game's save), it
    // calls this again and again: the window handles what has come meanwhile
    // (painting, the screen reader's questions, the player's clicks and
    // keys), and what comes during a few hundredths of a second more, as it
    // comes, then returns.
    virtual void doEvents() = 0;

    // Shows a short notice over the window at once, painted there and then,
    // and has the screen reader say it once.
    virtual void showNotice(const std::string& text) = 0;
    // Takes the notice away, from the screen and from the screen reader,
    // with the way out when it was offered.
    virtual void hideNotice() = 0;

    // While the game waits with the notice shown, offers the player a way
    // out of the wait: a button `caption` on the notice, which takes the
    // keyboard focus and which the screen reader reads with the notice.
    virtual void offerWayOut(const std::string& caption) = 0;
    // Whether the player has taken the way out: pressed its button, or
    // closed the window while the game waited (doEvents). Such a close is
    // refused: the game then ends by itself, saying why.
    virtual bool wayOutTaken() const = 0;

    // A modal input box; returns what the player typed, or the empty text
    // when the box is cancelled.
    virtual std::string inputBox(const std::string& prompt, const std::string& title) = 0;

    // Has the screen reader say `text` at once, as one short utterance,
    // without moving the focus or touching what the player typed.
    virtual void announce(const std::string& text) = 0;

    // Ends the program at once. A real toolkit never returns from it; a
    // test double returns, and the game logic then runs nothing further.
    virtual void end() = 0;
};

inline constexpr const char* applicationTitle = "Cifrelle";

} // namespace cifrelle::ui
