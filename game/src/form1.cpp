// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/game/form1.h"

#include "cifrelle/game/answerkey.h"
#include "cifrelle/game/gameend.h"
#include "cifrelle/game/menus.h"
#include "cifrelle/game/mistake.h"
#include "cifrelle/numtext/numtext.h"
#include "cifrelle/records/account.h"
#include "cifrelle/ui/formdesign.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace cifrelle::game {

using ui::BoxStyle;
using ui::Control;
namespace colours = ui::colours;

namespace {

constexpr const char* nameTitle = "Impariamo ad approssimare";
constexpr const char* rightText = "Sei veramente ok";
constexpr const char* wrongText = "Fai attenzione";

// Counts one more answer. A counter at its limit stays there: the game goes
// on and the answer is still judged.
void countOne(std::int16_t& counter)
{
    if (counter < std::numeric_limits<std::int16_t>::max())
        ++counter;
}

// The time left is told at each change of the clock's colour and when one
// minute is left.
constexpr int lastMinuteSeconds = 60;

// The colour the clock takes when the time left becomes `secondsLeft`:
// nothing when no colour starts then.
std::optional<ui::Colour> clockColourFrom(int secondsLeft)
{
    for (const ui::ClockColour& row : ui::clockColours()) {
        if (row.minutesLeft * 60 == secondsLeft)
            return row.colour;
    }
    return std::nullopt;
}

Control levelButton(int livello)
{
    return livello == 1 ? Control::Command1 : livello == 2 ? Control::Command2 : Control::Command3;
}

// A number as the screen reader should say it: the whole part as a
// number, then every decimal as a digit of its own, so that no voice reads
// the decimals as one large number ("84,43892" is said "84 virgola 4 3 8 9
// 2").
std::string spokenNumber(const std::string& text)
{
    const std::size_t comma = text.find(',');
    if (comma == std::string::npos)
        return text;
    std::string said = text.substr(0, comma) + " virgola";
    for (std::size_t i = comma + 1; i < text.size(); ++i) {
        said += ' ';
        said += text[i];
    }
    return said;
}

std::string minutesText(int minutes)
{
    return std::to_string(minutes) + (minutes == 1 ? " minuto" : " minuti");
}

// Length in characters of a UTF-8 text.
std::size_t characters(const std::string& text)
{
    std::size_t n = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80)
            ++n;
    }
    return n;
}

} // namespace

Form1::Form1(ui::Ui& ui, RandomSource& random, TimeSource& time, records::RecordStore& files)
    : ui_(ui), random_(random), time_(time), files_(files),
      mostrato_(ui::designOf(Control::Text2).caption), chiave_(ui::designOf(Control::Text1).caption)
{
}

// Before the window is shown. Its controls are written only once the name
// is given: the name box comes up with nothing of the window made.
void Form1::Form_Load()
{
    random_.reseed(time_.secondsSinceMidnight());
    ui_.setTimerEnabled(false);

    nome_ = ui_.inputBox("Come ti chiami?", nameTitle);
    ui_.messageBox(" " + nome_ + " vediamo se sei un vero campione  ", BoxStyle::Plain, nameTitle);
    ui_.setVisible(Control::Command4, false);
    ui_.setVisible(Control::Command5, false);
    ui_.setCaption(Control::lblnome1, nome_);

    Avviaconto();

    recordProblem_ = files_.ensure();
    recordPunti_ = Leggifiletxt(files_.scorePath());
    recordNome_ = Leggifiletxt(files_.namePath());
    // The game is played all the same, with an empty record, when the
    // record cannot be kept.
    if (recordProblem_) {
        recordPunti_.clear();
        recordNome_.clear();
    }
    ui_.setCaption(Control::lblpunti, recordPunti_);
    ui_.setCaption(Control::lblnome, recordNome_);
    ui_.setCaption(Control::lblconto, conto_.text());

    if (recordProblem_) {
        // The clock waits while the player reads why.
        ui_.setTimerEnabled(false);
        ui_.messageBox(*recordProblem_ + " Puoi giocare lo stesso.", BoxStyle::Warning);
        ui_.setTimerEnabled(true);
    }
}

void Form1::Form_Activate()
{
    cmdini_Click();
}

void Form1::cmdini_Click()
{
    ui_.setVisible(Control::Command1, true);
    ui_.setVisible(Control::Command2, true);
    ui_.setVisible(Control::Command3, true);
    ui_.setText(Control::txtmio, "");
    cmdcasual_Click();

    std::int16_t livello = 0;
    do
        livello = drawLevel();
    while (ruledOutByPreviousNumber(livello));

    showLevel(livello);
    keyLevel(livello);
    ui_.setVisible(Control::cmdini, false);
}

// 1, 2 or 3, from the generator reseeded with the time of day (a seed the
// clock has not moved still gives a new value, so re-draws come to an end).
std::int16_t Form1::drawLevel()
{
    random_.reseed(time_.secondsSinceMidnight());
    const float r = random_.next();
    return static_cast<std::int16_t>(numtext::storeWhole(std::floor(r * 3.0f)) + 1);
}

// The level re-draw rule: a level equal to the length of numero is drawn
// again. numero still holds the previous exercise (the new one is keyed after
// the draw): a previous "5", "12" or "4,6" rules out tenths, hundredths or
// thousandths.
bool Form1::ruledOutByPreviousNumber(std::int16_t livello) const
{
    return characters(numero_) == static_cast<std::size_t>(livello);
}

// Leaves the level's button alone on the screen, hiding the other two.
void Form1::showLevel(std::int16_t livello)
{
    switch (livello) {
    case 1:
        ui_.setVisible(Control::Command2, false);
        ui_.setVisible(Control::Command3, false);
        break;
    case 2:
        ui_.setVisible(Control::Command1, false);
        ui_.setVisible(Control::Command3, false);
        break;
    default:
        ui_.setVisible(Control::Command2, false);
        ui_.setVisible(Control::Command1, false);
        break;
    }
}

void Form1::cmdcasual_Click()
{
    chiave_.clear();
    ui_.setText(Control::Text1, chiave_);
    random_.reseed(time_.secondsSinceMidnight());
    mostrato_ = numtext::singleText(random_.next() * 100.0f);
    ui_.setText(Control::Text2, mostrato_);
    ui_.setVisible(Control::cmdini, true);
    ui_.setFocus(Control::cmdini);
}

void Form1::Command1_Click()
{
    keyLevel(1);
}

void Form1::Command2_Click()
{
    keyLevel(2);
}

void Form1::Command3_Click()
{
    keyLevel(3);
}

// The key of the number shown, at the level of `decimals` decimals.
void Form1::keyLevel(int decimals)
{
    numero_ = mostrato_;
    try {
        const AnswerKey k = answerKey(numero_, decimals);
        arrotondato_ = k.arrotondato;
        chiave_ = k.key;
    } catch (const numtext::NumberFormatError&) {
        // Only a drawn number is ever shown; should anything else be there,
        // no key can be right for it.
        arrotondato_ = 0.0f;
        chiave_.clear();
    }
    ui_.setText(Control::Text1, chiave_);
    ui_.setFocus(Control::txtmio);
    livello_ = decimals;
    if (!checking_)
        ui_.announce(exerciseText());
}

std::string Form1::exerciseText() const
{
    return std::string(ui::designOf(levelButton(livello_)).caption) + ": " +
           spokenNumber(mostrato_);
}

std::string Form1::whereAmI() const
{
    std::string said;
    if (livello_ != 0)
        said = exerciseText() + ". ";
    said += "Tempo restante " + minutesText(conto_.minuti + 60 * conto_.ore);
    const int seconds = static_cast<int>(conto_.secondi);
    if (seconds != 0)
        said += " e " + std::to_string(seconds) + (seconds == 1 ? " secondo" : " secondi");
    return said;
}

// The answer typed is compared, as exact text, with the key: a right answer
// counts, is praised and brings the next exercise; a wrong one counts, is
// warned of and leaves the exercise open.
void Form1::cmdverifica_Click()
{
    hideVerdict();
    const std::string risposta = ui_.text(Control::txtmio);
    const bool right = risposta == chiave_;
    if (right) {
        countRight();
        showPraise();
        checking_ = true;
        cmdini_Click();
        checking_ = false;
    } else {
        countWrong(risposta);
        showWarning();
    }
    showCounts();
    announceVerdict(right);
}

void Form1::hideVerdict()
{
    ui_.setVisible(Control::Command5, false);
    ui_.setVisible(Control::Command4, false);
    ui_.setVisible(Control::lblok1, false);
    ui_.setVisible(Control::lblok2, false);
}

void Form1::countRight()
{
    if (livello_ != 0)
        ++rightByLevel_[livello_ - 1];
    countOne(esatte_);
}

void Form1::countWrong(const std::string& risposta)
{
    if (livello_ != 0)
        ++wrongByLevel_[livello_ - 1];
    // Its kind is counted only with the wrong answer itself (not when the
    // count overflows).
    if (sbagliate_ < std::numeric_limits<std::int16_t>::max())
        ++wrongByKind_[static_cast<int>(mistakeOf(numero_, livello_, chiave_, risposta))];
    countOne(sbagliate_);
}

void Form1::showPraise()
{
    ui_.setVisible(Control::lblok2, true);
    ui_.setVisible(Control::lblok1, true);
    ui_.setForeColor(Control::lblok2, colours::green);
    ui_.setForeColor(Control::lblok1, colours::red);
    ui_.setForeColor(Control::lblok, colours::white);
    ui_.setCaption(Control::lblok1, rightText);
    ui_.setCaption(Control::lblok2, rightText);
    ui_.setCaption(Control::lblok, rightText);
    ui_.setVisible(Control::Command4, true);
}

void Form1::showWarning()
{
    ui_.setForeColor(Control::lblok, colours::red);
    ui_.setCaption(Control::lblok, wrongText);
    ui_.setVisible(Control::Command5, true);
    ui_.setFocus(Control::txtmio);
}

void Form1::showCounts()
{
    ui_.setCaption(Control::lblScore1, numtext::integerText(sbagliate_));
    ui_.setCaption(Control::lblScore, numtext::integerText(esatte_));
}

// One utterance: the outcome, the counts and, after a right answer, the new
// exercise.
void Form1::announceVerdict(bool right)
{
    std::string said = right ? rightText : wrongText;
    said += ". Risposte esatte ";
    said += numtext::integerText(esatte_);
    said += ", errate ";
    said += numtext::integerText(sbagliate_);
    said += '.';
    if (right) {
        said += ' ';
        said += exerciseText();
    }
    ui_.announce(said);
}

void Form1::txtmio_KeyPress(std::int16_t& KeyAscii)
{
    if (KeyAscii == 13)
        cmdverifica_Click();
}

void Form1::Avviaconto()
{
    ui_.setTimerEnabled(true);
    conto_.start();
    ui_.setCaption(Control::lblconto, conto_.text());
}

// One tick: the tick after the clock reached zero ends the game; any other
// takes a second off.
void Form1::Timer1_Timer()
{
    if (conto_.atZero()) {
        timeUp_ = true;
        cmdexit_Click();
        return;
    }
    conto_.countDown();
    showClock();
}

// The time left on the clock, in its colour from the time a colour starts,
// and told to the screen reader then and in the last minute.
void Form1::showClock()
{
    ui_.setCaption(Control::lblconto, conto_.text());
    const int left = conto_.secondsLeft();
    const std::optional<ui::Colour> colour = clockColourFrom(left);
    if (colour)
        ui_.setForeColor(Control::lblconto, *colour);
    if (colour || left == lastMinuteSeconds)
        ui_.announce("Tempo restante " + minutesText(conto_.minuti + 60 * conto_.ore));
}

void Form1::cmdexit_Click()
{
    endGame(timeUp_ ? records::GameEnding::TimeUp : records::GameEnding::Exit);
}

void Form1::Form_Unload(ui::UnloadMode UnloadMode)
{
    const bool session = UnloadMode == ui::UnloadMode::SessionEnded;
    // While the game's end is under way, a window closed is its way out
    // (the window sees to it); a session that ends ends the program now.
    if (ended_) {
        if (session)
            ui_.end();
        return;
    }
    // A window closed, or a game the session ended, saves no record; only
    // the teacher's register, when the school keeps it, hears of the game.
    if (!files_.keepsRegister()) {
        ended_ = true;
        ui_.end();
        return;
    }
    endGame(session ? records::GameEnding::SessionClosed : records::GameEnding::WindowClosed);
}

void Form1::endGame(records::GameEnding ending)
{
    // From here on the window's events reach no handler: no answer is
    // checked, no exercise drawn, no tick counted, no second "Esci" taken,
    // so the score on the screen is the one saved.
    ended_ = true;
    gameEnd(ui_, files_, summary(ending), recordProblem_, savingWaits_);
}

records::GameSummary Form1::summary(records::GameEnding ending) const
{
    const std::tm now = time_.now();
    records::GameSummary game;
    game.ended = {now.tm_year + 1900, now.tm_mon + 1, now.tm_mday,
                  now.tm_hour,        now.tm_min,     now.tm_sec};
    game.name = nome_;
    game.right = esatte_;
    game.wrong = sbagliate_;
    game.rightByLevel = rightByLevel_;
    game.wrongByLevel = wrongByLevel_;
    game.secondsPlayed = std::max(0, clock::gameSeconds - conto_.secondsLeft());
    game.ending = ending;
    game.wrongByKind = wrongByKind_;
    game.account = account_.empty() ? records::thisAccount() : account_;
    game.computer = computer_.empty() ? records::thisComputer() : computer_;
    return game;
}

void Form1::help_Click()
{
    showHelp(ui_, [this] { return takesEvents(); });
}

void Form1::record_Click()
{
    showRecord(ui_, recordNome_, recordPunti_);
}

std::string Form1::Leggifiletxt(const std::filesystem::path& nomefile)
{
    std::optional<std::string> content = files_.read(nomefile);
    if (!content) {
        if (!recordProblem_)
            recordProblem_ =
                "Il record non potrà essere conservato: non riesco a leggere il file «" +
                records::pathText(nomefile) + "».";
        return {};
    }
    return *content;
}

} // namespace cifrelle::game
