// Building networks for the benchmark drivers: a node keyed "Obj" & name with
// the usual four-element value and its pipe record in element 3, top-level
// or as the last child of a parent; and a whole network of one lateral.
#pragma once

#include <memory>
#include <string>

#include "mainwindow/network_access.h"
#include "model/node_collection.h"
#include "model/sewer.h"

inline void AddNode(model::cNodeCollection& col, const std::shared_ptr<model::Sewer>& rec,
                    const std::string& parentKey) {
    const std::string key = "Obj" + rec->Name;
    if (parentKey.empty()) {
        col.AddItem(NewNodeValueArray(), key, vb::Variant(std::string()), 2);
    } else {
        col.AddItem(NewNodeValueArray(), key, vb::Variant(parentKey), 5);
    }
    vb::Variant value = col.Item(vb::Variant(key));
    value.SetElement(3, vb::Variant(std::static_pointer_cast<vb::Object>(rec)));
    col.Item(vb::Variant(key), value);
}

// A network of the first record "Sewer" and one lateral "Lateral1" of n pipes
// "Se1" to "Se<n>", pipe i running from manhole "MH<i>" to "MH<i+1>";
// fill(pipe, i) sets the rest of each pipe before it is added.
template <class Fill>
std::shared_ptr<model::cNodeCollection> OneLateralNetwork(int n, Fill&& fill) {
    auto col = std::make_shared<model::cNodeCollection>();
    auto root = std::make_shared<model::Sewer>();
    root->Name = "Sewer";
    AddNode(*col, root, "");
    auto lateral = std::make_shared<model::Sewer>();
    lateral->Name = "Lateral1";
    AddNode(*col, lateral, "");
    for (int i = 1; i <= n; ++i) {
        auto p = std::make_shared<model::Sewer>();
        p->Name = "Se" + std::to_string(i);
        p->from = "MH" + std::to_string(i);
        p->tom = "MH" + std::to_string(i + 1);
        fill(*p, i);
        AddNode(*col, p, "ObjLateral1");
    }
    return col;
}
