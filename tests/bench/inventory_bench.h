#pragma once
// A full refresh of both lists on the demo machine: time per refresh and device opens.
// imageFolder receives the demo's sparse disk images. Prints its figures; false when the
// demo machine could not be loaded.

#include <string>

bool InventoryBench(const std::string& imageFolder);
