// The window system of the program: forms, controls, picture boxes, grids,
// dialogs and the event dispatcher, on Qt Widgets.  Code above platform/
// includes only this header (or the ones below) and never a Qt header.
//
// Conventions, the same for every class here:
// - Properties are overloaded member pairs: `Caption()` reads, `Caption(v)`
//   writes.  Lists and tables take the index first: `List(i)`, `List(i, v)`,
//   `TextMatrix(r, c)`, `TextMatrix(r, c, v)`.
// - A form's own events are virtual members of vb::Form (`Form_Load`,
//   `Form_Activate`, `Form_Resize`, `Form_Unload(int& Cancel)`, `Form_Click`,
//   key and mouse events) that the form class overrides.
// - A control's events are public std::function members (`Click`, `Change`,
//   `MouseDown`, ...), wired once in the form's constructor:
//       Command1.Click = [this] { Command1_Click(); };
//   Control arrays (ControlArray<T>) carry the same events with the element's
//   Index as first argument.
// - Every event is raised synchronously through the event dispatcher
//   (RaiseEvent): an untrapped vb::VbError escaping a handler is shown in a
//   message box and the program goes on.  Setters that the runtime documents
//   as raising an event raise it before they return.
// - Positions and sizes are twips (15 to a pixel) in the container's scale
//   (a picture box's own scale for controls placed on it); colours are
//   &HBBGGRR values as int32_t, system colours with the high bit set.
// - Message boxes, input boxes, file dialogs and pop-up menus go through the
//   dialog sink (dialogs.h); tests install ScriptedDialogs and never block.
// - Inside a class derived from Form or Control, the member Left hides the
//   runtime's text function Left; both classes forward Left(text, n), so
//   unqualified calls work; other runtime functions are reached as usual.
#pragma once

#include "platform/ui/application.h"
#include "platform/ui/constants.h"
#include "platform/ui/control.h"
#include "platform/ui/controlarray.h"
#include "platform/ui/controls.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/flexgrid.h"
#include "platform/ui/form.h"
#include "platform/ui/picture.h"
#include "platform/ui/picturebox.h"
#include "platform/ui/tabstrip.h"
