// Writes the converters' udev rule: to the file named on the command line, else to stdout.

#include "tools/usb-udev-rule/UdevRule.h"

#include <cstdio>
#include <fstream>
#include <iostream>

int main(int argc, char** argv)
{
    const std::string text = udevrule::ruleText();
    if (argc < 2) {
        std::cout << text;
        return std::cout.good() ? 0 : 1;
    }
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        std::fprintf(stderr, "vantorel-usb-udev-rule: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
