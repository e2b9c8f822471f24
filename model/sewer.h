// The pipe record and its two small neighbours.
//
// `Sewer` is the one record type of the network: the first top-level node,
// a lateral's head record, a pipe and a pipe-size row all use it.  It is a
// plain bag of 45 properties without validation or derived values.  The
// fields are public and carry the property names the rest of the system uses;
// code that knows the name only at run time reaches them through
// GetProperty/LetProperty (names compare without regard to case) or by slot.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/runtime/variant.h"

namespace model {

class Sewer : public vb::Object {
public:
    std::string Name;
    int32_t Index = 0;
    std::string from;
    std::string tom;
    float qadd = 0;
    float pop1 = 0;
    float pop2 = 0;
    float area1 = 0;
    float area2 = 0;
    float density1 = 0;
    float density2 = 0;
    float tl = 0;
    float l = 0;
    float felv = 0;
    float telv = 0;
    float finv = 0;
    float tinv = 0;
    float qd = 0;
    float slope = 0;
    int16_t dia = 0;
    float drop = 0;
    float x1 = 0;
    float y1 = 0;
    float Z1 = 0;
    float Z2 = 0;
    float x2 = 0;
    float x3 = 0;
    float y2 = 0;
    std::string smh;
    std::string sch;
    std::string lat;
    int16_t Color = 0;
    int16_t grid = 0;
    float mincover = 0;
    int16_t ma1 = 0;
    int16_t ma2 = 0;
    int16_t ma3 = 0;
    int16_t ma4 = 0;
    int16_t ma5 = 0;
    int16_t ma6 = 0;
    int16_t ma7 = 0;
    int16_t ma8 = 0;
    int16_t ma9 = 0;
    int16_t ma10 = 0;
    int16_t na = 0;

    static constexpr int kPropertyCount = 45;

    std::string TypeName() const override { return "Sewer"; }

    // Late-bound access by name (case-insensitive).  Writing converts the
    // value to the property's type as an assignment would (errors 6, 13, 94
    // as the conversions raise them); an unknown name raises 438.
    vb::Variant GetProperty(std::string_view name) const override;
    void LetProperty(std::string_view name, const vb::Variant& value) override;

    // The properties by slot, 1 to 45, in the order of the class's
    // operations; error 9 outside that range.
    static const std::vector<std::string>& PropertyNames();
    // The slot of a name (1 to 45), or 0 when the record has no such property.
    static int SlotOf(std::string_view name);
    vb::Variant GetSlot(int slot) const;
    void LetSlot(int slot, const vb::Variant& value);

    // The name of the first property (in slot order) whose number is
    // infinite or not a number, or an empty text when every one is finite.
    // No editor ever stores such a number; a file may hold one.
    std::string NonFiniteProperty() const;

    // The record's byte form: a property bag holding the 30 stored values.
    void Serialize(std::vector<uint8_t>& bytes) const;
    // Sets the stored properties from bytes made by Serialize.  Bytes that
    // are no property bag leave the record exactly as it was; a stored value
    // that does not convert to its property's type leaves that property as
    // it was.
    void Deserialize(const std::vector<uint8_t>& bytes);
    // The same, taking the bytes over (they are gone afterwards).
    void Deserialize(std::vector<uint8_t>&& bytes);
};

// The class tag under which a collection's bytes store a Sewer.
inline constexpr const char* kSewerClassTag = "testClass";

// A collection's SerializeObject handler for pipe records: saving, a Sewer
// gives its bytes and the tag kSewerClassTag (any other object gives
// nothing); loading, that tag gives a new Sewer read from the bytes, which
// it takes over (any other tag leaves the object as it was).
void SerializeSewerObject(bool serialize, vb::Variant& object, std::vector<uint8_t>& data, std::string& id);

// The reduced record of the test-line command.
class Testline : public vb::Object {
public:
    std::string Name;
    int32_t Index = 0;
    std::string lat;
    int16_t ma1 = 0;
    float x1 = 0;
    float y1 = 0;

    std::string TypeName() const override { return "Testline"; }
    vb::Variant GetProperty(std::string_view name) const override;
    void LetProperty(std::string_view name, const vb::Variant& value) override;
};

// A record of link integers (kept for completeness; nothing creates one).
class lat : public vb::Object {
public:
    int16_t ma1 = 0, ma2 = 0, ma3 = 0, ma4 = 0, ma5 = 0, ma6 = 0, ma7 = 0, ma8 = 0, ma9 = 0, ma10 = 0;
    int16_t na = 0;

    std::string TypeName() const override { return "lat"; }
    vb::Variant GetProperty(std::string_view name) const override;
    void LetProperty(std::string_view name, const vb::Variant& value) override;
};

}  // namespace model
