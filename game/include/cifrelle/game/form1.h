// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cifrelle/clock/countdown.h"
#include "cifrelle/game/gameend.h"
#include "cifrelle/game/random.h"
#include "cifrelle/records/recordfiles.h"
#include "cifrelle/ui/form1events.h"
#include "cifrelle/ui/ui.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

namespace cifrelle::game {

// The game window's state and its handlers, written against the toolkit
// interface only. The game's state lives here: the number shown, the answer
// key, the level, the counts, the player's name, the record read at start
// and the time left. The window is written from it and never read back to
// decide anything (but the answer the player types in txtmio). The window
// raises its events through Form1Events::raise, which lets them reach these
// handlers only while the game takes events; handlers call one another
// directly, as plain procedures, exactly as the events would.
class Form1 final : public ui::Form1Events {
public:
    Form1(ui::Ui& ui, RandomSource& random, TimeSource& time, records::RecordStore& files);

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
    void Form_Unload(ui::UnloadMode UnloadMode) override;
    void help_Click() override;
    void record_Click() override;

    // False from the moment the game end begins: nothing the player does
    // counts any more, and the clock stands still.
    bool takesEvents() const override { return !ended_; }

    // How long the game end waits for another game's save before its notice
    // and then before its way out: the game's times unless a test build
    // shortens them.
    void setSavingWaits(const SavingWaits& waits) { savingWaits_ = waits; }

    // The account and the computer the teacher's register names: the
    // system's (asked at the game's end, not at its start), unless a test
    // tool says others.
    void setPlayedBy(std::string account, std::string computer)
    {
        account_ = std::move(account);
        computer_ = std::move(computer);
    }

    // What the screen reader says when the player asks where the focus is
    // (in the answer box): the exercise and the time left.
    std::string whereAmI() const;

    // The game's variables that tests look at.
    const std::string& numero() const { return numero_; }
    std::int16_t esatte() const { return esatte_; }
    std::int16_t sbagliate() const { return sbagliate_; }

private:
    // Procedures.
    void Avviaconto();
    std::string Leggifiletxt(const std::filesystem::path& nomefile);

    // Round set-up.
    std::int16_t drawLevel();
    bool ruledOutByPreviousNumber(std::int16_t livello) const;
    void showLevel(std::int16_t livello);
    void keyLevel(int decimals);

    // The answer check.
    void hideVerdict();
    void countRight();
    // The one place where a wrong answer is counted, with its kind.
    void countWrong(const std::string& risposta);
    void showPraise();
    void showWarning();
    void showCounts();
    void announceVerdict(bool right);

    // The clock.
    void showClock();

    // The game end, ended now as `ending` says.
    void endGame(records::GameEnding ending);
    // This game as the teacher's register keeps it, ended now as `ending`
    // says.
    records::GameSummary summary(records::GameEnding ending) const;

    std::string exerciseText() const;

    ui::Ui& ui_;
    RandomSource& random_;
    TimeSource& time_;
    records::RecordStore& files_;

    // The game's variables, 0 or empty when the window is created. The
    // record files' folder, file number and line read (cartella, numfile,
    // riga) are kept by records::RecordFiles, which opens, reads and closes
    // the files itself.
    clock::Countdown conto_; // ore, minuti, secondi
    std::string nome_;       // the player's name, as typed
    std::string numero_;     // the number of the exercise last keyed
    float arrotondato_ = 0.0f;
    std::int16_t sbagliate_ = 0;
    std::int16_t esatte_ = 0;
    // What Text2 and the hidden Text1 show: the number drawn last and the
    // answer key, as the window is created until the first exercise.
    std::string mostrato_;
    std::string chiave_;
    // The level of the last keyed exercise (1 to 3), 0 before the first.
    int livello_ = 0;
    // The record as start-up read it (the score file's and the name file's
    // content), shown by lblpunti and lblnome and by the "Record" entry.
    std::string recordPunti_;
    std::string recordNome_;
    // The answers per level (tenths, hundredths, thousandths), for the
    // teacher's register.
    std::array<int, 3> rightByLevel_{};
    std::array<int, 3> wrongByLevel_{};
    // The wrong answers by kind, and who played where.
    std::array<int, records::mistakeKinds> wrongByKind_{};
    std::string account_;  // empty: the system's
    std::string computer_; // empty: the system's
    // Set by the tick that finds the clock at zero, before the game end.
    bool timeUp_ = false;

    bool ended_ = false;
    // While an answer is checked, the new exercise is announced together
    // with the outcome, not on its own.
    bool checking_ = false;
    std::optional<std::string> recordProblem_;
    SavingWaits savingWaits_;
};

} // namespace cifrelle::game
