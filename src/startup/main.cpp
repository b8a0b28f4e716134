// setup: the installer, started from the first disk of a distribution.
#include <cstdlib>
#include <memory>

#include "headless.h"
#include "startup.h"
#ifdef SETUP_WITH_FLTK
#include "fltk_backend.h"
#endif

int main() {
  std::unique_ptr<Backend> backend;
#ifdef SETUP_WITH_FLTK
  if (const char* display = std::getenv("DISPLAY"); display && *display) backend = MakeFltkBackend();
#endif
  if (!backend) backend = std::make_unique<HeadlessBackend>();
  return RunSetup(*backend);
}
