// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/ui/fake/fakeui.h"

#include "cifrelle/ui/formdesign.h"

namespace cifrelle::ui {

FakeUi::FakeUi()
{
    for (const ControlDesign& d : formDesign())
        controls_[d.control] = ControlState{std::string(d.caption), d.visible, d.foreColor};
    timerEnabled_ = true;
}

void FakeUi::record(std::string line)
{
    if (endCount_ > 0)
        ++afterEnd_;
    log_.push_back(std::move(line));
}

const FakeUi::ControlState& FakeUi::state(Control control) const
{
    return controls_.at(control);
}

std::string FakeUi::text(Control control) const
{
    return state(control).text;
}

void FakeUi::setText(Control control, const std::string& text)
{
    record("setText " + std::string(controlName(control)) + " " + text);
    controls_[control].text = text;
}

std::string FakeUi::caption(Control control) const
{
    return state(control).text;
}

void FakeUi::setCaption(Control control, const std::string& caption)
{
    record("setCaption " + std::string(controlName(control)) + " " + caption);
    controls_[control].text = caption;
}

void FakeUi::setVisible(Control control, bool visible)
{
    record("setVisible " + std::string(controlName(control)) + (visible ? " 1" : " 0"));
    controls_[control].visible = visible;
}

void FakeUi::setForeColor(Control control, Colour colour)
{
    record("setForeColor " + std::string(controlName(control)) + " " + std::to_string(colour));
    controls_[control].foreColor = colour;
}

void FakeUi::setFocus(Control control)
{
    record("setFocus " + std::string(controlName(control)));
    focus_ = control;
}

void FakeUi::setTimerEnabled(bool enabled)
{
    record(enabled ? "timer on" : "timer off");
    timerEnabled_ = enabled;
}

void FakeUi::messageBox(const std::string& prompt, BoxStyle style,
                        const std::optional<std::string>& title)
{
    record("messageBox " + prompt);
    boxes_.push_back(Box{prompt, style, title});
    if (duringMessageBox)
        duringMessageBox(boxes_.back());
}

void FakeUi::doEvents()
{
    record("doEvents");
    if (duringDoEvents)
        duringDoEvents();
}

void FakeUi::showNotice(const std::string& text)
{
    record("notice " + text);
    notices_.push_back(text);
    noticeShown_ = true;
}

void FakeUi::hideNotice()
{
    record("notice off");
    noticeShown_ = false;
    wayOut_.reset();
}

void FakeUi::offerWayOut(const std::string& caption)
{
    record("wayOut " + caption);
    wayOut_ = caption;
    if (takeWayOutWhenOffered)
        wayOutTaken_ = true;
}

std::string FakeUi::inputBox(const std::string& prompt, const std::string& title)
{
    record("inputBox " + prompt);
    inputs_.push_back(InputRequest{prompt, title});
    if (duringInputBox)
        duringInputBox(inputs_.back());
    if (answers_.empty())
        return {};
    std::optional<std::string> answer = std::move(answers_.front());
    answers_.pop_front();
    return answer.value_or(std::string{});
}

void FakeUi::announce(const std::string& text)
{
    record("announce " + text);
    announcements_.push_back(text);
}

void FakeUi::end()
{
    record("end");
    ++endCount_;
}

void FakeUi::type(Control control, const std::string& text)
{
    controls_[control].text = text;
}

} // namespace cifrelle::ui
