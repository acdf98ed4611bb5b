#include "tools/usb-udev-rule/UdevRule.h"

#include "platform/libusb/AllowList.h"

#include <cstdio>

namespace udevrule {

std::string ruleText()
{
    std::string text =
        "# Access to the USB video converters for the user at the seat (and the plugdev group),\n"
        "# and to no other device. Generated from the platform layer's allow-list by\n"
        "# vantorel-usb-udev-rule: do not edit. Install it in /etc/udev/rules.d/, then run\n"
        "# \"udevadm control --reload\" and plug the converter in again.\n";
    char line[200];
    for (const platform::UsbIdPair* p = platform::AllowList::begin(); p != platform::AllowList::end(); ++p) {
        std::snprintf(line, sizeof line,
                      "SUBSYSTEM==\"usb\", ENV{DEVTYPE}==\"usb_device\", ATTR{idVendor}==\"%04x\", "
                      "ATTR{idProduct}==\"%04x\", MODE=\"0660\", GROUP=\"plugdev\", TAG+=\"uaccess\"\n",
                      p->vendorId, p->productId);
        text += line;
    }
    return text;
}

} // namespace udevrule
