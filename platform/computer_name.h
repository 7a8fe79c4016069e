#pragma once
// The computer's name as log lines show it.
#include <string>

namespace zor {

// Looked up once and kept for the life of the process.
const std::wstring& ComputerName();

// The lookup itself: the environment variable "_CLUSTER_NETWORK_NAME_",
// then "COMPUTERNAME", then the machine's ComputerName key (values
// "ActiveComputerName", then "ComputerName"), and finally "localhost".
std::wstring LookUpComputerName();

}  // namespace zor
