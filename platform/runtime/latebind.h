// Reading and writing a property of an object by its name at run time (the
// runtime's CallByName with VbGet and VbLet).  The object's own
// GetProperty/LetProperty do the work; property names compare without
// regard to case there.
#pragma once

#include <string_view>

#include "platform/runtime/variant.h"

namespace vb {

// Error 91 for Nothing, 424 ("Object required") for a value that is no
// object, 438 for a name the object does not have.
Variant GetProp(const Variant& obj, std::string_view name);
Variant GetProp(const ObjectRef& obj, std::string_view name);
void LetProp(const Variant& obj, std::string_view name, const Variant& value);
void LetProp(const ObjectRef& obj, std::string_view name, const Variant& value);

// Property names compare as the runtime compares identifiers: without regard
// to case.
bool SameName(std::string_view a, std::string_view b);

}  // namespace vb
