#include "cifrelle/ui/control.h"

#include <array>

namespace cifrelle::ui {

namespace {

constexpr std::array<std::string_view, allControls.size()> names{
    "tempo",    "lblconto", "Frame2",   "Text2",    "cmdverifica", "cmdcasual",
    "Frame1",   "Text1",    "lblok1",   "lblok2",   "lblok",       "Command1",
    "Command2", "Command3", "cmdini",   "cmdexit",  "Command4",    "Command5",
    "Frame3",   "txtmio",   "Label5",   "lblnome1", "Label1",      "Label2",
    "lblScore", "lblScore1", "Label4",  "lblnome",  "Label3",      "lblpunti",
};

} // namespace

std::string_view controlName(Control control)
{
    return names.at(static_cast<std::size_t>(control));
}

std::optional<Control> controlByName(std::string_view name)
{
    for (Control c : allControls) {
        if (controlName(c) == name)
            return c;
    }
    return std::nullopt;
}

} // namespace cifrelle::ui
