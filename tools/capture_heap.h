// The heap in use, for the capture's check that a long run does not grow it.
#pragma once

#include <cstddef>

std::size_t heapInUse();
