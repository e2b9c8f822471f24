// A test fixture: the main window loaded in a folder of its own, with the
// dialogs answered by a script, and a helper that hangs pipes under
// Lateral1.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "mainwindow/form1.h"
#include "mainwindow/network_access.h"
#include "platform/runtime/app.h"
#include "platform/ui/testing.h"
#include "platform/ui/ui.h"

class LoadedMainWindow : public ::testing::Test {
protected:
    // `folderPrefix` names the test's temporary folder (with the process id
    // and the test's name).
    explicit LoadedMainWindow(std::string folderPrefix) : folderPrefix_(std::move(folderPrefix)) {}

    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               (folderPrefix_ + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        vb::App::SetPath(dir_.string());
        // The running numbers are process-wide; start as the program does.
        LateralCount = 0;
        PipeCount = 0;
        SheetCount = 0;
        form_ = std::make_unique<Form1>();
        form_->Load();
        dialogs_->ClearLog();
    }
    void TearDown() override {
        form_.reset();
        vb::App::ResetPath();
        std::filesystem::remove_all(dir_);
    }
    // `n` pipes Se1..Sen under Lateral1, the lateral chosen and drawn.
    void AddPipes(int n) {
        for (int k = 1; k <= n; ++k) {
            auto s = std::make_shared<model::Sewer>();
            s->Name = "Se" + std::to_string(k);
            s->felv = 102.0f - k;
            s->telv = 101.0f - k;
            s->dia = 200;
            s->slope = 0.004f;
            s->l = 30.0f + 10 * k;
            s->mincover = 2;
            s->from = "MH" + std::to_string(k);
            s->tom = "MH" + std::to_string(k + 1);
            AddRecordNode(*form_->myCol, s, "ObjLateral1");
        }
        CurrentLateralName = "Lateral1";
        form_->latseupdate("Lateral1");
        form_->draw();
        dialogs_->ClearLog();
    }

    std::shared_ptr<vb::ScriptedDialogs> dialogs_ = std::make_shared<vb::ScriptedDialogs>();
    vb::DialogSinkScope scope_{dialogs_};
    std::filesystem::path dir_;
    std::unique_ptr<Form1> form_;

private:
    std::string folderPrefix_;
};
