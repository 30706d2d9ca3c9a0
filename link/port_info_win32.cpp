// Windows: the port's name is all that is told about it.

#include "link/port_info.h"

#include "link/comm_port.h"

TPortInfo DescribePort(const std::string& name) {
  TPortInfo info;
  info.Path = TCommPort::DevicePath(name);
  return info;
}
