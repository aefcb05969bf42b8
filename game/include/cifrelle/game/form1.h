#pragma once

#include "cifrelle/clock/countdown.h"
#include "cifrelle/game/random.h"
#include "cifrelle/records/recordfiles.h"
#include "cifrelle/ui/ui.h"

#include <cstdint>
#include <optional>
#include <string>

namespace cifrelle::game {

// The game window's state and its handlers, written against the toolkit
// interface only. Handlers call one another as plain procedures, exactly as
// the events would.
class Form1 {
public:
    Form1(ui::Ui& ui, RandomSource& random, TimeSource& time, records::RecordFiles& files);

    // Events.
    void Form_Load();
    void Form_Activate();
    void cmdini_Click();
    void cmdcasual_Click();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void cmdverifica_Click();
    void txtmio_KeyPress(std::int16_t& KeyAscii);
    void Text1_Change();
    void Timer1_Timer();
    void cmdexit_Click();
    void help_Click();
    void record_Click();

    // Procedures.
    void Avviaconto();
    std::string Leggifiletxt(const std::string& nomefile);

    // What the screen reader says when the player asks where the focus is
    // (in the answer box): the exercise and the time left.
    std::string whereAmI() const;

    // True once the program has been ended: every handler then does nothing.
    bool ended() const { return ended_; }

    // The game's variables, 0 or empty when the window is created.
    std::string riga;
    clock::Countdown conto; // ore, minuti, secondi
    std::string cartella;
    std::int16_t numfile = 0;
    std::string numero;
    float arrotondato = 0.0f;
    std::int16_t sbagliate = 0;
    std::int16_t esatte = 0;

private:
    void keyLevel(int decimals);
    std::string exerciseText() const;

    ui::Ui& ui_;
    RandomSource& random_;
    TimeSource& time_;
    records::RecordFiles& files_;
    bool ended_ = false;
    bool inGameEnd_ = false;
    // The level of the last keyed exercise (1 to 3), 0 before the first.
    int livello_ = 0;
    // While an answer is checked, the new exercise is announced together
    // with the outcome, not on its own.
    bool checking_ = false;
    std::optional<std::string> recordProblem_;
};

} // namespace cifrelle::game
