// Process-wide state shared by the main window, the profile and the editors.
// It lives for the whole process, as the network-editing code, the refresh and
// the profile routine hand the current lateral and its run to each other here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/runtime/variant.h"

// One pipe of the current run.  Node indices and run positions are 32-bit so
// that networks of more than 32767 nodes are drawn correctly.
struct RunEntry {
    int32_t NodeIndex = 0;
    std::string PipeName;   // up to 20 characters
    int32_t NextPipe = 0;
    int32_t Branch1 = 0;
    int32_t Branch2 = 0;
    int32_t Link4 = 0;
    int32_t PrevPipe = 0;
};

// Pipes of the current lateral in drawing order; entry 0 is never used.
inline std::vector<RunEntry> CurrentRun(2);
inline int32_t RunCount = 0;
inline int32_t CurrentRunPos = 0;
inline std::string CurrentLateralName;

// Running numbers for naming new pipes, laterals and sheets.
inline int32_t PipeCount = 0;
inline int32_t LateralCount = 0;
inline int32_t SheetCount = 0;

// 1: drawing calls go to the screen only; 2: they also write DXF entities.
inline int16_t DxfMode = 1;

// Origin of the profile on the first picture (screen x = x + ProfileOffsetX,
// screen y = ProfileOffsetY - 10 * y).
inline float ProfileOffsetX = 50;
inline float ProfileOffsetY = 100;
