#pragma once
// Objects that exist from before the main window is created until after it is destroyed.

#include "link/link_operations.h"

#include <string>

struct TProcessObjects {
  TLinkState Link;             // the serial port, the protocol's memory and the port list
  std::string CurrentFileName; // the table file last loaded or saved
};
