// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cifrelle/ui/ui.h"

#include <functional>
#include <map>

class QString;
class QTimer;
class QWidget;

namespace cifrelle::ui {

// The toolkit operations on a real Qt window. The controls are found by
// their objectName below `window`, the one-second timer is the QTimer named
// "Timer1" below it.
class QtUi : public Ui {
public:
    explicit QtUi(QWidget* window);

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
    std::string inputBox(const std::string& prompt, const std::string& title) override;
    void announce(const std::string& text) override;
    void end() override;

    // What end() does. By default it flushes the standard streams and
    // terminates the process at once with status 0; tests put a recorder in
    // its place.
    void setEndAction(std::function<void()> action) { endAction_ = std::move(action); }

    QWidget* widget(Control control) const;

    // Whether a message is too long for an ordinary box; such a message is
    // shown whole in a box of bounded size that scrolls.
    static bool isTooLongForABox(const QString& text);

private:
    void showScrollingBox(int icon, const QString& caption, const QString& text);

    QWidget* window_;
    QTimer* timer_;
    std::map<Control, QWidget*> widgets_;
    std::function<void()> endAction_;
};

} // namespace cifrelle::ui
