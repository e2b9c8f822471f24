// State of one redraw of the profile, shared by the steps of Form1::draw.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "mainwindow/form1.h"
#include "mainwindow/network_access.h"
#include "model/sewer.h"
#include "profile/levels.h"
#include "platform/runtime/errortrap.h"
#include "platform/ui/dialogs.h"

struct Form1::ProfileRedraw {
    explicit ProfileRedraw(Form1& f) : form(f) {}
    Form1& form;
    // One pipe of the run: its record and its node index.
    struct Pipe {
        std::shared_ptr<model::Sewer> rec;
        int32_t node = 0;
    };
    std::vector<Pipe> pipes;                    // 1..RunCount (0 unused)
    std::shared_ptr<model::Sewer> lateral;      // the lateral's own record
    std::vector<int> tabStates;                 // copy of the pipes' strip marks
    vb::ErrorTrap trap;

    // Pipe i's record (1-based).
    model::Sewer& P(int i) const { return *pipes[static_cast<size_t>(i)].rec; }
    // Mark of pipe i's tab in the copy taken at the start (0 beyond it).
    bool Marked(int i) const {
        return i >= 0 && static_cast<size_t>(i) < tabStates.size() && tabStates[i] == 1;
    }

    // Runs one statement under the redraw's error trap: a failure is shown in
    // a plain message box (the first of the redraw only) and the redraw goes
    // on with the next statement.
    template <class F>
    void Do(F&& statement) {
        if (!vb::resumeNext(trap, std::forward<F>(statement))) {
            form.ShowProfileFailure(trap.Description());
            trap.Clear();
        }
    }
};

// The fields of a pipe record that the levels and chainage passes work on.
inline profile::PipeLevels LevelsOf(const model::Sewer& s) {
    profile::PipeLevels p;
    p.felv = s.felv;
    p.telv = s.telv;
    p.finv = s.finv;
    p.tinv = s.tinv;
    p.mincover = s.mincover;
    p.slope = s.slope;
    p.l = s.l;
    p.dia = s.dia;
    return p;
}
