// The FLTK backend: real X11 windows drawn from the toolkit's model.
//
// The header is free of FLTK types; the program picks a backend in main():
//   auto backend = std::getenv("DISPLAY") ? MakeFltkBackend() : std::make_unique<HeadlessBackend>();
#pragma once

#include <memory>

#include "toolkit.h"

// Opens the display (the process ends with a message when it cannot) and
// makes the backend. One per process.
std::unique_ptr<Backend> MakeFltkBackend();
