// Process-wide state shared by the main window, the profile and the editors.
// It lives for the whole process, as the network-editing code, the refresh and
// the profile routine hand the current lateral and its run to each other here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
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

// Names are UTF-8 text, and a character is one code point of it (the bytes
// of a name that do not continue a multi-byte sequence).
inline size_t NameCharacters(std::string_view name) {
    size_t n = 0;
    for (unsigned char c : name) n += (c & 0xC0) != 0x80;
    return n;
}

// The run keeps a pipe's name in a field of 20 characters: the first 20, cut
// between characters, padded with blanks.
inline constexpr size_t kRunNameCharacters = 20;
inline std::string RunPipeName(std::string_view name) {
    size_t end = 0;
    for (size_t kept = 0; end < name.size(); ++end) {
        const bool starts = (static_cast<unsigned char>(name[end]) & 0xC0) != 0x80;
        if (starts && kept++ == kRunNameCharacters) break;
    }
    std::string field(name.substr(0, end));
    field.append(kRunNameCharacters - NameCharacters(field), ' ');
    return field;
}

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
