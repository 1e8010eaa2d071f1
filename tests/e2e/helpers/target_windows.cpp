// The window tests' "other programs" (a wWinMain program, see the Win32 tests' helper of the
// same name), built once more here because end-to-end tests and benchmarks look for their
// helpers in this folder's build output.
#include "../../win32/helpers/target_windows.cpp"
