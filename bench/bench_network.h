// Building networks for the benchmark drivers: a whole network of one lateral.
#pragma once

#include <memory>
#include <string>

#include "mainwindow/network_access.h"
#include "model/node_collection.h"
#include "model/sewer.h"

// A network of the first record "Sewer" and one lateral "Lateral1" of n pipes
// "Se1" to "Se<n>", pipe i running from manhole "MH<i>" to "MH<i+1>";
// fill(pipe, i) sets the rest of each pipe before it is added.
template <class Fill>
std::shared_ptr<model::cNodeCollection> OneLateralNetwork(int n, Fill&& fill) {
    auto col = std::make_shared<model::cNodeCollection>();
    auto root = std::make_shared<model::Sewer>();
    root->Name = "Sewer";
    AddRecordNode(*col, root, "");
    auto lateral = std::make_shared<model::Sewer>();
    lateral->Name = "Lateral1";
    AddRecordNode(*col, lateral, "");
    for (int i = 1; i <= n; ++i) {
        auto p = std::make_shared<model::Sewer>();
        p->Name = "Se" + std::to_string(i);
        p->from = "MH" + std::to_string(i);
        p->tom = "MH" + std::to_string(i + 1);
        fill(*p, i);
        AddRecordNode(*col, p, "ObjLateral1");
    }
    return col;
}
