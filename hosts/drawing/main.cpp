// sewercad: the drawing program that the design tool drives beside it.
#include "platform/cad/window/drawing_program.h"

int main(int argc, char** argv) { return cad::window::RunDrawingProgram(argc, argv); }
