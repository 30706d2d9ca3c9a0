#pragma once
// Objects that exist from before the main window is created until after it is destroyed.

#include <string>

struct TProcessObjects {
  std::string LinkStatusText;  // the latest message of the programmer protocol
  std::string CurrentFileName; // the table file last loaded or saved
};
