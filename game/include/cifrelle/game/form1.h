// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cifrelle/clock/countdown.h"
#include "cifrelle/game/random.h"
#include "cifrelle/records/recordfiles.h"
#include "cifrelle/ui/form1events.h"
#include "cifrelle/ui/ui.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace cifrelle::game {

// The game window's state and its handlers, written against the toolkit
// interface only. The window raises its events straight on these handlers;
// handlers call one another as plain procedures, exactly as the events would.
class Form1 final : public ui::Form1Events {
public:
    Form1(ui::Ui& ui, RandomSource& random, TimeSource& time, records::RecordFiles& files);

    // Start-up, which the program runs before it shows the window.
    void Form_Load();

    // Events.
    void Form_Activate() override;
    void cmdini_Click() override;
    void cmdcasual_Click() override;
    void Command1_Click() override;
    void Command2_Click() override;
    void Command3_Click() override;
    void cmdverifica_Click() override;
    void txtmio_KeyPress(std::int16_t& KeyAscii) override;
    void Timer1_Timer() override;
    void cmdexit_Click() override;
    void help_Click() override;
    void record_Click() override;

    // Procedures.
    void Avviaconto();
    std::string Leggifiletxt(const std::filesystem::path& nomefile);

    // What the screen reader says when the player asks where the focus is
    // (in the answer box): the exercise and the time left.
    std::string whereAmI() const;

    // True once the program has been ended: every handler then does nothing.
    bool ended() const { return ended_; }

    // The game's variables, 0 or empty when the window is created. The
    // record files' folder, file number and line read (cartella, numfile,
    // riga) are kept by records::RecordFiles, which opens, reads and closes
    // the files itself.
    clock::Countdown conto; // ore, minuti, secondi
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
