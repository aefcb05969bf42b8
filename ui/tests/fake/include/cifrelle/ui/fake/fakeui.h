// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cifrelle/ui/ui.h"

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace cifrelle::ui {

// A scripted stand-in for the window, for tests of the game logic. It
// starts from the window's design, remembers every control's state, logs
// every operation in order, answers input boxes from a script and can run
// a callback while a modal box is open (as a timer tick would arrive).
class FakeUi : public Ui {
public:
    struct ControlState {
        std::string text;
        bool visible = true;
        std::optional<Colour> foreColor;
    };

    struct Box {
        std::string prompt;
        BoxStyle style;
        std::optional<std::string> title;
    };

    struct InputRequest {
        std::string prompt;
        std::string title;
    };

    FakeUi();

    std::string text(Control control) const override;
    void setText(Control control, const std::string& text) override;
    std::string caption(Control control) const override;
    void setCaption(Control control, const std::string& caption) override;
    void setVisible(Control control, bool visible) override;
    void setForeColor(Control control, Colour colour) override;
    void setFocus(Control control) override;
    void setTimerEnabled(bool enabled) override;
    void messageBox(const std::string& prompt, BoxStyle style,
                    const std::optional<std::string>& title) override;
    void doEvents() override;
    void showNotice(const std::string& text) override;
    void hideNotice() override;
    void offerWayOut(const std::string& caption) override;
    bool wayOutTaken() const override { return wayOutTaken_; }
    std::string inputBox(const std::string& prompt, const std::string& title) override;
    void announce(const std::string& text) override;
    void end() override;

    // Inspection.
    const ControlState& state(Control control) const;
    bool visible(Control control) const { return state(control).visible; }
    std::optional<Colour> foreColor(Control control) const { return state(control).foreColor; }
    std::optional<Control> focus() const { return focus_; }
    bool timerEnabled() const { return timerEnabled_; }
    const std::vector<Box>& boxes() const { return boxes_; }
    // Every notice shown, in order, and whether one is on the window now.
    const std::vector<std::string>& notices() const { return notices_; }
    bool noticeShown() const { return noticeShown_; }
    // The caption of the way out offered on the notice now, if any.
    const std::optional<std::string>& wayOut() const { return wayOut_; }
    const std::vector<InputRequest>& inputRequests() const { return inputs_; }
    // Everything announced to the screen reader, in order.
    const std::vector<std::string>& announcements() const { return announcements_; }
    int endCount() const { return endCount_; }
    bool ended() const { return endCount_ > 0; }
    // Operations asked for after end(): a real program would never get there.
    int operationsAfterEnd() const { return afterEnd_; }

    // One line per operation, e.g. "setVisible Command5 0",
    // "setCaption lblok Fai attenzione", "setFocus txtmio", "messageBox <prompt>",
    // "notice <text>", "notice off", "wayOut <caption>", "doEvents".
    const std::vector<std::string>& log() const { return log_; }
    void clearLog() { log_.clear(); }

    // Scripting. Each input box takes the next answer; std::nullopt stands
    // for Cancel. With no answer left the box is cancelled.
    void queueInput(std::optional<std::string> answer) { answers_.push_back(std::move(answer)); }
    // Called while each message box is open, before it is dismissed.
    std::function<void(const Box&)> duringMessageBox;
    // Called while each input box is open, before it is answered.
    std::function<void(const InputRequest&)> duringInputBox;
    // Called at each doEvents(), as the events the window handles then.
    std::function<void()> duringDoEvents;
    // The player takes the way out of a wait (presses its button, or
    // closes the window): now, or as soon as it is offered.
    void takeWayOut() { wayOutTaken_ = true; }
    bool takeWayOutWhenOffered = false;
    // Lets a test put the player's typing straight into a control, without
    // logging it as an operation of the game.
    void type(Control control, const std::string& text);

private:
    void record(std::string line);

    std::map<Control, ControlState> controls_;
    std::optional<Control> focus_;
    bool timerEnabled_ = true;
    std::vector<Box> boxes_;
    std::vector<std::string> notices_;
    bool noticeShown_ = false;
    std::optional<std::string> wayOut_;
    bool wayOutTaken_ = false;
    std::vector<InputRequest> inputs_;
    std::vector<std::string> announcements_;
    std::deque<std::optional<std::string>> answers_;
    std::vector<std::string> log_;
    int endCount_ = 0;
    int afterEnd_ = 0;
};

} // namespace cifrelle::ui
