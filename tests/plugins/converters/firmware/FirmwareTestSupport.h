#pragma once

#include "converters/IConverterFX2Programming.h"
#include "converters/IConverterXmegaProgramming.h"
#include "plugins/converters/firmware/ConverterFirmwareUpdater.h"
#include "tools/package-writer/PackageWriter.h"
#include "usb/package/FirmwareFileLocation.h"
#include "usb/package/PackageFormat.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdint>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace fwtest {

// The package folder of the test process: the locations keep the first path they find, so
// every test of a process writes its packages into the same folder.
inline const std::string& packageDirectory()
{
    static QTemporaryDir dir;
    static const std::string path = [] {
        const std::string p = dir.path().toStdString();
        TWG::USB::setFirmwareDirectory(p);
        return p;
    }();
    return path;
}

inline std::string packagePath(std::uint16_t productId)
{
    return packageDirectory() + "/" + TWG::USB::packageFileName(productId);
}

inline std::vector<std::uint8_t> bytes(std::size_t n, unsigned seed)
{
    std::vector<std::uint8_t> out(n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = static_cast<std::uint8_t>((i * 31 + seed * 17 + (i >> 7)) & 0xFF);
    return out;
}

// One image of a hand-made package.
struct ImageSpec {
    std::uint8_t kind = 1;
    std::uint8_t target = 0;
    std::uint32_t offset = 0;
    std::uint32_t sectionId = 1;
    std::uint32_t attributes = 0;
    int method = 0; // 2: the XMEGA application image
    std::vector<std::uint8_t> data = bytes(100, 1);
};

inline TWG::Tools::PackageWriter packageOf(std::uint16_t productId, const std::vector<ImageSpec>& images)
{
    TWG::Tools::PackageWriter writer;
    for (const ImageSpec& image : images) {
        TWG::Tools::PackageSection section;
        section.id = image.sectionId;
        section.attributes = image.attributes;
        section.methodFlags = TWG::Tools::PackageWriter::methodFlagsFor(image.method);
        section.compress = true;
        TWG::Tools::PackageEntryRecord record;
        record.key = TWG::USB::PackageFormat::productKey(productId);
        record.byteA = image.target;
        record.byteB = image.kind;
        record.value = image.offset;
        section.entries.push_back(record);
        section.data = image.data;
        writer.addSection(std::move(section));
    }
    return writer;
}

inline void writePackage(std::uint16_t productId, const std::vector<ImageSpec>& images)
{
    std::string error;
    if (!packageOf(productId, images).writeFile(packagePath(productId), &error))
        throw std::runtime_error(error);
}

inline void removePackage(std::uint16_t productId)
{
    std::remove(packagePath(productId).c_str());
}

// FX2 and AT90 programming that records what it was asked, in order, and keeps what it was
// given. failOn: the nth call (1-based) of the named operation fails.
struct FakeFx2Programming : TWG::Converters::IConverterFX2Programming {
    bool at90 = true;
    std::uint32_t pageTake = 256; // the most an AT90 page write takes
    bool overstate = false;       // a page write reports more than remained
    std::vector<std::string> calls;
    std::map<std::string, int> failOn;
    std::vector<std::uint8_t> flash;
    std::vector<std::uint8_t> at90Flash;
    // Called with each operation's name before it runs (what the program has recorded then).
    std::function<void(const std::string& name)> onCall;

    bool eraseFirmware(std::uint32_t length) override
    {
        flash.clear();
        return op("erase", std::to_string(length));
    }
    bool writeFirmware(const std::uint8_t* data, std::uint32_t length) override
    {
        if (!op("write", std::to_string(length)))
            return false;
        flash.insert(flash.end(), data, data + length);
        return true;
    }
    bool restartDevice() override { return op("restart"); }
    bool hasAT90() override { return at90; }
    bool eraseAT90() override
    {
        at90Flash.clear();
        return op("eraseAT90");
    }
    bool writeAT90Fuses() override { return op("fuses"); }
    bool enterAT90Programming() override { return op("enterAT90"); }
    bool leaveAT90Programming() override { return op("leaveAT90"); }
    bool prepareAT90Pages() override { return op("prepare"); }
    bool writeAT90Page(std::uint32_t page, const std::uint8_t* data, std::uint32_t remaining,
                       std::uint32_t* written) override
    {
        if (!op("page", std::to_string(page)))
            return false;
        const std::uint32_t n = std::min(remaining, pageTake);
        at90Flash.insert(at90Flash.end(), data, data + n);
        *written = overstate ? remaining + 1 : n;
        return true;
    }

    int count(const std::string& name) const
    {
        int n = 0;
        for (const std::string& c : calls)
            n += c.rfind(name, 0) == 0 && (c.size() == name.size() || c[name.size()] == '(');
        return n;
    }

private:
    bool op(const std::string& name, const std::string& args = std::string())
    {
        if (onCall)
            onCall(name);
        calls.push_back(args.empty() ? name : name + "(" + args + ")");
        const auto f = failOn.find(name);
        return f == failOn.end() || count(name) != f->second;
    }
};

// XMEGA programming that keeps the images it is given and replays progress.
struct FakeXmegaProgramming : TWG::Converters::IConverterXmegaProgramming {
    bool versionOk = true;
    int version = 0;
    bool programResult = true;
    std::vector<int> progressToReport{0, 50, -1, 100};
    int programs = 0;
    struct Image {
        std::vector<std::uint8_t> data;
        std::uint8_t target;
        std::uint32_t offset;
    };
    std::vector<Image> programmed;

    bool getFirmwareVersion(int* v) override
    {
        *v = version;
        return versionOk;
    }
    bool getVersionRegister(std::uint8_t*) override { return false; }
    bool programFirmware(const ImageSource* source, Delegate* delegate) override
    {
        ++programs;
        programmed.clear();
        for (int i = 0; i < source->imageCount(); ++i)
            programmed.push_back({std::vector<std::uint8_t>(source->imageData(i),
                                                            source->imageData(i) + source->imageSize(i)),
                                  source->imageTarget(i), source->imageOffset(i)});
        for (int p : progressToReport)
            delegate->reportProgress(p);
        return programResult;
    }
};

// An updater whose answers the test sets; program() may block until released.
struct ScriptedUpdater : ConverterFirmwareUpdater {
    bool current = false;
    bool has = true;
    bool loadFirst = false; // the application load starts
    bool loadFails = false; // the application load cannot start
    std::vector<bool> results; // per program() call; true past the end
    std::vector<double> fractions{0.0, 0.5, 1.0};
    std::shared_future<void> gate; // program() waits for it when valid
    std::atomic<int> programs{0};
    // Runs that reached their end; outlives the updater, which its thread may delete.
    std::shared_ptr<std::atomic<int>> completed = std::make_shared<std::atomic<int>>(0);
    TWG::Converters::XmegaLoaderNotifier::LoadXmegaBinaryDelegate* loadDelegate = nullptr;

    bool isCurrent(bool* hasFirmware) override
    {
        *hasFirmware = has;
        return current;
    }
    TWG::Converters::XmegaLoaderNotifier::BinaryLoad
    loadBinaryFirst(TWG::Converters::XmegaLoaderNotifier*,
                    TWG::Converters::XmegaLoaderNotifier::LoadXmegaBinaryDelegate* delegate) override
    {
        using BinaryLoad = TWG::Converters::XmegaLoaderNotifier::BinaryLoad;
        loadDelegate = delegate;
        return loadFails ? BinaryLoad::Failed : loadFirst ? BinaryLoad::Started : BinaryLoad::NotNeeded;
    }
    bool program(const ProgressCallback& progress) override
    {
        const int run = programs++;
        for (double f : fractions)
            progress(f);
        if (gate.valid())
            gate.wait();
        progress(1.0);
        ++*completed;
        return run < static_cast<int>(results.size()) ? results[static_cast<std::size_t>(run)] : true;
    }
};

// Runs the event loop until the condition holds or the real-time limit passes; tick runs
// between turns (a test on the virtual clock moves time there).
inline bool waitUntil(const std::function<bool()>& condition, int limitMs = 20000,
                      const std::function<void()>& tick = {})
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents();
        if (tick)
            tick();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace fwtest
