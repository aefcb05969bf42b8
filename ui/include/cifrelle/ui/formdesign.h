// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cifrelle/ui/colour.h"
#include "cifrelle/ui/control.h"

#include <optional>
#include <span>
#include <string_view>

namespace cifrelle::ui {

// The game window's design as data: what every control is, what it shows
// when the window is created, and where it stands. Both the real window and
// the test double start from this table.

enum class Kind { Label, TextBox, Button, Frame };

// The part a label plays in the feedback on an answer: the message itself,
// or a repeat of it in colour that lies over it for the eye only.
enum class Feedback { none, message, repeat };

struct Font {
    std::string_view face; // the face as designed; the window picks a close match
    double points;
    bool bold;
};

struct ControlDesign {
    Control control;
    Kind kind;
    std::string_view caption; // caption, or text of a text box
    std::optional<Font> font;
    std::optional<Colour> foreColor; // none: the toolkit's usual text colour
    std::optional<Colour> backColor; // none: transparent label, or default
    int left, top, width, height;    // twips, from the client area's top-left
    bool visible = true;
    bool enabled = true;
    bool bordered = false;
    bool centred = false;
    bool sizesItself = false;
    bool hasPicture = false;
    std::string_view toolTip = {};
    // Short Italian name for assistive technology, for controls whose
    // visible text does not tell what they are.
    std::string_view accessibleName = {};
    Feedback feedback = Feedback::none;
    // The caption that says what a value means, read before it by a screen
    // reader ("Risposte esatte 3").
    std::optional<Control> meaning = {};
    // Never shown, whatever the game does (the answer key and its frame):
    // nothing of it reaches assistive technology.
    bool keptHidden = false;
};

// Every control, in no particular order.
std::span<const ControlDesign> formDesign();

// The design of one control.
const ControlDesign& designOf(Control control);

// The controls that take the keyboard focus, first to last.
std::span<const Control> tabOrder();

// The clock's colours (the text colour of lblconto): the first row is its
// colour from the start of the game, each other row the colour it takes
// when the time left becomes that many minutes, kept until the next row.
struct ClockColour {
    int minutesLeft;
    Colour colour;
};

// First to last, the minutes left going down.
std::span<const ClockColour> clockColours();

struct WindowDesign {
    std::string_view caption;
    int clientWidth;  // twips
    int clientHeight; // twips
    Colour backColor;
    int timerIntervalMs;
    // The objectName of the area below the menu bar that holds every control:
    // what lies on it is the game's.
    std::string_view clientAreaName;
};

const WindowDesign& windowDesign();

inline constexpr int twipsPerPixel = 15;

// Twips to device-independent pixels, rounded to the nearest pixel.
constexpr int twipsToPixels(int twips)
{
    return (twips + twipsPerPixel / 2) / twipsPerPixel;
}

struct MenuItemDesign {
    std::string_view name;
    std::string_view caption;
};

struct MenuDesign {
    std::string_view name;
    std::string_view caption;
    std::span<const MenuItemDesign> submenu; // empty: the entry acts itself
};

// The menu bar's entries, left to right.
std::span<const MenuDesign> menuDesign();

} // namespace cifrelle::ui
