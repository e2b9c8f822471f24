// The profile routine: order of work, the choice of the current pipe and the
// levels pass that recomputes the inverts of the run.
#include <string>
#include <unordered_map>
#include <vector>

#include "mainwindow/form1.h"
#include "profile/draw_state.h"
#include "profile/levels.h"
#include "platform/runtime/conversions.h"

void Form1::draw(int16_t /*unusedLateralCount*/, int16_t picture2DrawWidth) {
    // One redraw shows at most one failure box, however many of its lines
    // and texts fail (a redraw started inside this one counts as this one).
    struct FailureScope {
        Form1& f;
        bool outer;
        explicit FailureScope(Form1& form) : f(form), outer(!form.profileRedrawing_) {
            if (outer) {
                f.profileRedrawing_ = true;
                f.profileFailureShown_ = false;
            }
        }
        ~FailureScope() {
            if (outer) f.profileRedrawing_ = false;
        }
    } failureScope(*this);
    // 1. A black, empty profile picture.
    Picture1.BackColor(0);
    // 2. Nothing more without a run; no handle stays over the empty picture.
    if (RunCount == 0) {
        HideEditHandles();
        DisarmStaleEntryBox();
        return;
    }
    // 3. The lateral shown is the one whose tab is chosen.
    CurrentLateralName = UserControl11.text();

    // The run must still be the children of that lateral: a removal, a reload
    // or an import since the run was built would otherwise make the levels
    // pass write inverts into unrelated records.  Rebuild it when it is stale.
    // The marks were positions in the stale run: they are dropped with it,
    // unless the rebuilt run holds the very pipes the stale one addressed, in
    // the same order (a pipe renamed in place).
    if (!ProfileRunIsCurrent(CurrentLateralName)) {
        const std::vector<std::shared_ptr<model::Sewer>> addressed = RunRecords();
        latseupdate(CurrentLateralName);
        if (RunRecords() != addressed) ForgetPipePicks();
        if (RunCount == 0) return;
    }
    // An entry box armed for a pipe that no longer carries handles here (the
    // lateral or the chosen pipe changed) must not commit into anything.
    DisarmStaleEntryBox();
    ProfileRedraw r(*this);
    if (!ProfileCollectPipes(r)) return;

    // 4. The current pipe, 5. the levels pass.
    ProfileSelectPipe(r);
    ProfileLevelsPass(r);
    // The levels pass may have moved the shown pipe's levels: the grid and
    // its read-out show what is stored now.
    if (CurrentPipeIndex > 0) se_selupdate();
    // 6. The canvas's sizing handles are hidden.
    for (int k = 0; k <= 7; ++k) {
        if (sk.Exists(k)) sk(k).Visible(false);
    }
    // 7. Chainages and the run's summary.
    ProfileChainagePass(r);
    // 8. Cleared picture; 9. from here on every failure is trapped.
    Picture1.Cls();
    // 10. Slope-bar bases, 11. handles hidden.
    r.Do([&] { SlopeBarBase.assign(static_cast<size_t>(RunCount) + 2, 0.0f); });
    ProfileHideHandles(r);
    // 12. Title, 13. reference x and elevation shift.
    ProfileTitle(r);
    ProfileElevationShift(r);
    // 14. Handles of the marked pipe, 15. the axis at chainage 0.
    ProfileHandlePass(r);
    ProfileAxis(r);
    // 16. Elevation scale, 17. the table's label column, then pipe by pipe
    // the table cells, station verticals and profile lines.
    ProfileElevationScale(r);
    ProfileRowLabels(r);
    ProfilePipePass(r);
    ProfileHandleTops(r);
    // 18. Closing steps.
    ProfileClosingSteps(r, picture2DrawWidth);
    // The handles, bars and pickers just laid stand above the value box
    // unless it is brought back to the front.
    r.Do([&] { ValueBoxToFront(); });
}

// True when every entry 1..RunCount of CurrentRun is an existing child of the
// lateral with the name recorded in the entry.
bool Form1::ProfileRunIsCurrent(const std::string& lateralName) {
    if (!myCol) return false;
    if (RunCount < 1 || CurrentRun.size() <= static_cast<size_t>(RunCount)) return false;
    const int32_t lateral = myCol->KeyToIndex("Obj" + lateralName);
    if (lateral < 1) return false;
    std::unordered_map<int32_t, std::string> children;
    int32_t guard = myCol->ItemCount();
    for (int32_t i = myCol->FirstChild(lateral); i != 0 && guard-- > 0;
         i = myCol->NextSibling(i)) {
        auto rec = NodeRecordByIndex(myCol.get(), i);
        if (rec) children.emplace(i, rec->Name);
    }
    for (int32_t i = 1; i <= RunCount; ++i) {
        const RunEntry& entry = CurrentRun[static_cast<size_t>(i)];
        auto it = children.find(entry.NodeIndex);
        if (it == children.end()) return false;
        // latseupdate keeps the name cut after 20 characters and padded.
        if (vb::RTrim(entry.PipeName) != vb::RTrim(RunPipeName(it->second))) return false;
    }
    return true;
}

// The records of the run and of the lateral; false when one is missing.
bool Form1::ProfileCollectPipes(ProfileRedraw& r) {
    r.lateral = NodeRecordByKey(myCol.get(), "Obj" + CurrentLateralName);
    if (!r.lateral) return false;
    r.pipes.assign(static_cast<size_t>(RunCount) + 1, {});
    for (int32_t i = 1; i <= RunCount; ++i) {
        auto& p = r.pipes[static_cast<size_t>(i)];
        p.node = CurrentRun[static_cast<size_t>(i)].NodeIndex;
        p.rec = NodeRecordByIndex(myCol.get(), p.node);
        if (!p.rec) return false;
    }
    return true;
}

// The pipe whose tab is marked becomes current and is shown in the pipe grid;
// without a marked tab (or with a mark beyond the run) the grid's value
// column is emptied and the chainage pass makes the first pipe current.
void Form1::ProfileSelectPipe(ProfileRedraw& r) {
    const vb::Variant marks = UserControl12.TABB();
    r.tabStates.clear();
    if (marks.IsArray()) {
        const int32_t lo = marks.LBound(), hi = marks.UBound();
        r.tabStates.assign(static_cast<size_t>(hi < 0 ? 0 : hi) + 1, 0);
        for (int32_t k = lo; k <= hi; ++k) {
            if (k < 0) continue;
            const vb::Variant v = marks.Element(k);
            if (v.IsNumeric() && vb::CDbl(v) == 1) r.tabStates[static_cast<size_t>(k)] = 1;
        }
    }
    CurrentPipeIndex = 0;
    for (size_t k = 1; k < r.tabStates.size(); ++k) {
        if (r.tabStates[k] != 1) continue;
        if (k <= static_cast<size_t>(RunCount)) {
            CurrentPipeIndex = static_cast<int>(k);
            CurrentPipeKey = r.P(static_cast<int>(k)).Name;
            se_selupdate();
        }
        break;
    }
    if (CurrentPipeIndex == 0) {
        for (int row = 1; row <= 9; ++row) {
            if (row < MSHFlexGrid2.Rows() && MSHFlexGrid2.Cols() > 1) {
                MSHFlexGrid2.TextMatrix(row, 1, "");
            }
        }
        ClearPipeReadout();
    }
}

// Runs the levels pass over the run's records and writes the results back.
void Form1::ProfileLevelsPass(ProfileRedraw& r) {
    // One working copy per distinct record, so that a record that appears
    // twice in the run sees its own earlier results.
    std::unordered_map<model::Sewer*, size_t> slot;
    std::vector<profile::PipeLevels> levels;
    std::vector<model::Sewer*> records;
    levels.reserve(r.pipes.size());
    std::vector<size_t> order(r.pipes.size(), 0);
    for (int i = 1; i <= RunCount; ++i) {
        model::Sewer* s = &r.P(i);
        auto [it, fresh] = slot.emplace(s, levels.size());
        if (fresh) {
            levels.push_back(LevelsOf(*s));
            records.push_back(s);
        }
        order[static_cast<size_t>(i)] = it->second;
    }
    std::vector<profile::PipeLevels*> run(r.pipes.size(), nullptr);
    for (int i = 1; i <= RunCount; ++i) run[static_cast<size_t>(i)] = &levels[order[static_cast<size_t>(i)]];
    float lateralFelv = r.lateral->felv;
    profile::RunLevelsPass(run, lateralFelv);
    r.lateral->felv = lateralFelv;
    for (size_t k = 0; k < records.size(); ++k) {
        records[k]->finv = levels[k].finv;
        records[k]->tinv = levels[k].tinv;
        records[k]->telv = levels[k].telv;
    }
}
