// The program: the application's entry point with the product's engines.
#include "app/entry_point.h"
#include "engines/stage_engines.h"

int wmain(int argc, wchar_t** argv) { return zor::RemoverMain(argc, argv, zor::BindStageEngines); }
