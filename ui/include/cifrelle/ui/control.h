// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace cifrelle::ui {

// Every control of the game window the game logic can address, in one list.
// The enumerator names, allControls and controlName() all come from it; a
// control's name is also the Qt objectName of its widget.
// clang-format off
#define CIFRELLE_FORM1_CONTROLS(X)                                                            \
    X(tempo) X(lblconto) X(Frame2) X(Text2) X(cmdverifica) X(cmdcasual) X(Frame1) X(Text1)     \
    X(lblok1) X(lblok2) X(lblok) X(Command1) X(Command2) X(Command3) X(cmdini) X(cmdexit)      \
    X(Command4) X(Command5) X(Frame3) X(txtmio) X(Label5) X(lblnome1) X(Label1) X(Label2)      \
    X(lblScore) X(lblScore1) X(Label4) X(lblnome) X(Label3) X(lblpunti)
// clang-format on

#define CIFRELLE_CONTROL_ENUMERATOR(name) name,
#define CIFRELLE_CONTROL_VALUE(name) Control::name,
#define CIFRELLE_CONTROL_NAME(name) std::string_view(#name),

enum class Control { CIFRELLE_FORM1_CONTROLS(CIFRELLE_CONTROL_ENUMERATOR) };

inline constexpr std::array allControls{CIFRELLE_FORM1_CONTROLS(CIFRELLE_CONTROL_VALUE)};

// The control's name, e.g. "txtmio".
constexpr std::string_view controlName(Control control)
{
    constexpr std::array names{CIFRELLE_FORM1_CONTROLS(CIFRELLE_CONTROL_NAME)};
    return names[static_cast<std::size_t>(control)];
}

// The control named `name` (a widget's objectName), if there is one.
constexpr std::optional<Control> controlNamed(std::string_view name)
{
    for (Control control : allControls) {
        if (controlName(control) == name)
            return control;
    }
    return std::nullopt;
}

#undef CIFRELLE_CONTROL_NAME
#undef CIFRELLE_CONTROL_VALUE
#undef CIFRELLE_CONTROL_ENUMERATOR

} // namespace cifrelle::ui
