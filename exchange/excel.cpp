#include "exchange/excel.h"

#include "platform/runtime/conversions.h"
#include "platform/sheet/bus/attach.h"

namespace {
std::function<std::shared_ptr<sheet::SheetClient>()>& Attacher() {
    static std::function<std::shared_ptr<sheet::SheetClient>()> attacher = [] { return sheet::bus::AttachRunning(); };
    return attacher;
}
}  // namespace

std::shared_ptr<sheet::SheetClient> AttachRunningExcel() { return Attacher()(); }

void SetRunningExcelAttacher(std::function<std::shared_ptr<sheet::SheetClient>()> attacher) {
    Attacher() = attacher ? std::move(attacher) : [] { return sheet::bus::AttachRunning(); };
}

std::shared_ptr<sheet::SheetClient> StartExcelInstance() { return std::make_shared<sheet::LocalApplication>(); }

std::string CellText(const vb::Variant& value) {
    if (value.Type() == vb::vbError) return sheet::TextOfErrorCode(value.RawError());
    return vb::CStr(value);
}
