// Building networks for the benchmark drivers: a node keyed "Obj" & name with
// the usual four-element value and its pipe record in element 3, top-level
// or as the last child of a parent.
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
