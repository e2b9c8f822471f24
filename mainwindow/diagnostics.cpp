// Developer commands of the main window that exercise the network tree: the
// round trip through its byte form with the relisting of the laterals, a node
// holding a small table, the object inspector and the test-line adder.
#include "mainwindow/form1.h"
#include "mainwindow/network_access.h"
#include "platform/ui/picture.h"

namespace {
// The picture held in element 1 of a node value, or null.
vb::PictureRef PictureOfValue(const vb::Variant& value) {
    if (!value.IsArray() || value.Dimensions() != 1 || value.LBound() > 1 || value.UBound() < 1) return nullptr;
    return value.Element(1).As<vb::StdPicture>();
}
}  // namespace

void Form1::Cmdtest_Click() {
    List1.Clear();
    // The network goes through its bytes and back; when either way fails the
    // network stays as it was instead of being replaced by a partial tree.
    const std::optional<std::vector<uint8_t>> bytes = NetworkBytes();
    std::shared_ptr<model::cNodeCollection> reloaded = bytes ? NetworkFromBytes(*bytes) : nullptr;
    if (reloaded) {
        // The round trip numbers the nodes in tree order: the new tree is
        // swapped in as any new network is.
        ReplaceNetwork(reloaded);
    } else if (myCol) {
        vb::MsgBox("The network could not be sent through its byte form; it is kept as it was.",
                   vb::vbExclamation);
    }
    UserControl11.tabreset();
    if (!myCol) return;

    const int32_t limit = myCol->ItemCount();
    int32_t n = myCol->FirstSibling(vb::Variant(int32_t(0)));
    for (int32_t guard = 0; n > 0 && guard <= limit; ++guard) {
        const vb::Variant value = myCol->Item(vb::Variant(n));
        // Nodes without a pipe record (tables, test lines) are passed over.
        if (auto s = RecordOfValue(value)) {
            if (vb::Left(s->Name, 7) == "Lateral") {
                UserControl11.AddTab(s->Name);
                for (int32_t m = myCol->FirstChild(vb::Variant(n)); m != 0; m = myCol->NextSibling(vb::Variant(m))) {
                    PipeCount += 1;
                }
                LateralCount += 1;
            }
            if (auto picture = PictureOfValue(value)) Image1.Picture(picture);
        }
        n = myCol->NextSibling(vb::Variant(n));
    }
    // Only laterals are listed, so that the first entry chosen is a lateral.
    FillLateralList();
}

void Form1::Testarray_Click() {
    if (!myCol) myCol = NewNetworkCollection();
    // The running number was reset by activation or a reload: a number in
    // use is skipped.
    const int32_t n = NextFreeNumber("Sewer", PipeCount + 1);
    PipeCount = n;
    const std::string key = "ObjSewer" + std::to_string(n);
    myCol->AddItem(vb::Variant::MakeArray(vb::vbVariant, {}), key, vb::Variant(std::string()), 2);

    vb::Variant table = vb::Variant::MakeArray(vb::vbLong, {{1, 5}, {0, 2}});
    const int32_t column1[] = {n + 100, 2, -3, 4, 5};
    for (int32_t row = 1; row <= 5; ++row) {
        for (int32_t col = 0; col <= 2; ++col) table.SetElement({row, col}, vb::Variant(int32_t(0)));
        table.SetElement({row, 1}, vb::Variant(column1[row - 1]));
    }
    vb::Variant holder = vb::Variant::MakeArray(vb::vbVariant, {{0, 0}});
    holder.SetElement(0, table);
    myCol->Item(vb::Variant(key), holder);

    const vb::Variant back = myCol->Item(vb::Variant(key));
    List1.AddItem(vb::CStr(back.Element(0).Element({1, 1})));
}

void Form1::InspectObject(const vb::Variant& KeyIndex) {
    if (const auto bytes = NetworkBytes()) {
        if (auto reloaded = NetworkFromBytes(*bytes)) ReplaceNetwork(reloaded);
    }
    if (!myCol) return;
    const vb::Variant value = myCol->Item(KeyIndex);
    if (!value.IsArray() || value.Dimensions() != 1) return;
    std::string s;
    for (int32_t i = value.LBound(); i <= value.UBound(); ++i) {
        const vb::Variant e = value.Element(i);
        s.clear();
        if (e.IsArray() || !e.IsObject()) continue;
        if (e.IsNothing()) {
            s = "Object Is Nothing";
        } else if (auto pipe = e.As<model::Sewer>()) {
            s = pipe->Name;
        } else if (auto line = e.As<model::Testline>()) {
            s = "Class (Name Property): " + line->Name;
        } else if (auto picture = e.As<vb::StdPicture>()) {
            s = "Icon: " + std::to_string(picture->WidthPixels()) + "x" + std::to_string(picture->HeightPixels());
        } else {
            s = "Unknown Object";
        }
    }
    vb::MsgBox(s, vb::vbOKOnly);
    List2.AddItem(s);
}

void Form1::AddTestline() {
    if (!myCol) myCol = NewNetworkCollection();
    auto t = std::make_shared<model::Testline>();
    t->Name = "Testline" + std::to_string(SheetCount + 1);
    t->Index = 109;
    myCol->AddItem(vb::Variant(t), "Tobjline" + std::to_string(SheetCount + 1), vb::Variant(std::string()), 2);
    SheetCount += 1;
    List1.AddItem(t->Name);
    List1.ListIndex(List1.ListCount() - 1);
}
