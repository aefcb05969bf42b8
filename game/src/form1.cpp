// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/game/form1.h"

#include "cifrelle/game/answerkey.h"
#include "cifrelle/game/gameend.h"
#include "cifrelle/game/menus.h"
#include "cifrelle/game/mistake.h"
#include "cifrelle/numtext/numtext.h"
#include "cifrelle/records/account.h"

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

// The clock's colour from the start of each stage on: green, then cyan, then
// red to the end (yellow, as designed, before the first). The last minute
// keeps its red.
std::optional<ui::Colour> clockColour(clock::Stage stage)
{
    switch (stage) {
    case clock::Stage::thirteenMinutesLeft: return colours::green;
    case clock::Stage::tenMinutesLeft: return colours::cyan;
    case clock::Stage::fiveMinutesLeft: return colours::red;
    case clock::Stage::lastMinute: break;
    }
    return std::nullopt;
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
    : ui_(ui), random_(random), time_(time), files_(files)
{
}

void Form1::Form_Load()
{
    ui_.setVisible(Control::Command4, false);
    ui_.setVisible(Control::Command5, false);
    random_.reseed(time_.secondsSinceMidnight());
    ui_.setTimerEnabled(false);

    nome_ = ui_.inputBox("Come ti chiami?", nameTitle);
    ui_.messageBox(" " + nome_ + " vediamo se sei un vero campione  ", BoxStyle::Plain, nameTitle);
    ui_.setCaption(Control::lblnome1, nome_);

    Avviaconto();

    recordProblem_ = files_.ensure();
    ui_.setCaption(Control::lblpunti, Leggifiletxt(files_.scorePath()));
    ui_.setCaption(Control::lblnome, Leggifiletxt(files_.namePath()));
    ui_.setCaption(Control::lblconto, conto_.text());

    if (recordProblem_) {
        // The game is played all the same, with an empty record; the clock
        // waits while the player reads why.
        ui_.setCaption(Control::lblpunti, "");
        ui_.setCaption(Control::lblnome, "");
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

    switch (livello) {
    case 1:
        ui_.setVisible(Control::Command2, false);
        ui_.setVisible(Control::Command3, false);
        Command1_Click();
        break;
    case 2:
        ui_.setVisible(Control::Command1, false);
        ui_.setVisible(Control::Command3, false);
        Command2_Click();
        break;
    default:
        ui_.setVisible(Control::Command2, false);
        ui_.setVisible(Control::Command1, false);
        Command3_Click();
        break;
    }
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

void Form1::cmdcasual_Click()
{
    ui_.setText(Control::Text1, "");
    random_.reseed(time_.secondsSinceMidnight());
    const float x = random_.next() * 100.0f;
    ui_.setText(Control::Text2, numtext::singleText(x));
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

void Form1::keyLevel(int decimals)
{
    numero_ = ui_.text(Control::Text2);
    try {
        const AnswerKey k = answerKey(numero_, decimals);
        arrotondato_ = k.arrotondato;
        ui_.setText(Control::Text1, k.key);
    } catch (const numtext::NumberFormatError&) {
        // Only a drawn number is ever shown; should anything else be there,
        // no key can be right for it.
        arrotondato_ = 0.0f;
        ui_.setText(Control::Text1, "");
    }
    ui_.setFocus(Control::txtmio);
    livello_ = decimals;
    if (!checking_)
        ui_.announce(exerciseText());
}

std::string Form1::exerciseText() const
{
    const Control button = livello_ == 1   ? Control::Command1
                           : livello_ == 2 ? Control::Command2
                                           : Control::Command3;
    return ui_.caption(button) + ": " + spokenNumber(ui_.text(Control::Text2));
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

void Form1::cmdverifica_Click()
{
    ui_.setVisible(Control::Command5, false);
    ui_.setVisible(Control::Command4, false);
    ui_.setVisible(Control::lblok1, false);
    ui_.setVisible(Control::lblok2, false);

    const bool right = ui_.text(Control::txtmio) == ui_.text(Control::Text1);
    if (livello_ != 0)
        ++(right ? rightByLevel_ : wrongByLevel_)[livello_ - 1];
    if (!right) {
        if (sbagliate_ < std::numeric_limits<std::int16_t>::max())
            ++wrongByKind_[static_cast<int>(
                mistakeOf(numero_, livello_, ui_.text(Control::Text1), ui_.text(Control::txtmio)))];
        countOne(sbagliate_);
        ui_.setForeColor(Control::lblok, colours::red);
        ui_.setCaption(Control::lblok, wrongText);
        ui_.setVisible(Control::Command5, true);
        ui_.setFocus(Control::txtmio);
    } else {
        countOne(esatte_);
        ui_.setVisible(Control::lblok2, true);
        ui_.setVisible(Control::lblok1, true);
        ui_.setForeColor(Control::lblok2, colours::green);
        ui_.setForeColor(Control::lblok1, colours::red);
        ui_.setForeColor(Control::lblok, colours::white);
        ui_.setCaption(Control::lblok1, rightText);
        ui_.setCaption(Control::lblok2, rightText);
        ui_.setCaption(Control::lblok, rightText);
        ui_.setVisible(Control::Command4, true);
        checking_ = true;
        cmdini_Click();
        checking_ = false;
    }
    ui_.setCaption(Control::lblScore1, numtext::integerText(sbagliate_));
    ui_.setCaption(Control::lblScore, numtext::integerText(esatte_));
    // One utterance: the outcome, the counts and, after a right answer, the
    // new exercise.
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

void Form1::Timer1_Timer()
{
    if (ui_.caption(Control::lblconto) == clock::zeroText) {
        timeUp_ = true;
        cmdexit_Click();
        return;
    }
    conto_.countDown();
    ui_.setCaption(Control::lblconto, conto_.text());
    if (const auto stage = clock::stageStartingAt(ui_.caption(Control::lblconto))) {
        if (const auto colour = clockColour(*stage))
            ui_.setForeColor(Control::lblconto, *colour);
        ui_.announce("Tempo restante " + minutesText(conto_.minuti + 60 * conto_.ore));
    }
}

void Form1::cmdexit_Click()
{
    // From here on the window's events reach no handler: no answer is
    // checked, no exercise drawn, no tick counted, no second "Esci" taken,
    // so the score on the screen is the one saved.
    ended_ = true;
    gameEnd(ui_, files_, summary(timeUp_ ? records::GameEnding::TimeUp : records::GameEnding::Exit),
            recordProblem_, savingWaits_);
}

void Form1::Form_Unload()
{
    // A window closed from its title bar saves no record; only the
    // teacher's register, when the school keeps it, hears of the game.
    if (!files_.keepsRegister())
        return;
    ended_ = true;
    gameEnd(ui_, files_, summary(records::GameEnding::WindowClosed), recordProblem_, savingWaits_);
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
    const int left = conto_.ore * 3600 + conto_.minuti * 60 + static_cast<int>(conto_.secondi);
    game.secondsPlayed = std::max(0, clock::gameSeconds - left);
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
    showRecord(ui_);
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
