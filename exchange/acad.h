// The exchange with the drawing program: preparing its drawing for the design
// tool, reading the sewer network back from it, and the pipe-link table that
// divides the pipes read into laterals.  The polyline pick is a handler of the
// main window (exchange/form1_acad.inc).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "exchange/sewer_array.h"
#include "mainwindow/globals.h"
#include "model/sewer.h"
#include "platform/cad/client.h"
#include "platform/runtime/variant.h"

// The drawing program once attached: its application, active drawing and that
// drawing's model space.  The client is one flat interface, so the three are
// the same object; all three are null while nothing is attached (a failed
// attach clears them, so that no later call works on a closed drawing).
inline cad::ClientRef AcadApp;
inline cad::ClientRef AcadDoc;
inline cad::ClientRef AcadModelSpace;

// Forgets the drawing program: nothing is attached afterwards.
inline void ForgetAcad() {
    AcadApp.reset();
    AcadDoc.reset();
    AcadModelSpace.reset();
}

// The links of each record number (NextPipe, PrevPipe, Branch1, Branch2,
// Link4); slot 0 is the record of "no pipe".
inline std::vector<RunEntry> SewerLinks;
// The sheet-grid reference of each pipe read ("A3"), by record number; empty
// when the drawing gives no grid.
inline std::vector<std::string> SewerGridRefs;

// The pipe-link table: row k (1 to PipeLinkCount) holds lateral k's first pipe
// in column 1 and its last pipe in column 2; every other cell stays Empty.
using PipeLinkRow = std::array<vb::Variant, 8>;
inline std::vector<PipeLinkRow> PipeLinks(3);
inline int16_t PipeLinkCount = 0;

// Attaches to the running drawing program and prepares its drawing: the
// system's layers, the active layer "sewer", the design-data marker on layer
// "VANDU" (drawn once), the layer "Error" and the block "Endblock".  Failures
// are shown in message boxes; the caller goes on in every case.
void AcadPrepareDrawing();

// Reads the LINE entities of layer "SEWER" and replaces the main window's
// network with them.  Nothing changes when the read fails.
void AcadGetSewerData();

// Divides the pipes 1 to PipeCount of SewerArray/SewerLinks into laterals and
// fills PipeLinks and PipeLinkCount.
void BuildPipeLinks();

// The same on explicit tables (the drawing read builds its tables aside).
void BuildPipeLinksOf(std::vector<std::shared_ptr<model::Sewer>>& sewers, std::vector<RunEntry>& links,
                      int32_t pipeCount, std::vector<PipeLinkRow>& table, int16_t& count);

// Slope, direction in radians and direction in degrees of the plan segment
// (x1, y1) to (x2, y2), with pi taken as 3.14159.  Vertical segments (and
// segments of no length) have slope 0 and 90 degrees, 270 pointing down;
// the angle lies between -90 and 270 degrees.
void LineAngle(double x1, double y1, double x2, double y2, double& slope, double& angle, double& degrees);

// The sheet-grid reference of a point: column letters (A for column 0) and the
// row number counted from 1.  Empty for a point left of the grid's origin.
std::string GridReference(double x, double y, double originX, double originY, double size);
