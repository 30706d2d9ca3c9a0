// Port descriptions from udev: the device entry of the port's character device, and for a USB
// adapter the USB device above it. The device's own strings come first; udev's hardware
// database (present where udevd runs) names devices that carry no strings.

#include "link/port_info.h"

#include "link/comm_port.h"

#include <libudev.h>
#include <memory>
#include <sys/stat.h>

namespace {

struct TUdevFree {
  void operator()(udev* context) const { udev_unref(context); }
  void operator()(udev_device* device) const { udev_device_unref(device); }
};

std::string Text(const char* value) {
  return value ? value : "";
}

// The first of the device's attribute and udev's properties that is set.
std::string FirstOf(udev_device* attributes, const char* attribute, udev_device* properties,
                    std::initializer_list<const char*> keys) {
  if (attributes)
    if (const char* value = udev_device_get_sysattr_value(attributes, attribute); value && *value)
      return value;
  for (const char* key : keys)
    if (const char* value = udev_device_get_property_value(properties, key); value && *value)
      return value;
  return "";
}

} // namespace

TPortInfo DescribePort(const std::string& name) {
  TPortInfo info;
  info.Path = TCommPort::DevicePath(name);
  struct stat status {};
  if (name.empty() || ::stat(info.Path.c_str(), &status) != 0 || !S_ISCHR(status.st_mode))
    return info;
  const std::unique_ptr<udev, TUdevFree> context(udev_new());
  if (!context)
    return info;
  const std::unique_ptr<udev_device, TUdevFree> device(
      udev_device_new_from_devnum(context.get(), 'c', status.st_rdev));
  if (!device)
    return info;
  info.Known = true;
  info.Subsystem = Text(udev_device_get_subsystem(device.get()));
  // Parents belong to the device they were taken from and are not freed on their own. The
  // serial core's own port and controller devices ("serial-base") say nothing of the hardware.
  for (udev_device* parent = udev_device_get_parent(device.get()); parent && info.Driver.empty();
       parent = udev_device_get_parent(parent))
    if (Text(udev_device_get_subsystem(parent)) != "serial-base")
      info.Driver = Text(udev_device_get_driver(parent));
  udev_device* usb =
      udev_device_get_parent_with_subsystem_devtype(device.get(), "usb", "usb_device");
  const std::string bus = Text(udev_device_get_property_value(device.get(), "ID_BUS"));
  if (!usb && bus != "usb")
    return info;
  info.Usb = true;
  info.VendorId = FirstOf(usb, "idVendor", device.get(), {"ID_VENDOR_ID"});
  info.ProductId = FirstOf(usb, "idProduct", device.get(), {"ID_MODEL_ID"});
  info.Manufacturer =
      FirstOf(usb, "manufacturer", device.get(), {"ID_VENDOR_FROM_DATABASE", "ID_VENDOR"});
  info.Product = FirstOf(usb, "product", device.get(), {"ID_MODEL_FROM_DATABASE", "ID_MODEL"});
  info.Serial = FirstOf(usb, "serial", device.get(), {"ID_SERIAL_SHORT"});
  return info;
}
