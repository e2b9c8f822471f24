// The network made at start and again after a failed reload, and the
// laterals' list filled from the tree.
#include "mainwindow/form1.h"
#include "mainwindow/network_access.h"

void Form1::NewDefaultNetwork() {
    ReplaceNetwork(NewNetworkCollection());

    // The root record "Sewer": a value array whose elements 0 to 2 are empty.
    {
        auto root = std::make_shared<model::Sewer>();
        root->Name = "Sewer";
        StoreNode(root, {}, vb::Variant(), vb::Variant(), vb::Variant());
        PipeCount += 1;
        root->Index = 1001;
    }
    auto storeRow = [&](const std::string& name) {
        auto s = std::make_shared<model::Sewer>();
        s->Name = name;
        LateralCount += 1;
        s->lat = name;
        StoreNode(s, {}, vb::Variant(int16_t(0)), vb::Variant(int16_t(0)), vb::Variant(s->lat));
        PipeCount += 1;
        s->Index = 1001;
        SetDefaultPipeValues(*s);
        return s;
    };
    // The lateral, which gets no pipe: its own record carries the defaults.
    storeRow("Lateral" + std::to_string(LateralCount + 1));
    // Fifteen pipe-size rows.
    for (int i = 1; i <= 15; ++i) {
        auto s = storeRow("Diameter" + std::to_string(LateralCount + 1));
        int dia = 50 * i + 100;
        if (dia > 500) dia = 100 * (i - 5) + 200;
        s->dia = static_cast<int16_t>(dia);
    }

    FillLateralList();
}

void Form1::FillLateralList() {
    List1.Clear();
    if (myCol) {
        const int32_t limit = myCol->ItemCount();
        int32_t n = myCol->FirstSibling(vb::Variant(int32_t(0)));
        for (int32_t guard = 0; n != 0 && guard <= limit; ++guard) {
            auto s = NodeRecordByIndex(myCol.get(), n);
            if (s && vb::Left(s->Name, 3) == "Lat") List1.AddItem(s->Name);
            n = myCol->NextSibling(vb::Variant(n));
        }
    }
    // With no lateral the list stays without a selection.
    if (List1.ListCount() > 0) List1.ListIndex(0);
}
