#pragma once

namespace zor {

// The program's whole run; its result is the process exit code.
int RemoverMain(int argumentCount, wchar_t** arguments);

}  // namespace zor
