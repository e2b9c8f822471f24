#include "mainwindow/network_access.h"

#include "platform/runtime/conversions.h"
#include "profile/format.h"

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
