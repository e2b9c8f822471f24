// Writes saved collections into a folder as the fuzzer's seed corpus, and,
// given a second folder, inputs of several megabytes into that one: a large
// network and a file whose array shape declares far more elements than it
// has bytes.
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "model/node_collection.h"
#include "model/sewer.h"
#include "platform/runtime/propertybag.h"

using model::cNodeCollection;
using vb::Variant;

namespace {

Variant NodeValue(const std::string& name) {
    auto s = std::make_shared<model::Sewer>();
    s->Name = name;
    s->dia = 200;
    s->felv = 102;
    Variant v = Variant::MakeArray(vb::vbVariant, {{0, 3}});
    v.SetElement(0, Variant(name));
    v.SetElement(3, Variant(s));
    return v;
}

void WriteBytes(const std::string& dir, const std::string& name, const std::vector<uint8_t>& bytes) {
    std::ofstream(dir + "/" + name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                            static_cast<std::streamsize>(bytes.size()));
}

void Write(const std::string& dir, const std::string& name, cNodeCollection& c) {
    std::vector<uint8_t> bytes;
    if (c.SaveCollection(bytes)) WriteBytes(dir, name, bytes);
}

std::vector<uint8_t> Le32(std::initializer_list<int32_t> values) {
    std::vector<uint8_t> b;
    for (int32_t v : values)
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF));
    return b;
}

void WriteLarge(const std::string& dir) {
    {
        cNodeCollection c;
        c.SerializeObject = model::SerializeSewerObject;
        for (int i = 1; i <= 3000; ++i) {
            if (i % 10 == 1) c.AddItem(NodeValue("Lateral" + std::to_string(i)), "ObjLateral" + std::to_string(i), "", 2);
            c.AddItem(NodeValue("Se " + std::to_string(i)), "ObjSe " + std::to_string(i),
                      "ObjLateral" + std::to_string((i - 1) / 10 * 10 + 1), 5);
        }
        Write(dir, "large_network", c);
    }
    {
        // One node whose Object array declares 16 elements per byte of a 4 MB
        // file (4 MB of a name no loader reads).
        const int32_t file = 4 << 20;
        vb::PropertyBag bag;
        std::vector<uint8_t> record = Le32({0});
        record.push_back(0x09);
        record.push_back(0x20);
        bag.WriteProperty("1N", Variant::ByteArray(record));
        std::vector<uint8_t> shape = {0, 0};
        for (uint8_t b : Le32({16 * file, 0})) shape.push_back(b);
        bag.WriteProperty("1SA", Variant::ByteArray(shape));
        bag.WriteProperty("pad", Variant::ByteArray(std::vector<uint8_t>(static_cast<size_t>(file), 0)));
        bag.WriteProperty("Count", Variant::ByteArray(Le32({1, 1, 10})));
        WriteBytes(dir, "large_shape", bag.Contents());
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string dir = argv[1];
    {
        cNodeCollection c;
        c.SerializeObject = model::SerializeSewerObject;
        c.AddItem(NodeValue("Sewer"), "ObjSewer", "", 2);
        c.AddItem(NodeValue("Lateral1"), "ObjLateral1", "", 2);
        for (int i = 1; i <= 3; ++i) c.AddItem(NodeValue("Se " + std::to_string(i)), "ObjSe " + std::to_string(i), "ObjLateral1", 5);
        c.AddItem(NodeValue("Diameter2"), "ObjDiameter2", "", 2);
        Write(dir, "network", c);
    }
    {
        cNodeCollection c;
        c.AddItem(Variant(), "", "", 2);
        c.AddItem(Variant(true), "b", "", 2);
        c.AddItem(Variant("text"), "s", 1, 5);
        c.AddItem(Variant::Null(), "", 1, 5);
        c.AddItem(Variant::Error(5), "e", "", 2);
        c.AddItem(Variant::Nothing(), "n", "", 2);
        Variant grid = Variant::MakeArray(vb::vbLong, {{1, 2}, {0, 1}});
        c.AddItem(grid, "grid", "", 2);
        Variant texts = Variant::MakeArray(vb::vbString, {{0, 1}});
        texts.SetElement(1, Variant("x"));
        c.AddItem(texts, "texts", "", 2);
        Variant mixed = Variant::MakeArray(vb::vbVariant, {{0, 3}});
        mixed.SetElement(0, Variant(1.5));
        mixed.SetElement(1, texts);
        mixed.SetElement(2, Variant::Currency(7));
        c.AddItem(mixed, "mixed", "", 2);
        c.AddItem(Variant::MakeArray(vb::vbObject, {{0, 1}}), "objects", "", 2);
        Write(dir, "values", c);
    }
    {
        cNodeCollection c;
        c.KeysCaseSensitive(true);
        c.CollectionBufferLimit(0);
        c.AddItem(Variant(int16_t(1)), "A", "", 2);
        c.AddItem(Variant(int16_t(2)), "a", "A", 5);
        c.AddItem(Variant(2.5f), "deep", "a", 5);
        Write(dir, "binary_keys", c);
    }
    if (argc > 2) WriteLarge(argv[2]);
    return 0;
}
