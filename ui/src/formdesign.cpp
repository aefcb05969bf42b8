// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/ui/formdesign.h"

#include <array>
#include <stdexcept>

namespace cifrelle::ui {

namespace {

using namespace colours;
using C = Control;

constexpr Font sansBold12{"MS Sans Serif", 12, true};
constexpr Font sansBold13{"MS Sans Serif", 13.5, true};
constexpr Font sansRegular13{"MS Sans Serif", 13.5, false};
constexpr Font sansBold18{"MS Sans Serif", 18, true};
constexpr Font sansBold24{"MS Sans Serif", 24, true};
constexpr Font sansRegular24{"MS Sans Serif", 24, false};
constexpr Font timesBold36{"Times New Roman", 36, true};

// The clock's colours: yellow from the start (fifteen minutes), green from
// 13 minutes left, cyan from 10, red from 5 to the end.
constexpr std::array<ClockColour, 4> clock{{
    {15, yellow},
    {13, green},
    {10, cyan},
    {5, red},
}};

ControlDesign label(C c, std::string_view caption, Font font, std::optional<Colour> fore, int l,
                    int t, int w, int h)
{
    ControlDesign d{c, Kind::Label, caption, font, fore, std::nullopt, l, t, w, h};
    return d;
}

ControlDesign button(C c, std::string_view caption, std::optional<Font> font, Colour back, int l,
                     int t, int w, int h, bool picture)
{
    ControlDesign d{c, Kind::Button, caption, font, std::nullopt, back, l, t, w, h};
    d.hasPicture = picture;
    return d;
}

std::array<ControlDesign, allControls.size()> makeDesign()
{
    std::array<ControlDesign, allControls.size()> d{
        // Clock, top left.
        label(C::tempo, "Tempo restante", sansBold13, yellow, 30, 150, 2295, 375),
        label(C::lblconto, "00.00.00", Font{"Arial", 21.75, true}, clock.front().colour, 150, 630,
              1815, 495),
        // Number to round, top centre.
        ControlDesign{C::Frame2, Kind::Frame, "Numero decimale da approssimare", sansBold12, navy,
                      magenta, 2280, 270, 4935, 1215},
        ControlDesign{C::Text2, Kind::TextBox, "32,486", sansBold24, std::nullopt, green, 3000, 630,
                      3375, 675},
        button(C::cmdverifica, "verifica", std::nullopt, darkBlue, 6840, 480, 375, 375, false),
        button(C::cmdcasual, "", sansBold13, darkBlue, 2880, 1080, 375, 360, false),
        // Answer key, hidden.
        ControlDesign{C::Frame1, Kind::Frame, "Approssimazione", sansBold12, red, teal, 2670, 1560,
                      3855, 1095},
        ControlDesign{C::Text1, Kind::TextBox, "25,356", sansBold18, purple, cyan, 3000, 1830, 3375,
                      615},
        // Feedback, centre.
        label(C::lblok1, "", sansRegular24, deepBlue, 2400, 1560, 5655, 1455),
        label(C::lblok2, "", sansRegular24, black, 2400, 1560, 5655, 1455),
        label(C::lblok, "", sansRegular24, std::nullopt, 2190, 1590, 6015, 1575),
        // Level buttons, left: one rectangle for the three.
        button(C::Command1, "Approssima ai decimi", sansBold13, lightCyan, 120, 2280, 2415, 1455,
               true),
        button(C::Command2, "Approssima ai centesimi", sansBold13, yellow, 120, 2280, 2415, 1455,
               true),
        button(C::Command3, "Approssima ai millesimi", sansBold13, purple, 120, 2280, 2415, 1455,
               true),
        // Other buttons.
        button(C::cmdini, "Inizio", std::nullopt, green, 3360, 3120, 2535, 1095, true),
        button(C::cmdexit, "Esci", std::nullopt, red, 6720, 2280, 2415, 1455, true),
        button(C::Command4, "Esatto", std::nullopt, green, 8070, 240, 1095, 855, true),
        button(C::Command5, "Sbagliato", std::nullopt, darkRed, 8040, 240, 1095, 855, true),
        // Player's answer, lower centre.
        ControlDesign{C::Frame3, Kind::Frame, "Inserisci la tua approssimazione", sansRegular13,
                      std::nullopt, cyan, 2520, 4560, 4575, 1455},
        ControlDesign{C::txtmio, Kind::TextBox, "", sansBold24, white, purple, 2880, 5040, 3855,
                      735},
        // Challenger, left middle.
        label(C::Label5, "Sfidante", Font{"Times New Roman", 15.75, true}, magenta, 120, 3840, 1215,
              375),
        label(C::lblnome1, "", Font{"MS Serif", 13.5, true}, red, 1560, 3840, 135, 375),
        // Score, bottom.
        label(C::Label1, "Risposte esatte", sansBold18, green, 120, 6120, 3135, 495),
        label(C::Label2, "Risposte errate", sansBold18, red, 6000, 6120, 3135, 495),
        label(C::lblScore, "0", timesBold36, green, 1440, 6720, 615, 975),
        label(C::lblScore1, "0", timesBold36, red, 7440, 6720, 615, 975),
        // Standing record, bottom line.
        label(C::Label4, "Il record è di", sansBold13, magenta, 150, 7950, 2055, 495),
        label(C::lblnome, ".", sansBold13, magenta, 2310, 7950, 1575, 495),
        label(C::Label3, "con punti", sansBold13, magenta, 6390, 7950, 1575, 375),
        label(C::lblpunti, ".", sansBold13, green, 8070, 7950, 1095, 375),
    };

    auto at = [&d](C c) -> ControlDesign& {
        for (auto& x : d) {
            if (x.control == c)
                return x;
        }
        throw std::logic_error("control missing from the design");
    };

    at(C::lblconto).bordered = true;
    at(C::Text2).enabled = false;
    at(C::Text2).centred = true;
    at(C::Text2).toolTip = "Cancella il vecchio numero ed inserisci il nuovo";
    at(C::Text2).accessibleName = "Numero da approssimare";
    at(C::cmdcasual).accessibleName = "Nuovo numero";
    at(C::cmdcasual).toolTip = {};
    for (C c : {C::Frame1, C::Text1}) {
        at(c).visible = false;
        at(c).keptHidden = true;
    }
    for (C c : {C::lblok1, C::lblok2, C::lblok})
        at(c).centred = true;
    at(C::lblok).feedback = Feedback::message;
    at(C::lblok1).feedback = Feedback::repeat;
    at(C::lblok2).feedback = Feedback::repeat;
    at(C::Command1).toolTip = "Clicca su di me per approssimare ai decimi";
    at(C::Command2).toolTip = "Clicca su di me per approssimare ai centesimi";
    at(C::Command3).toolTip = "Clicca su di me per approssimare ai millesimi";
    at(C::txtmio).centred = true;
    at(C::txtmio).toolTip = "Se il valore inserito è sbagliato non ti sarà dato il nuovo numero";
    at(C::txtmio).accessibleName = "La tua approssimazione";
    for (C c : {C::Label5, C::lblnome1}) {
        at(c).centred = true;
        at(c).sizesItself = true;
    }
    for (C c : {C::Label1, C::Label2}) {
        at(c).bordered = true;
        at(c).centred = true;
    }
    for (C c : {C::lblScore, C::lblScore1}) {
        at(c).bordered = true;
        at(c).centred = true;
        at(c).sizesItself = true;
    }
    at(C::lblScore).toolTip = "Questo è il tuo punteggio. Forza con il  record";
    at(C::lblScore).meaning = C::Label1;
    at(C::lblScore1).meaning = C::Label2;
    at(C::lblconto).meaning = C::tempo;
    return d;
}

const std::array<ControlDesign, allControls.size()> design = makeDesign();

constexpr std::array tabs{
    C::cmdexit,     C::Command5,  C::Command4, C::txtmio,   C::cmdini,
    C::cmdverifica, C::cmdcasual, C::Command2, C::Command1, C::Command3,
};

constexpr WindowDesign window{"Gioca con le Cifrelle", 9345, 8595, darkBlue, 1000, "client"};

constexpr std::array<MenuItemDesign, 2> copyItems{{
    {"scuola", "Questo programma è freeware"},
    {"aut", "Gli autori si possono contattare tramite la scuola"},
}};
constexpr std::array<MenuItemDesign, 1> icItems{{
    {"ic", "Una scuola italiana, per i suoi alunni"},
}};
constexpr std::array<MenuDesign, 4> menus{{
    {"copy", "Realizzato da insegnanti per i loro alunni", copyItems},
    {"record", "Record", {}},
    {"help", "Help", {}},
    {"ic1", "Il sito della scuola", icItems},
}};

} // namespace

std::span<const ControlDesign> formDesign()
{
    return design;
}

const ControlDesign& designOf(Control control)
{
    for (const auto& d : design) {
        if (d.control == control)
            return d;
    }
    throw std::logic_error("control missing from the design");
}

std::span<const ClockColour> clockColours()
{
    return clock;
}

std::span<const Control> tabOrder()
{
    return tabs;
}

const WindowDesign& windowDesign()
{
    return window;
}

std::span<const MenuDesign> menuDesign()
{
    return menus;
}

} // namespace cifrelle::ui
