// The links the lateral pickers make between a pipe and a lateral joining it
// at its upstream end: the pipe's ma2 (or ma3) holds the lateral's node index
// and the lateral's ma1 holds the pipe's.  Node indices change when a node is
// removed (the last node takes the freed index) and when the network goes
// through its bytes (the nodes are numbered in tree order), so a link is
// remembered by the keys of its two nodes and written again with their new
// indices.
//
// Only a pair whose two directions agree is such a link: a pipe (a node below
// the top level) whose ma2 or ma3 names a top-level node named "Lateral..."
// whose ma1 names the pipe back.  No other ma value is touched: pipe-size
// rows keep their own values, and pipes of a drawing or sheet import keep the
// pipe numbers of the import (which a one-sided field cannot be told from).
// So that every link the pickers make can be followed, they never leave a
// half behind (SetLateralLink), and a removal clears the half that remains.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/node_collection.h"
#include "model/sewer.h"

struct LateralLink {
    std::string pipeKey;
    bool second = false;   // the pipe's ma3; otherwise its ma2
    std::string lateralKey;
};

// Sets the pipe's ma2 (ma3 when `second`) to the lateral at `lateral` (0: no
// lateral), keeping every link a pair: the lateral the field named before
// loses its mark on the pipe, a lateral joins one pipe (the pipe it joined
// before forgets it), and one lateral is never in both fields of a pipe (the
// earlier link wins).  `pipe` must be a node below the top level and
// `lateral`, when not 0, a top-level lateral.
void SetLateralLink(model::cNodeCollection& col, int32_t pipe, bool second, int32_t lateral);

// The top-level lateral a pipe's link field names, or null when it names no
// such node (0, a negative number, or an index past the last node).
std::shared_ptr<model::Sewer> LinkedLateral(const model::cNodeCollection& col, int32_t field);

std::vector<LateralLink> FindLateralLinks(const model::cNodeCollection& col);

// Writes each link's two fields with the indices indexOf gives the two keys.
// When one node is not found (indexOf gives 0 or less) the other's field is
// cleared, so that it names no other node; an index above 32767, which the
// 16-bit fields cannot hold, counts as not found.
void WriteLateralLinks(model::cNodeCollection& col, const std::vector<LateralLink>& links,
                       const std::function<int32_t(const std::string& key)>& indexOf);
