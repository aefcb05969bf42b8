#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace cifrelle::ui {

// Every control of the game window the game logic can address. The
// enumerator names are the controls' names; controlName() gives the same
// name as text, which is also the Qt objectName of the widget.
enum class Control {
    tempo,
    lblconto,
    Frame2,
    Text2,
    cmdverifica,
    cmdcasual,
    Frame1,
    Text1,
    lblok1,
    lblok2,
    lblok,
    Command1,
    Command2,
    Command3,
    cmdini,
    cmdexit,
    Command4,
    Command5,
    Frame3,
    txtmio,
    Label5,
    lblnome1,
    Label1,
    Label2,
    lblScore,
    lblScore1,
    Label4,
    lblnome,
    Label3,
    lblpunti,
};

inline constexpr std::array allControls{
    Control::tempo,    Control::lblconto, Control::Frame2,   Control::Text2,
    Control::cmdverifica, Control::cmdcasual, Control::Frame1, Control::Text1,
    Control::lblok1,   Control::lblok2,   Control::lblok,    Control::Command1,
    Control::Command2, Control::Command3, Control::cmdini,   Control::cmdexit,
    Control::Command4, Control::Command5, Control::Frame3,   Control::txtmio,
    Control::Label5,   Control::lblnome1, Control::Label1,   Control::Label2,
    Control::lblScore, Control::lblScore1, Control::Label4,  Control::lblnome,
    Control::Label3,   Control::lblpunti,
};

// The control's name, e.g. "txtmio".
std::string_view controlName(Control control);

// The control with that name, if there is one.
std::optional<Control> controlByName(std::string_view name);

} // namespace cifrelle::ui
