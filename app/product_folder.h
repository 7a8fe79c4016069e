#pragma once
// Where the installed product says its folders are.
#include <string>

#include "foundation/status_codes.h"

namespace zor {

enum ProductFolderKind : int {
  ProductProgramFolder = 0,
  ProductDataFolder = 1,
  ProductAdminConsoleFolder = 30,
  ProductAdminServerFolder = 31,
};

// The folder that holds the program's executable file; "C:\" when it lies
// in a drive root. `folder` is left as it was on failure.
StatusCode ProgramFolder(std::wstring& folder);

// The product's folder of a kind, read once per process from the machine's
// product keys (the 32-bit view on 64-bit Windows). When the key or value
// cannot be read, the program's own folder with 0x60018E1C, which callers
// must not take for a product folder. 0xE0018E15 for a kind the product does
// not record; `folder` is left as it was on failure.
StatusCode ProductFolder(int kind, std::wstring& folder);

}  // namespace zor
