#pragma once

#include "cifrelle/ui/control.h"
#include "cifrelle/ui/formdesign.h"

#include <QFont>
#include <QMainWindow>

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

class QAction;
class QTimer;

namespace cifrelle::app {

// The procedures the window's events run, named after the control and the
// event.
class Form1Handlers {
public:
    virtual ~Form1Handlers() = default;

    virtual void Form_Activate() = 0;
    virtual void cmdini_Click() = 0;
    virtual void cmdcasual_Click() = 0;
    virtual void Command1_Click() = 0;
    virtual void Command2_Click() = 0;
    virtual void Command3_Click() = 0;
    virtual void cmdverifica_Click() = 0;
    // A character key in txtmio. Setting KeyAscii to 0 cancels the key.
    virtual void txtmio_KeyPress(std::int16_t& KeyAscii) = 0;
    virtual void Text1_Change() = 0;
    virtual void Timer1_Timer() = 0;
    virtual void cmdexit_Click() = 0;
    virtual void help_Click() = 0;
    virtual void record_Click() = 0;
};

// Runs the window's events on a game object whose handlers carry the same
// names (the game's Form1).
template <class Game>
class HandlersOf final : public Form1Handlers {
public:
    explicit HandlersOf(Game& game) : game_(game) {}

    void Form_Activate() override { game_.Form_Activate(); }
    void cmdini_Click() override { game_.cmdini_Click(); }
    void cmdcasual_Click() override { game_.cmdcasual_Click(); }
    void Command1_Click() override { game_.Command1_Click(); }
    void Command2_Click() override { game_.Command2_Click(); }
    void Command3_Click() override { game_.Command3_Click(); }
    void cmdverifica_Click() override { game_.cmdverifica_Click(); }
    void txtmio_KeyPress(std::int16_t& KeyAscii) override { game_.txtmio_KeyPress(KeyAscii); }
    void Text1_Change() override { game_.Text1_Change(); }
    void Timer1_Timer() override { game_.Timer1_Timer(); }
    void cmdexit_Click() override { game_.cmdexit_Click(); }
    void help_Click() override { game_.help_Click(); }
    void record_Click() override { game_.record_Click(); }

private:
    Game& game_;
};

// The face used for a face of the design: Liberation Sans for MS Sans Serif
// and Arial, Liberation Serif for Times New Roman and MS Serif.
QString substituteFace(std::string_view face);

// The design's font with its substituted face.
QFont designFont(const ui::Font& font);

// The game window "Form1": every control of the design below a menu bar,
// with a fixed client area, and the one-second timer "Timer1".
class Form1Window : public QMainWindow {
    Q_OBJECT

public:
    explicit Form1Window(QWidget* parent = nullptr);
    ~Form1Window() override;

    // Where the window's events go; not owned. Without handlers the events
    // do nothing.
    void setHandlers(Form1Handlers* handlers) { handlers_ = handlers; }

    // The client area below the menu bar, parent of every control.
    QWidget* clientArea() const { return client_; }
    QWidget* control(ui::Control control) const { return controls_.at(control); }
    QTimer* timer() const { return timer_; }
    // A menu bar entry or submenu item by its design name ("record", "aut").
    QAction* menuEntry(std::string_view name) const;

    // True once the activation event has been raised (it is raised once,
    // after the window is first shown).
    bool activationRaised() const { return activationRaised_; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildMenuBar();
    void wireEvents();
    void raiseActivation();
    template <class Handler>
    void deliver(Handler handler);

    Form1Handlers* handlers_ = nullptr;
    QWidget* client_ = nullptr;
    QTimer* timer_ = nullptr;
    std::map<ui::Control, QWidget*> controls_;
    std::map<std::string, QAction*, std::less<>> menuEntries_;
    bool activationQueued_ = false;
    bool activationRaised_ = false;
};

} // namespace cifrelle::app
