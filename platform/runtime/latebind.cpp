#include "platform/runtime/latebind.h"

#include "platform/runtime/conversions.h"
#include "platform/runtime/vberror.h"

namespace vb {

namespace {

const ObjectRef& Target(const Variant& obj) {
    if (obj.Type() != vbObject) RaiseError(424);
    if (!obj.RawObject()) RaiseError(errObjectNotSet);
    return obj.RawObject();
}

}  // namespace

Variant GetProp(const ObjectRef& obj, std::string_view name) {
    if (!obj) RaiseError(errObjectNotSet);
    return obj->GetProperty(name);
}

Variant GetProp(const Variant& obj, std::string_view name) { return GetProp(Target(obj), name); }

void LetProp(const ObjectRef& obj, std::string_view name, const Variant& value) {
    if (!obj) RaiseError(errObjectNotSet);
    obj->LetProperty(name, value);
}

void LetProp(const Variant& obj, std::string_view name, const Variant& value) { LetProp(Target(obj), name, value); }

bool SameName(std::string_view a, std::string_view b) { return StrComp(a, b, 1) == 0; }

}  // namespace vb
