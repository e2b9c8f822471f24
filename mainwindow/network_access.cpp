#include "mainwindow/network_access.h"

#include <algorithm>

#include "platform/runtime/conversions.h"
#include "profile/format.h"
#include "profileedit/grid_value.h"

vb::Variant PictureOf(const vb::Image& image) {
    vb::PictureRef p = image.Picture();
    if (!p) return vb::Variant::Nothing();
    return vb::Variant(std::static_pointer_cast<vb::Object>(p));
}

vb::Variant NewNodeValueArray() { return vb::Variant::MakeArray(vb::vbVariant, {{0, 3}}); }

void AddRecordNode(model::cNodeCollection& col, const std::shared_ptr<model::Sewer>& record,
                   const std::string& parentKey, const vb::Variant& e0, const vb::Variant& e1,
                   const vb::Variant& e2) {
    const std::string key = "Obj" + record->Name;
    if (parentKey.empty()) {
        col.AddItem(NewNodeValueArray(), key, vb::Variant(std::string()), 2);
    } else {
        col.AddItem(NewNodeValueArray(), key, vb::Variant(parentKey), 5);
    }
    vb::Variant value = col.Item(vb::Variant(key));
    value.SetElement(0, e0);
    value.SetElement(1, e1);
    value.SetElement(2, e2);
    value.SetElement(3, vb::Variant(std::static_pointer_cast<vb::Object>(record)));
    col.Item(vb::Variant(key), value);
}

std::shared_ptr<model::Sewer> RecordOfValue(const vb::Variant& value) {
    if (!value.IsArray() || value.Dimensions() != 1) return nullptr;
    if (value.LBound() > 3 || value.UBound() < 3) return nullptr;
    const vb::Variant element = value.Element(3);
    if (!element.IsObject()) return nullptr;
    return element.As<model::Sewer>();
}

std::shared_ptr<model::Sewer> NodeRecord(const model::cNodeCollection* col, const vb::Variant& keyIndex) {
    if (!col) return nullptr;
    return RecordOfValue(col->Item(keyIndex));
}

std::shared_ptr<model::Sewer> NodeRecordByKey(const model::cNodeCollection* col, const std::string& key) {
    return NodeRecord(col, vb::Variant(key));
}

std::shared_ptr<model::Sewer> NodeRecordByIndex(const model::cNodeCollection* col, int32_t index) {
    if (index < 1) return nullptr;
    return NodeRecord(col, vb::Variant(index));
}

void SetDefaultPipeValues(model::Sewer& s) {
    s.qd = 10;
    s.dia = kNewPipeDia;
    s.felv = 102;
    s.finv = 0;
    s.mincover = 2;
    s.slope = 0.004f;
    s.l = kNewPipeLength;
}

float FixedSingle(const vb::Variant& value, int16_t decimals) {
    const vb::Variant fixed = FormatFixed(value, decimals);
    if (fixed.IsEmpty()) return 0.0f;
    return static_cast<float>(vb::Val(vb::CStr(fixed)));
}

void PipeValuesFromGrid(model::Sewer& s, const std::string (&rows)[7], bool wholeFlow) {
    auto cell = [&rows](int row) -> std::string { return PipeFieldNumber(rows[row]) ? rows[row] : std::string("0"); };
    const double flow = vb::Val(cell(1));
    s.qd = static_cast<float>(wholeFlow ? vb::RoundHalfEven(flow) : flow);
    const double dia = vb::RoundHalfEven(vb::Val(cell(2)));
    s.dia = static_cast<int16_t>(std::clamp(dia, -32768.0, 32767.0));
    s.slope = FixedSingle(vb::Variant(cell(3)), 4);
    s.mincover = FixedSingle(vb::Variant(cell(4)), 2);
    s.l = FixedSingle(vb::Variant(cell(5)), 1);
    // An empty cell reads 0, which is no bore and no length (the grid is left
    // empty when its pipe was removed): the pipe then takes the diameter and
    // length of a new network's pipe instead.
    if (!InAcceptedRange(PipeField::Dia, s.dia)) s.dia = kNewPipeDia;
    if (!InAcceptedRange(PipeField::Length, s.l)) s.l = kNewPipeLength;
    s.felv = FixedSingle(vb::Variant(cell(6)), 3);
    // felv - mincover is a single-precision difference; the diameter in
    // metres is a double, and the result is stored as a single again.
    const float groundLessCover = s.felv - s.mincover;
    s.finv = static_cast<float>(static_cast<double>(groundLessCover) - s.dia / 1000.0);
}

void SetNewPipeEnds(model::Sewer& s) {
    // The invert's fall is computed as the record stores its fields: in
    // single precision (product and difference alike).
    const float drop = s.l * s.slope;
    const float end = s.finv - drop;
    s.telv = FixedSingle(vb::Variant(static_cast<double>(s.felv) - s.l * 0.004), 3);
    s.tinv = FixedSingle(vb::Variant(static_cast<double>(end)), 3);
}
