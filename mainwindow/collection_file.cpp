// The collection file "SavedCol.dat": the whole network as the bytes of its
// tree, saved and read back by the two buttons of cmdSaveCollection, and the
// byte form of the objects that the network's nodes hold.
//
// A save takes the network's bytes first, loads them back and refuses them
// on Re-Load's own rule, and only then writes them through a temporary file
// that is renamed into place, so a failed or refused save leaves the file
// that was there untouched.  A reload builds the new tree aside and puts it into myCol
// only when the bytes gave a tree whose numbers are all finite; otherwise the
// network in memory stays.
#include <cmath>

#include "mainwindow/form1.h"
#include "mainwindow/lateral_links.h"
#include "mainwindow/network_access.h"
#include "platform/runtime/app.h"
#include "platform/runtime/files.h"
#include "platform/runtime/propertybag.h"
#include "platform/runtime/vberror.h"

namespace {

constexpr const char* kCollectionFileName = "SavedCol.dat";
constexpr const char* kTestlineClassTag = "testLineClass";

std::vector<uint8_t> TestlineBytes(const model::Testline& t) {
    vb::PropertyBag bag;
    bag.WriteProperty("Name", vb::Variant(t.Name));
    bag.WriteProperty("Index", vb::Variant(t.Index));
    bag.WriteProperty("Lat", vb::Variant(t.lat));
    bag.WriteProperty("ma1", vb::Variant(t.ma1));
    bag.WriteProperty("X1", vb::Variant(t.x1));
    bag.WriteProperty("Y1", vb::Variant(t.y1));
    return bag.TakeContents();
}

// A test line from its bytes; fields that are missing or do not convert keep
// their defaults, and bytes that are no bag give a blank test line.
std::shared_ptr<model::Testline> TestlineFromBytes(const std::vector<uint8_t>& bytes) {
    auto t = std::make_shared<model::Testline>();
    vb::PropertyBag bag;
    try {
        bag.SetContents(bytes);
    } catch (const vb::VbError&) {
        return t;
    }
    for (const char* name : {"Name", "Index", "Lat", "ma1", "X1", "Y1"}) {
        try {
            const vb::Variant v = bag.ReadProperty(name);
            if (!v.IsEmpty()) t->LetProperty(std::string_view(name) == "Lat" ? "lat" : name, v);
        } catch (const vb::VbError&) {
        }
    }
    return t;
}

// Where a node's value holds a number that is infinite or not a number (the
// property's name, or "" for the value itself or an element of it), or
// nothing when every number in it is finite.
std::optional<std::string> NonFiniteNumber(const vb::Variant& v) {
    if (v.IsArray()) {
        for (const vb::Variant& e : v.Array().items) {
            if (auto where = NonFiniteNumber(e)) return where;
        }
        return std::nullopt;
    }
    switch (v.Type()) {
        case vb::vbSingle: return std::isfinite(v.RawSingle()) ? std::nullopt : std::optional<std::string>("");
        case vb::vbDouble:
        case vb::vbDate: return std::isfinite(v.RawDouble()) ? std::nullopt : std::optional<std::string>("");
        default: break;
    }
    if (auto s = v.As<model::Sewer>()) {
        std::string name = s->NonFiniteProperty();
        if (!name.empty()) return name;
    } else if (auto t = v.As<model::Testline>()) {
        if (!std::isfinite(t->x1)) return std::string("X1");
        if (!std::isfinite(t->y1)) return std::string("Y1");
    }
    return std::nullopt;
}

// The first node of a network whose value holds a number that is infinite
// or not a number, described for the user ("Se 2: l is infinite ..."); empty
// when there is none.  Re-Load refuses a file on this rule, and Save applies
// it to the tree its bytes load as, so that no save writes what Re-Load
// refuses.
std::string FirstNonFiniteNumber(model::cNodeCollection& col) {
    for (int32_t n = 1; n <= col.ItemCount(); ++n) {
        std::string key;
        std::optional<std::string> where;
        try {
            key = col.Key(vb::Variant(n));
            where = NonFiniteNumber(col.Item(vb::Variant(n)));
        } catch (const vb::VbError&) {
            continue;   // an index a load left without a node
        }
        if (!where) continue;
        const std::string node = vb::Left(key, 3) == "Obj" ? key.substr(3) : key;
        return node + ": " + (where->empty() ? std::string("a value") : *where) +
               " is infinite or not a number, which no editor can store";
    }
    return {};
}

}  // namespace

void Form1::myCol_SerializeObject(bool Serialize, vb::Variant& collectionObject, std::vector<uint8_t>& DataArray,
                                  std::string& ObjectID) {
    if (Serialize) {
        if (auto s = collectionObject.As<model::Sewer>()) {
            s->Serialize(DataArray);
            ObjectID = model::kSewerClassTag;
        } else if (auto t = collectionObject.As<model::Testline>()) {
            DataArray = TestlineBytes(*t);
            ObjectID = kTestlineClassTag;
        }
        if (DataArray.empty()) {
            // Storing only a tag would lose the object without a word.
            ++SerializeFailures;
            throw vb::VbError(vb::errTypeMismatch,
                              "An object of class " + vb::TypeName(collectionObject) + " cannot be saved",
                              "Form1.myCol_SerializeObject");
        }
        return;
    }
    if (ObjectID == model::kSewerClassTag) {
        auto s = std::make_shared<model::Sewer>();
        s->Deserialize(DataArray);
        collectionObject = vb::Variant(s);
    } else if (ObjectID == kTestlineClassTag) {
        collectionObject = vb::Variant(TestlineFromBytes(DataArray));
    }
    // Any other tag leaves the value empty.
}

std::shared_ptr<model::cNodeCollection> Form1::NewNetworkCollection() {
    auto col = std::make_shared<model::cNodeCollection>();
    col->SerializeObject = [this](bool s, vb::Variant& o, std::vector<uint8_t>& d, std::string& id) {
        myCol_SerializeObject(s, o, d, id);
    };
    return col;
}

std::optional<std::vector<uint8_t>> Form1::NetworkBytes() {
    if (!myCol) return std::nullopt;
    // The network may have been built by code that made its own collection.
    myCol->SerializeObject = [this](bool s, vb::Variant& o, std::vector<uint8_t>& d, std::string& id) {
        myCol_SerializeObject(s, o, d, id);
    };
    SerializeFailures = 0;
    // The bytes number the nodes in tree order, which is how a load numbers
    // them: the lateral links are written with those numbers for the save
    // and with the indices in memory again afterwards.
    const std::vector<LateralLink> links = FindLateralLinks(*myCol);
    std::vector<int32_t> loadedIndex(static_cast<size_t>(myCol->ItemCount()) + 1, 0);
    const std::vector<int32_t> order = myCol->SaveOrder();
    for (size_t i = 0; i < order.size(); ++i) loadedIndex[static_cast<size_t>(order[i])] = static_cast<int32_t>(i + 1);
    WriteLateralLinks(*myCol, links, [&](const std::string& key) {
        const int32_t n = myCol->KeyToIndex(key);
        return n >= 1 ? loadedIndex[static_cast<size_t>(n)] : 0;
    });
    std::vector<uint8_t> bytes;
    bool saved = false;
    try {
        saved = myCol->SaveCollection(bytes);
    } catch (const vb::VbError&) {
        saved = false;
    } catch (const std::exception&) {
        saved = false;
    }
    WriteLateralLinks(*myCol, links, [&](const std::string& key) { return myCol->KeyToIndex(key); });
    if (!saved || SerializeFailures > 0) return std::nullopt;
    return bytes;
}

std::shared_ptr<model::cNodeCollection> Form1::NetworkFromBytes(const std::vector<uint8_t>& bytes) {
    auto col = NewNetworkCollection();
    try {
        if (!col->LoadCollection(bytes)) return nullptr;
    } catch (const vb::VbError&) {
        return nullptr;
    } catch (const std::exception&) {
        return nullptr;
    }
    // The save never writes a tree without nodes.
    if (col->ItemCount() == 0) return nullptr;
    return col;
}

void Form1::cmdSaveCollection_Click(int Index) {
    PipeCount = 0;
    SheetCount = 0;
    LateralCount = 0;
    const std::string path = vb::App::FilePath(kCollectionFileName);

    if (Index == 0) {
        const std::optional<std::vector<uint8_t>> bytes = NetworkBytes();
        // What Save writes, Re-Load must read: the bytes are loaded back as
        // Re-Load loads them and refused on the same rule, before the file
        // saved last is touched.
        std::string refused;
        if (bytes) {
            std::shared_ptr<model::cNodeCollection> back = NetworkFromBytes(*bytes);
            refused = back ? FirstNonFiniteNumber(*back) : std::string("The network's bytes do not load again");
        }
        if (!bytes) {
            vb::MsgBox("Failed to save Collection", vb::vbOKOnly);
        } else if (!refused.empty()) {
            vb::MsgBox("Failed to save Collection\r\n" + refused + "; nothing was saved" +
                           (vb::FileExists(path) ? ", and " + path + " is kept as it was." : "."),
                       vb::vbOKOnly);
        } else {
            std::string error;
            if (!vb::WriteFileAtomic(path, *bytes, &error)) {
                vb::MsgBox("Failed to save Collection\r\n" + path + ": " + error, vb::vbOKOnly);
            }
        }
        vb::MsgBox("Save    ", vb::vbOKOnly);
        return;
    }

    std::optional<std::vector<uint8_t>> bytes;
    if (!vb::FileExists(path)) {
        vb::MsgBox("No saved collection found", vb::vbInformation);
    } else {
        List1.Clear();
        List2.Clear();
        bytes = vb::ReadFileBytes(path);
        if (bytes) {
            vb::MsgBox("file Open", vb::vbOKOnly);
        } else {
            vb::MsgBox("The file " + path + " could not be read.", vb::vbExclamation);
        }
    }
    std::shared_ptr<model::cNodeCollection> loaded = bytes ? NetworkFromBytes(*bytes) : nullptr;
    // Sound bytes may still hold numbers no editor could store (infinite, or
    // not a number): such a file is refused as a damaged one is.
    const std::string unusable = loaded ? FirstNonFiniteNumber(*loaded) : std::string();
    if (!loaded || !unusable.empty()) {
        // The network in memory is kept, and so are the counters' zeros.
        vb::MsgBox("Corrupt or Invalid Collection" +
                       (unusable.empty() ? std::string() : "\r\n" + unusable + "; nothing was loaded."),
                   vb::vbInformation, "Failed to Load the Collection");
    } else {
        ReplaceNetwork(loaded);
        // The laterals and sheets of the loaded network are counted.
        int32_t n = myCol->FirstSibling(vb::Variant(int32_t(0)));
        for (int32_t guard = 0; n != 0 && guard <= myCol->ItemCount(); ++guard) {
            const std::string key = myCol->Key(vb::Variant(n));
            if (vb::Left(key, 6) == "ObjLat") LateralCount += 1;
            if (vb::Left(key, 6) == "ObjShe") SheetCount += 1;
            n = myCol->NextSibling(vb::Variant(n));
        }
        Caption("Collection Count: " + std::to_string(myCol->ItemCount()));
    }
    Cmdtest_Click();
    vb::MsgBox(std::to_string(PipeCount), vb::vbOKOnly);
}

void Form1::WireCollectionCommands() {
    cmdSaveCollection.Click = [this](int Index) { cmdSaveCollection_Click(Index); };
    Cmdtest.Click = [this] { Cmdtest_Click(); };
    Testarray.Click = [this] { Testarray_Click(); };
}
