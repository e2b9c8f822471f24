// The program's folder (App.Path): where the program keeps its own files
// ("SavedCol.dat", "zefprof.cfg").  It is the folder of the executable,
// without a trailing "/" (except for the root itself); tests point it at a
// temporary folder with SetPath.
#pragma once

#include <string>
#include <string_view>

namespace vb::App {

std::string Path();
void SetPath(std::string folder);
// Forgets a path set by SetPath; Path() is the executable's folder again.
void ResetPath();

// A file name inside the program's folder (Path() & "/" & name).
std::string FilePath(std::string_view name);

}  // namespace vb::App
