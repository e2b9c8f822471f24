// The workbook program as the design tool drives it: one interface, two
// implementations.
//
//   LocalApplication (below)        the program's state held in this process:
//                                   the workbook program itself, a private
//                                   instance with no window, and tests;
//   platform/sheet/bus/attach.h     the bus proxy: the design tool attached
//                                   to the running workbook program.
//
// The members are the ones the import and open commands use.  A failed call
// raises vb::VbError (kErrWorkbook, with a description of what went wrong).
// A sheet comes back whole (its used range, in one call), so that reading
// its cells one by one costs no further call.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/sheet/workbook.h"

namespace sheet {

class SheetClient {
public:
    virtual ~SheetClient() = default;
    // Workbooks.Open: reads the file and makes it the active workbook.
    virtual void OpenWorkbook(const std::string& path) = 0;
    // Workbooks.Close: closes every open workbook.
    virtual void CloseWorkbooks() = 0;
    // The name of the active workbook; "" when no workbook is open.
    virtual std::string ActiveWorkbook() = 0;
    // The active workbook's active sheet; null when no workbook is open.
    virtual std::shared_ptr<const Sheet> ActiveSheet() = 0;
    virtual bool Visible() = 0;
    virtual void Visible(bool v) = 0;
};

// The program's state in this process.
class LocalApplication : public SheetClient {
public:
    void OpenWorkbook(const std::string& path) override;
    void CloseWorkbooks() override;
    std::string ActiveWorkbook() override;
    std::shared_ptr<const Sheet> ActiveSheet() override;
    bool Visible() override { return visible_; }
    void Visible(bool v) override;

    // What the program's window shows and the user chooses.
    const std::vector<std::shared_ptr<Workbook>>& Workbooks() const { return books_; }
    int32_t ActiveIndex() const { return active_; }   // -1 when none
    void Activate(int32_t book, int32_t sheetIndex);
    void Close(int32_t book);
    // Makes a workbook read by ReadWorkbook (on any thread) the active one,
    // as OpenWorkbook does once it has read the file.
    void Install(std::shared_ptr<Workbook> book);
    // Raised after every change of the workbooks, the active ones or Visible.
    std::function<void()> Changed;

private:
    void Notify() {
        if (Changed) Changed();
    }
    std::vector<std::shared_ptr<Workbook>> books_;
    int32_t active_ = -1;
    bool visible_ = false;
};

// A sheet as bytes and back, for sending it in one bus message.  Decoding
// checks every count and index against the bytes it has (raising
// kErrWorkbook), as the bytes come from another process.
std::vector<uint8_t> EncodeSheet(const Sheet& sheet);
std::shared_ptr<Sheet> DecodeSheet(const uint8_t* data, size_t size);

}  // namespace sheet
