// A real main window for tests: the program folder points at a fresh
// temporary folder (for the profile-row file), dialogs answer from a script,
// and the shared state starts as a new process would have it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>

#include "mainwindow/form1.h"
#include "mainwindow/network_access.h"
#include "platform/runtime/app.h"
#include "platform/ui/testing.h"
#include "platform/ui/ui.h"
#include "profile/profile_config.h"

// The main window with a probe on its refresh: tests see the network as a
// command left it, before the redraw's levels pass adjusts the inverts.
class ProbedForm1 : public Form1 {
public:
    std::function<void()> BeforeRefresh;
    int Refreshes = 0;
    void Form_Click() override {
        ++Refreshes;
        if (BeforeRefresh) BeforeRefresh();
        Form1::Form_Click();
    }
};

class Form1Test : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device rd;
        dir_ = std::filesystem::temp_directory_path() / ("form1_test_" + std::to_string(rd()));
        std::filesystem::create_directories(dir_);
        vb::App::SetPath(dir_.string());
        ProfileConfigPath.clear();
        PipeCount = 0;
        LateralCount = 0;
        SheetCount = 0;
        RunCount = 0;
        CurrentRunPos = 0;
        CurrentLateralName.clear();
        CurrentRun.assign(2, RunEntry{});
        dialogs_ = std::make_shared<vb::ScriptedDialogs>();
        scope_ = std::make_unique<vb::DialogSinkScope>(dialogs_);
        errorsBefore_ = vb::ReportedErrorCount();
        form_ = std::make_unique<ProbedForm1>();
        form_->Load();
    }
    void TearDown() override {
        form_.reset();
        scope_.reset();
        vb::App::ResetPath();
        ProfileConfigPath.clear();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    ProbedForm1& f() { return *form_; }
    // Copies a record's values at the next refresh (the first one only).
    void SnapshotAtRefresh(const std::string& name, model::Sewer& into) {
        bool* taken = new bool(false);
        f().BeforeRefresh = [this, name, &into, taken] {
            if (*taken) return;
            if (auto s = Rec(name)) {
                into = *s;
                *taken = true;
            }
        };
        snapshotFlags_.emplace_back(taken);
    }
    std::vector<std::unique_ptr<bool>> snapshotFlags_;
    vb::ScriptedDialogs& dialogs() { return *dialogs_; }
    // The prompts of the messages shown so far, in order.
    std::vector<std::string> Prompts() {
        std::vector<std::string> out;
        for (const auto& m : dialogs().Messages()) out.push_back(m.prompt);
        return out;
    }
    std::shared_ptr<model::Sewer> Rec(const std::string& name) {
        return NodeRecordByKey(f().myCol.get(), "Obj" + name);
    }
    // Names of the top-level nodes in tree order.
    std::vector<std::string> TopLevelKeys() {
        std::vector<std::string> keys;
        auto& col = *f().myCol;
        for (int32_t n = col.FirstSibling(vb::Variant(int32_t(0))); n != 0; n = col.NextSibling(vb::Variant(n))) {
            keys.push_back(col.Key(vb::Variant(n)));
        }
        return keys;
    }
    std::vector<std::string> TabCaptions(UserControl1& strip) {
        std::vector<std::string> out;
        for (size_t i = 1; i < strip.Tabs().size(); ++i) out.push_back(strip.Tabs()[i].Caption);
        return out;
    }
    std::vector<int> MarkedTabs(UserControl1& strip) {
        std::vector<int> out;
        vb::Variant marks = strip.TABB();
        if (!marks.IsArray()) return out;
        for (int32_t i = 1; i <= marks.UBound(); ++i) {
            vb::Variant m = marks.Element(i);
            if (m.IsNumeric() && vb::CDbl(m) == 1) out.push_back(i);
        }
        return out;
    }

    std::filesystem::path dir_;
    int errorsBefore_ = 0;
    std::shared_ptr<vb::ScriptedDialogs> dialogs_;
    std::unique_ptr<vb::DialogSinkScope> scope_;
    std::unique_ptr<ProbedForm1> form_;
};
