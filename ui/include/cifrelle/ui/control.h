// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace cifrelle::ui {

// Every control of the game window the game logic can address, in one list.
// The enumerator names, allControls and controlName() all come from it; a
// control's name is also the Qt objectName of its widget. The names are the
// window's design names, kept on purpose: the game's handlers
// (cmdverifica_Click, txtmio_KeyPress) are named after them. Beside each,
// what it is.
// clang-format off
#define CIFRELLE_FORM1_CONTROLS(X)                                                                \
    /* The clock, top left. */                                                                    \
    X(tempo)       /* the caption "Tempo restante" above the clock */                             \
    X(lblconto)    /* the clock: the time left, as hours:minutes:seconds */                       \
    /* The number to round, top centre. */                                                        \
    X(Frame2)      /* the frame "Numero decimale da approssimare" around it */                    \
    X(Text2)       /* the number to round (shown only: nobody types into it) */                   \
    X(cmdverifica) /* the small button "verifica": checks the answer */                           \
    X(cmdcasual)   /* the small blank button: draws a new number */                               \
    /* The answer key, never shown. */                                                            \
    X(Frame1)      /* the frame "Approssimazione" around it */                                    \
    X(Text1)       /* the answer key: the number rounded to the level, as text */                 \
    /* The feedback on an answer, centre. */                                                      \
    X(lblok1)      /* the message again, in colour, for the eye only */                           \
    X(lblok2)      /* the message again, in black, for the eye only */                            \
    X(lblok)       /* the message ("Sei veramente ok", "Fai attenzione") */                       \
    /* The level buttons, left, one on top of the other: one is shown. */                         \
    X(Command1)    /* "Approssima ai decimi": the level is tenths */                              \
    X(Command2)    /* "Approssima ai centesimi": the level is hundredths */                       \
    X(Command3)    /* "Approssima ai millesimi": the level is thousandths */                      \
    /* The other buttons. */                                                                      \
    X(cmdini)      /* "Inizio": starts an exercise */                                             \
    X(cmdexit)     /* "Esci": ends the game, saving a better record */                            \
    X(Command4)    /* the "Esatto" indicator: the last answer was right */                        \
    X(Command5)    /* the "Sbagliato" indicator: the last answer was wrong */                     \
    /* The player's answer, lower centre. */                                                      \
    X(Frame3)      /* the frame "Inserisci la tua approssimazione" around it */                   \
    X(txtmio)      /* the answer box, where the player types */                                   \
    /* The player, left middle. */                                                                \
    X(Label5)      /* the caption "Sfidante" before the name */                                   \
    X(lblnome1)    /* the player's name */                                                        \
    /* The score, bottom. */                                                                      \
    X(Label1)      /* the caption "Risposte esatte" */                                            \
    X(Label2)      /* the caption "Risposte errate" */                                            \
    X(lblScore)    /* the count of right answers */                                               \
    X(lblScore1)   /* the count of wrong answers */                                               \
    /* The standing record, bottom line: "Il record è di" name "con punti" score. */              \
    X(Label4)      /* the caption "Il record è di" */                                             \
    X(lblnome)     /* the record holder's name */                                                 \
    X(Label3)      /* the caption "con punti" */                                                  \
    X(lblpunti)    /* the record's score */
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
