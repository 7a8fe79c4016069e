#include "app/entry_point.h"

int wmain(int argc, wchar_t** argv) { return zor::RemoverMain(argc, argv); }
