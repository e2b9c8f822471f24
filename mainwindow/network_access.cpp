#include "mainwindow/network_access.h"

#include "platform/runtime/conversions.h"
#include "profile/format.h"

vb::Variant NewNodeValueArray() { return vb::Variant::MakeArray(vb::vbVariant, {{0, 3}}); }

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
    s.dia = 200;
    s.felv = 102;
    s.finv = 0;
    s.mincover = 2;
    s.slope = 0.004f;
    s.l = 50;
}

float FixedSingle(const vb::Variant& value, int16_t decimals) {
    const vb::Variant fixed = FormatFixed(value, decimals);
    if (fixed.IsEmpty()) return 0.0f;
    return static_cast<float>(vb::Val(vb::CStr(fixed)));
}
