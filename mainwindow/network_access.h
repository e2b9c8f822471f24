// Reading and building the values of the network's nodes.  A pipe, lateral,
// sheet or pipe-size node holds a four-element array whose element 3 is its
// Sewer record; other nodes (test lines, tables) hold other values.
#pragma once

#include <memory>
#include <string>

#include "model/node_collection.h"
#include "model/sewer.h"
#include "platform/runtime/variant.h"
#include "platform/ui/controls.h"

// The picture an image box shows, as a node value element holds it (Nothing
// when the box has no picture).
vb::Variant PictureOf(const vb::Image& image);

// A fresh value array with elements 0 to 3, all empty.
vb::Variant NewNodeValueArray();

// The record in element 3 of a node value, or null when the value holds none.
std::shared_ptr<model::Sewer> RecordOfValue(const vb::Variant& value);

// Adds the node keyed "Obj" & the record's name: top-level when parentKey is
// empty, otherwise as the last child of parentKey.  Its value array holds e0
// to e2 and the record in element 3.
void AddRecordNode(model::cNodeCollection& col, const std::shared_ptr<model::Sewer>& record,
                   const std::string& parentKey, const vb::Variant& e0 = {}, const vb::Variant& e1 = {},
                   const vb::Variant& e2 = {});

// The record of a node given by key or 1-based index, or null when there is
// no such node or it holds no record.
std::shared_ptr<model::Sewer> NodeRecord(const model::cNodeCollection* col, const vb::Variant& keyIndex);
std::shared_ptr<model::Sewer> NodeRecordByKey(const model::cNodeCollection* col, const std::string& key);
std::shared_ptr<model::Sewer> NodeRecordByIndex(const model::cNodeCollection* col, int32_t index);

// A new pipe's values from the pipe grid's texts of rows 1 to 6 (flow,
// diameter, slope, cover, length, upstream ground; rows[0] is not read): the
// diameter to the nearest whole millimetre, slope, cover, length and ground
// rounded to 4, 2, 1 and 3 decimals, the flow as it is or, with wholeFlow, to
// the nearest whole number; the upstream invert lies the cover and the
// diameter below the ground.  A text whose number no pipe field can hold
// counts as 0; a diameter or length that is then no bore or no length (an
// empty cell among them) is a new network's 200 mm or 50 m.
void PipeValuesFromGrid(model::Sewer& s, const std::string (&rows)[7], bool wholeFlow);
// The downstream ground and invert of a new pipe: the ground falls 0.004 per
// metre of length, the invert by the pipe's slope; both to 3 decimals.
void SetNewPipeEnds(model::Sewer& s);

// The default pipe values a new lateral and the pipe-size rows carry.
void SetDefaultPipeValues(model::Sewer& s);
// The diameter (mm) and length (m) among them.
constexpr int16_t kNewPipeDia = 200;
constexpr float kNewPipeLength = 50;

// A number rounded by FormatFixed and read back as the single-precision number
// a record stores; text that holds no number gives 0.
float FixedSingle(const vb::Variant& value, int16_t decimals);
