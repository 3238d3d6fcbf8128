// The main window of the headless shell. Like Windows, it paints synchronously inside
// showAndUpdate() (the client area cleared to white first) and runs the destroy handling inside
// destroy(). It never fails to be created unless a test asks it to.
#pragma once
#include <string>

#include "console/text_canvas.h"
#include "shell/application.h"
#include "shell/main_window.h"

namespace kt57 {

class HeadlessWindow : public MainWindow {
public:
    HeadlessWindow(Application& app, TextCanvas& canvas) : app_(app), canvas_(canvas) {}

    bool create(const char* title) override;
    void showAndUpdate() override;
    void destroy() override;
    void postQuit(int exitCode) override;

    // The whole client area invalidated: cleared to white, then the repaint handling.
    void paint();

    bool failCreation = false;  // a test's way to make CreateWindowExA fail
    bool created() const { return created_; }
    bool alive() const { return created_ && !destroyed_; }
    bool quitPosted() const { return quitPosted_; }
    int exitCode() const { return exitCode_; }
    const std::string& title() const { return title_; }

    struct State {
        std::string title;
        bool created = false;
        bool destroyed = false;
        bool quitPosted = false;
        int exitCode = 0;
        bool operator==(const State&) const = default;
    };
    State saveState() const { return State{title_, created_, destroyed_, quitPosted_, exitCode_}; }
    void restoreState(const State& state) {
        title_ = state.title;
        created_ = state.created;
        destroyed_ = state.destroyed;
        quitPosted_ = state.quitPosted;
        exitCode_ = state.exitCode;
    }

private:
    Application& app_;
    TextCanvas& canvas_;
    std::string title_;
    bool created_ = false;
    bool destroyed_ = false;
    bool quitPosted_ = false;
    int exitCode_ = 0;
};

}  // namespace kt57
