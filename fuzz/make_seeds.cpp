// Writes saved collections into a folder as the fuzzer's seed corpus.
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "model/node_collection.h"
#include "model/sewer.h"

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

void Write(const std::string& dir, const std::string& name, cNodeCollection& c) {
    std::vector<uint8_t> bytes;
    if (!c.SaveCollection(bytes)) return;
    std::ofstream(dir + "/" + name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                            static_cast<std::streamsize>(bytes.size()));
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
    return 0;
}
