// The main window with an in-process workbook program standing in for the
// one the user runs, and helpers to read the network an import built.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "exchange/excel.h"
#include "exchange/form4.h"
#include "exchange/sewer_array.h"
#include "exchange/sheet_import.h"
#include "tests/mainwindow/form1_fixture.h"

inline std::string SheetData(const std::string& name) { return std::string(SEWER_TEST_DATA) + "/sheet/" + name; }

class ExchangeTest : public Form1Test {
protected:
    void SetUp() override {
        Form1Test::SetUp();
        running_ = std::make_shared<sheet::LocalApplication>();
        SetRunningExcelAttacher([this] { return running_; });
        ExcelApp.reset();
        ExcelBook.clear();
        ExcelSheet.reset();
    }
    void TearDown() override {
        SetRunningExcelAttacher(nullptr);
        ExcelApp.reset();
        ExcelSheet.reset();
        Form1Test::TearDown();
    }
    // The names of a node's children, in tree order.
    std::vector<std::string> Children(const std::string& key) {
        std::vector<std::string> names;
        auto& col = *f().myCol;
        for (int32_t n = col.FirstChild(vb::Variant(key)); n != 0; n = col.NextSibling(vb::Variant(n))) {
            names.push_back(NodeRecordByIndex(&col, n)->Name);
        }
        return names;
    }
    std::vector<std::string> ListItems(vb::ListBox& list) {
        std::vector<std::string> out;
        for (int i = 0; i < list.ListCount(); ++i) out.push_back(list.List(i));
        return out;
    }

    std::shared_ptr<sheet::LocalApplication> running_;
};

// The column-mapped workbook window, loaded afresh for each test.
class Form4Fixture : public ExchangeTest {
protected:
    void SetUp() override {
        ExchangeTest::SetUp();
        SewerArray.clear();
        form4_ = std::make_unique<Form4>();
        form4_->Load();
    }
    void TearDown() override {
        form4_.reset();
        SewerArray.clear();
        ExchangeTest::TearDown();
    }
    Form4& w() { return *form4_; }
    std::unique_ptr<Form4> form4_;
};
