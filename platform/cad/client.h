// The one interface through which the design tool drives the drawing
// program: its application, its active drawing, that drawing's model space,
// layers, blocks, selection sets and entities.
//
// Two implementations stand behind it:
//   - LocalClient (platform/cad/local_client.h), over a cad::Document in this
//     process: the drawing program itself serves the bus with it, and tests of
//     the exchange use it directly;
//   - the bus proxy (platform/cad/bus/bus_client.h), which forwards every call
//     to the running drawing program over the user's session bus.
// The exchange code gets its client from cad::Attach() and never knows which.
//
// One flat interface stands for the application, its active document and the
// model space: the drawing program has one document at a time, so "the
// application", "its active document" and "its model space" are the same
// client.  Entities are named by their handle (the drawing's own hexadecimal
// entity handle, upper case), selection sets and layers by name.  Names of
// layers, blocks, selection sets and extended-data applications compare
// without regard to case, as the drawing's names do.
//
// Failures are raised as vb::VbError with the numbers below, and with the
// runtime's own numbers: 5 for an argument out of range (an unknown selection
// mode, a filter group code other than 0 and 8, type and value lists of
// different lengths), 438 for a property that the entity's kind does not have
// (the centre of a line), 429 when no drawing program is running, 462 when it
// went away during a call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/runtime/variant.h"

namespace cad {

// A point of the drawing: an array of three doubles.
struct Point {
    double x = 0, y = 0, z = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

// A selection set of that name already exists (SelectionSets.Add).
constexpr int32_t kErrDuplicateName = static_cast<int32_t>(0x8021006D);
// No item of that name: a missing block, layer or selection set (the Item of
// a collection).
constexpr int32_t kErrKeyNotFound = static_cast<int32_t>(0x80200014);
// The handle names no entity of the drawing.
constexpr int32_t kErrNoSuchEntity = static_cast<int32_t>(0x80210063);
// No drawing program to attach to (the runtime's "ActiveX component can't
// create object").
constexpr int32_t kErrNotRunning = 429;
// The drawing program went away or did not answer during a call.
constexpr int32_t kErrGone = 462;

// Selection mode of Select: every entity of the model space.
constexpr int kSelectAll = 5;

// The longest name (of a layer, block, selection set or extended-data
// application), text (of a TEXT entity or an extended-data string) and file
// name a caller may give, in bytes of UTF-8.  Longer ones raise error 5 with
// a description naming the limit, as does a point, radius, height or angle
// that is not a finite number.
constexpr size_t kMaxNameBytes = 255;
constexpr size_t kMaxTextBytes = 65536;
constexpr size_t kMaxPathBytes = 4096;

// WindowState values: normal, minimised, maximised.
constexpr int kWindowNormal = 1;
constexpr int kWindowMinimized = 2;
constexpr int kWindowMaximized = 3;

// An extended-data record, or several: parallel lists of type codes and
// values.  The first entry of a record has type 1001 and the application's
// name as its value.  Values by type:
//   1000 string, 1001 application name, 1002 "{" or "}", 1003 layer name,
//   1004 binary data as hexadecimal text, 1005 handle: a String;
//   1040, 1041, 1042: a Double;  1070: an Integer;  1071: a Long;
//   1010 to 1013 (a point): an array (0 To 2) of Double.
// Setting accepts any numeric Variant for the numeric types and converts it.
struct XData {
    std::vector<int16_t> types;
    std::vector<vb::Variant> values;
    bool empty() const { return types.empty(); }
    size_t size() const { return types.size(); }
};

class Client {
public:
    virtual ~Client() = default;

    // --- Application ----------------------------------------------------------
    // The release text of the program (for example "1.0"); compared with 14
    // as a number by the drawing preparation.
    virtual std::string Version() = 0;
    virtual bool Visible() = 0;
    virtual void SetVisible(bool visible) = 0;
    virtual int WindowState() = 0;                 // kWindowNormal ...
    virtual void SetWindowState(int state) = 0;    // error 5 outside 1 to 3

    // --- Active document: layers ------------------------------------------------
    // Layers.Add: adds the layer (colour 7) unless a layer of that name exists;
    // either way the layer is there afterwards.
    virtual void AddLayer(const std::string& name) = 0;
    // Layers(name).Color: an index colour 1 to 255; kErrKeyNotFound for a
    // missing layer, error 5 for a colour out of range.
    virtual int LayerColor(const std::string& name) = 0;
    virtual void SetLayerColor(const std::string& name, int color) = 0;
    // ActiveLayer: the layer that new entities go on; setting it to a missing
    // layer raises kErrKeyNotFound.
    virtual std::string ActiveLayer() = 0;
    virtual void SetActiveLayer(const std::string& name) = 0;

    // --- Active document: blocks ------------------------------------------------
    // Blocks.Item: returns quietly when the block definition exists, raises
    // kErrKeyNotFound when it does not.
    virtual void BlockItem(const std::string& name) = 0;
    // Blocks.Add: an empty block definition with that base point (an existing
    // definition of that name is left as it is).
    virtual void AddBlock(const Point& basePoint, const std::string& name) = 0;

    // --- Active document: selection sets ---------------------------------------
    // Selection sets live as long as the drawing is open and are not saved.
    // SelectionSets.Add: a new empty set; kErrDuplicateName when one of that
    // name exists.
    virtual void AddSelectionSet(const std::string& name) = 0;
    // SelectionSets.Item: returns quietly when the set exists, raises
    // kErrKeyNotFound when it does not.
    virtual void SelectionSetItem(const std::string& name) = 0;
    // SelectionSet.Delete: removes the set from the drawing's selection sets.
    virtual void DeleteSelectionSet(const std::string& name) = 0;
    // SelectionSet.Select with mode kSelectAll (the two corners are ignored,
    // as that mode ignores them): adds to the set every entity of the model
    // space, in drawing order, that matches every filter pair.  Group code 0
    // compares the entity's type ("LINE", "CIRCLE"), 8 its layer; both
    // without regard to case.  Empty lists select every entity.
    virtual void Select(const std::string& set, int mode, const Point& corner1, const Point& corner2,
                        const std::vector<int16_t>& filterTypes, const std::vector<vb::Variant>& filterData) = 0;
    // SelectionSet.SelectOnScreen: the user picks entities in the drawing
    // program's window (click or window, Enter confirms, Esc picks nothing);
    // the call returns when the pick ends and the set then holds the picked
    // entities.
    virtual void SelectOnScreen(const std::string& set) = 0;
    // The set's members in its order (its enumeration; Count is the size).
    virtual std::vector<std::string> SelectionSetEntities(const std::string& set) = 0;

    // --- Model space -------------------------------------------------------------
    // AddCircle and AddText return the new entity's handle; the entity goes on
    // the active layer.  A radius or height not above 0 raises error 5.
    virtual std::string AddCircle(const Point& center, double radius) = 0;
    virtual std::string AddText(const std::string& text, const Point& insertionPoint, double height) = 0;

    // --- Entities (by handle) ------------------------------------------------------
    // EntityName: "AcDbLine", "AcDbCircle", "AcDbText", "AcDbPolyline" (a
    // lightweight polyline), and a like name for the kinds the drawing
    // program does not model.
    virtual std::string EntityName(const std::string& handle) = 0;
    virtual std::string Layer(const std::string& handle) = 0;
    // Puts the entity on that layer, adding the layer when it is missing.
    virtual void SetLayer(const std::string& handle, const std::string& layer) = 0;
    // GetXData(application): that application's record (empty when the
    // entity has none); an empty name gives every record.
    virtual XData GetXData(const std::string& handle, const std::string& application) = 0;
    // SetXData: each record of the lists replaces the entity's record of the
    // same application; the application is registered in the drawing.  Error
    // 5 when the lists differ in length, do not start with 1001, or hold a
    // type code or value that extended data cannot carry.
    virtual void SetXData(const std::string& handle, const XData& data) = 0;
    // A line's StartPoint and EndPoint.
    virtual Point StartPoint(const std::string& handle) = 0;
    virtual Point EndPoint(const std::string& handle) = 0;
    // A circle's Center and Diameter.
    virtual Point Center(const std::string& handle) = 0;
    virtual double Diameter(const std::string& handle) = 0;
    // A text's TextString, Rotation (radians), Alignment (0 left, 1 centre,
    // 2 right, 3 aligned, 4 middle, 5 fit, 6 to 14 top/middle/bottom left,
    // centre, right) and TextAlignmentPoint.
    virtual std::string TextString(const std::string& handle) = 0;
    virtual double Rotation(const std::string& handle) = 0;
    virtual void SetRotation(const std::string& handle, double radians) = 0;
    virtual int Alignment(const std::string& handle) = 0;
    virtual void SetAlignment(const std::string& handle, int alignment) = 0;
    virtual Point TextAlignmentPoint(const std::string& handle) = 0;
    virtual void SetTextAlignmentPoint(const std::string& handle, const Point& point) = 0;
    // A lightweight polyline's Coordinates: x0, y0, x1, y1, ... of its
    // vertices in order.
    virtual std::vector<double> Coordinates(const std::string& handle) = 0;

    // --- Document file ------------------------------------------------------------
    // Saves the drawing to its file (atomically); error 75 when it has none or
    // the write fails.
    virtual void Save() = 0;
    virtual void SaveAs(const std::string& path) = 0;

    // --- Test hook ------------------------------------------------------------------
    // The next SelectOnScreen takes these handles at once instead of waiting
    // for the user.  The drawing program accepts it over the bus only when
    // started with --test-hooks.
    virtual void ScriptNextPick(const std::vector<std::string>& handles) = 0;
};

using ClientRef = std::shared_ptr<Client>;

// Attaching to the running drawing program.  The design tool installs the
// bus attacher at start-up (cad::bus::InstallBusAttacher); tests install one
// that returns a LocalClient.  Attach() raises kErrNotRunning when no
// attacher is installed or the attacher finds no running program.
using Attacher = std::function<ClientRef()>;
void SetAttacher(Attacher attacher);
ClientRef Attach();

}  // namespace cad
