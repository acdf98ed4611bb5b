// A 1 MiB image into the simulated STM32 DFU bootloader, shown as a usbfs node by the umockdev
// fixture's bridge: ours (the libusb backend found and opened, `DFUInterface` brought to dfuIDLE,
// then `DFUInterface::download`) against Debian's `dfu-util -D` (a whole process), medians of
// alternating runs on a fresh bootloader each time, same wTransferSize, bwPollTimeout 0. Each
// run must leave the flash equal to the image. Ours must take no longer; the exit code says
// whether it did. Runs under umockdev's preload:
//
//   cmake --build build --target bench        (all benchmarks)
//   tests/platform/libusb/under-umockdev.sh build/tests-bin/bench_dfu [rounds]

#include "BenchTiming.h"

#include "platform/emulator/DriverEmulator.h"
#include "platform/libusb/LibusbBackend.h"
#include "platform/sim/SimBackend.h"
#include "platform/sim/models/stm32/SimStm32Application.h"
#include "plugins/zanthic/device/DfuInterface.h"
#include "tests/platform/libusb/fixture/MockTestbed.h"
#include "tests/platform/libusb/fixture/SimBridge.h"
#include "tests/support/Bytes.h"
#include "usb/CUSBDevice.h"
#include "usb/DriverConnection.h"

#include <QLoggingCategory>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kMinimumRounds = 5;
constexpr std::size_t kImageSize = 1u << 20;
constexpr std::uint16_t kProduct = 0xBE89;
constexpr char kDevice[] = "7c5d:be89";
constexpr char kDfuUtil[] = "/usr/bin/dfu-util";
constexpr int kToolTimeoutS = 60;
// The manifested device comes back as the application before the next run starts afresh.
constexpr int kFollowMs = 5000;

// The bus, the testbed and the bridge; a fresh bootloader for every run.
class Fixture {
public:
    explicit Fixture(std::shared_ptr<platform::SimStm32State> state) : state_(std::move(state)) {}

    bool fresh()
    {
        state_->flash.clear();
        bridge_ = std::make_unique<usbfs_fixture::SimBridge>(
            testbed_, bus_, bus_.attach(platform::SimStm32Application::persona(state_, true)));
        return bridge_->shown();
    }

    // The flash holds the image and the device came back as the application; then it goes.
    bool check(const std::vector<std::uint8_t>& image)
    {
        const bool ok = state_->flash == image && state_->violations.empty() &&
                        bridge_->waitForGeneration(2, kFollowMs);
        bridge_.reset();
        for (const platform::UsbDeviceInfo& d : bus_.listDevices())
            bus_.detach(d.path);
        return ok;
    }

private:
    std::shared_ptr<platform::SimStm32State> state_;
    platform::SimBackend bus_;
    usbfs_fixture::MockTestbed testbed_;
    std::unique_ptr<usbfs_fixture::SimBridge> bridge_;
};

// Our whole job, as the upgrade task does it once the bootloader is there: the backend finds and
// opens the device, the DFU interface goes to dfuIDLE and takes the image. downloadSeconds is
// the download's own share.
bool ours(const std::vector<std::uint8_t>& image, double* downloadSeconds)
{
    std::unique_ptr<platform::LibusbBackend> libusb = platform::LibusbBackend::create();
    if (!libusb)
        return false;
    const std::vector<platform::UsbDeviceInfo> listed = libusb->listDevices();
    if (listed.size() != 1)
        return false;
    platform::DriverEmulator port(*libusb);
    platform::DriverPort::setInstance(&port);
    bool ok = false;
    if (TWG::USB::DriverConnection* connection =
            TWG::USB::DriverConnection::connectToDriverWithPath(listed[0].path, platform::kNoWindow, 0)) {
        auto* usb = new TWG::USB::CUSBDevice(connection);
        connection->release();
        try {
            TWG::Zanthic::DFUInterface dfu(usb);
            if (dfu.enterIdle()) {
                const auto start = std::chrono::steady_clock::now();
                dfu.download(image, nullptr);
                *downloadSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                ok = true;
            }
        } catch (const std::exception& e) {
            std::fprintf(stderr, "ours: %s", e.what());
        }
        usb->release();
    }
    platform::DriverPort::setInstance(nullptr);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(kMinimumRounds, std::atoi(argv[1])) : 9;
    if (!usbfs_fixture::MockTestbed::preloaded()) {
        std::fprintf(stderr, "needs umockdev's preload: run it through tests/platform/libusb/under-umockdev.sh\n");
        return 2;
    }
    if (!std::ifstream(kDfuUtil).good()) {
        std::fprintf(stderr, "needs %s (tools/install-deps.sh)\n", kDfuUtil);
        return 2;
    }
    // The backend's notes of devices coming and going would interleave with the figures.
    QLoggingCategory::setFilterRules(QStringLiteral("twg.*.info=false\ntwg.*.debug=false"));
    const std::vector<std::uint8_t> image = pattern(kImageSize);
    const char* tmp = std::getenv("TMPDIR");
    const std::string file = std::string(tmp ? tmp : "/tmp") + "/dfu-bench-image.bin";
    {
        std::ofstream f(file, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
        if (!f) {
            std::fprintf(stderr, "cannot write %s\n", file.c_str());
            return 2;
        }
    }

    auto state = std::make_shared<platform::SimStm32State>();
    state->productId = kProduct;
    state->dfu.pollTimeoutMs = 0;
    Fixture fixture(state);

    std::vector<double> downloads;
    auto ourRun = [&] {
        double seconds = 0;
        if (!ours(image, &seconds))
            return false;
        downloads.push_back(seconds);
        return true;
    };
    bench::Process dfuUtil{{"timeout", std::to_string(kToolTimeoutS), kDfuUtil, "-d", kDevice, "-a", "0", "-D", file}};
    auto theirRun = [&] { return dfuUtil.run(); };

    std::printf("build type \"%s\", 1 MiB image, wTransferSize %u, bwPollTimeout 0, median of %d alternating runs\n",
                TWG_BUILD_TYPE, unsigned(state->dfu.transferSize), rounds);
    int failed = -1;
    const std::vector<double> medians = bench::alternatingMedians(
        rounds, {ourRun, theirRun}, [&] { return fixture.fresh(); }, [&] { return fixture.check(image); }, &failed);
    std::remove(file.c_str());
    if (medians.empty()) {
        std::fprintf(stderr, "a run failed: %s\n", failed == 0 ? "ours" : "dfu-util");
        return 2;
    }
    const double whole = medians[0], theirs = medians[1], download = bench::median(downloads);
    const double ratio = whole / theirs;
    const bool ok = ratio <= 1.0;
    std::printf("  %-52s %8.1f ms\n", "ours: open, enterIdle, download", whole * 1e3);
    std::printf("  %-52s %8.1f ms\n", "  of which DFUInterface::download", download * 1e3);
    std::printf("  %-52s %8.1f ms\n", "dfu-util -D (whole process)", theirs * 1e3);
    std::printf("  download alone relative to dfu-util: %.2f\n", download / theirs);
    std::printf("  ours relative to dfu-util: %.2f (must be <= 1.00): %s\n", ratio, ok ? "ok" : "TOO SLOW");
    return ok ? 0 : 1;
}
