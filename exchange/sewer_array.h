// The shared list of pipe records that the column-mapped workbook import
// (and the drawing read) fill, indexed by record number.  A slot is null
// until it is first written.
#pragma once

#include <memory>
#include <vector>

#include "model/sewer.h"

inline std::vector<std::shared_ptr<model::Sewer>> SewerArray;
