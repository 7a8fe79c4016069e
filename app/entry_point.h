#pragma once

namespace zor {

class RunContext;

// Gives the run its engines. The program binds the product's engines; the
// application layer knows only their common interface.
using EngineBinder = void (*)(RunContext& context);

// The program's whole run; its result is the process exit code.
int RemoverMain(int argumentCount, wchar_t** arguments, EngineBinder bindEngines);

}  // namespace zor
