// vantorel-sim-packages: writes the synthetic firmware packages of every classic converter
// model, and the RAM image of every FX2 model, into the classic plug-in's simulation-only
// "Resources" folder, and those of every Zanthic model into the Zanthic plug-in's.

#include "tools/sim-tree/SimFirmware.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: vantorel-sim-packages CLASSIC_DIRECTORY ZANTHIC_DIRECTORY\n");
        return 2;
    }
    namespace F = TWG::Tools::SimFirmware;
    for (std::uint16_t id : F::fx2Models()) {
        std::string error;
        if (!F::writeFx2RamImage(id, argv[1], &error)) {
            std::fprintf(stderr, "vantorel-sim-packages: %04x: %s\n", id, error.c_str());
            return 1;
        }
    }
    for (const auto* models : {&F::fx2Models(), &F::xmegaModels()}) {
        for (std::uint16_t id : *models) {
            std::string error;
            if (!F::writePackage(id, argv[1], &error)) {
                std::fprintf(stderr, "vantorel-sim-packages: %04x: %s\n", id, error.c_str());
                return 1;
            }
        }
    }
    for (std::uint16_t id : F::zanthicModels()) {
        std::string error;
        if (!F::writePackage(id, argv[2], &error)) {
            std::fprintf(stderr, "vantorel-sim-packages: %04x: %s\n", id, error.c_str());
            return 1;
        }
    }
    return 0;
}
