// Attaching to the drawing program that the user runs beside this one.
#pragma once

// Attaches to the running drawing program.  When there is none to attach to,
// shows "Please open AutoCAD" and returns false; nothing else changes.
bool AcadAttach();
