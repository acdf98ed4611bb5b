#pragma once

#include "discovery/DiscoveryEngine.h"
#include "discovery/DnsSdEngine.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// An engine that answers nothing by itself: a test fires any reply of any operation, on any
// thread, also after the operation was deallocated. Its event loop only counts wakes.
class FakeDnsSdEngine : public TWG::DnsSdEngine {
public:
    enum class Kind { Browse, Resolve, Record };
    struct Operation {
        Kind kind;
        std::string name; // browse: the type; resolve: the instance; record: the full name
        std::uint32_t interfaceIndex = 0;
        std::uint16_t rrtype = 0;
        void* reply = nullptr;
        void* context = nullptr;
        bool live = true;
    };

    // What every fake of one test shares: the factory makes a new engine at each start.
    struct Log {
        std::atomic<int> opens{0};
        std::atomic<int> closes{0};
        std::atomic<FakeDnsSdEngine*> current{nullptr};
        bool refuseOpen = false;
        TWG::DNSServiceErrorType startError = TWG::DnsSd::kNoError;
    };

    explicit FakeDnsSdEngine(Log* log) : log_(log) {}
    ~FakeDnsSdEngine() override { log_->current.store(nullptr); }

    // Installs the fake for the next starts; uninstall() restores the real engine.
    static void install(Log* log)
    {
        TWG::setDnsSdEngineFactory([log] {
            auto engine = std::make_unique<FakeDnsSdEngine>(log);
            log->current.store(engine.get());
            return engine;
        });
    }
    static void uninstall() { TWG::setDnsSdEngineFactory(nullptr); }

    bool open(std::function<void()> onStop) override
    {
        if (log_->refuseOpen)
            return false;
        onStop_ = std::move(onStop);
        ++log_->opens;
        return true;
    }

    void runOnce() override
    {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [this] { return wakePending_ || stopPending_; });
        wakePending_ = false;
        ++iterations_;
        if (stopPending_) {
            stopPending_ = false;
            lock.unlock();
            onStop_();
        }
    }

    void wake() override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        wakePending_ = true;
        ++wakes_;
        wake_.notify_all();
    }

    void requestStop() override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopPending_ = true;
        wake_.notify_all();
    }

    void close() override { ++log_->closes; }

    TWG::DNSServiceErrorType browse(TWG::DNSServiceRef* ref, TWG::DNSServiceFlags, std::uint32_t interfaceIndex,
                                    const char* type, const char*, TWG::DNSServiceBrowseReply reply,
                                    void* context) override
    {
        return add(ref, Kind::Browse, type, interfaceIndex, 0, reinterpret_cast<void*>(reply), context);
    }

    TWG::DNSServiceErrorType resolve(TWG::DNSServiceRef* ref, TWG::DNSServiceFlags, std::uint32_t interfaceIndex,
                                     const char* name, const char*, const char*, TWG::DNSServiceResolveReply reply,
                                     void* context) override
    {
        return add(ref, Kind::Resolve, name, interfaceIndex, 0, reinterpret_cast<void*>(reply), context);
    }

    TWG::DNSServiceErrorType queryRecord(TWG::DNSServiceRef* ref, TWG::DNSServiceFlags, std::uint32_t interfaceIndex,
                                         const char* fullName, std::uint16_t rrtype, std::uint16_t,
                                         TWG::DNSServiceQueryRecordReply reply, void* context) override
    {
        return add(ref, Kind::Record, fullName, interfaceIndex, rrtype, reinterpret_cast<void*>(reply), context);
    }

    TWG::DNSServiceErrorType constructFullName(std::string* fullName, const char* name, const char* type,
                                               const char* domain) override
    {
        *fullName = std::string(name) + "." + type + domain;
        return TWG::DnsSd::kNoError;
    }

    void deallocate(TWG::DNSServiceRef ref) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        operations_.at(reinterpret_cast<std::uintptr_t>(ref) - 1).live = false;
    }

    // Snapshots, and the index of the newest operation that matches, or -1.
    std::vector<Operation> operations() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return operations_;
    }
    int find(Kind kind, const std::string& name, bool liveOnly = true) const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (int i = static_cast<int>(operations_.size()) - 1; i >= 0; --i) {
            const Operation& op = operations_[i];
            if (op.kind == kind && op.name == name && (op.live || !liveOnly))
                return i;
        }
        return -1;
    }
    int count(Kind kind, const std::string& name) const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        int n = 0;
        for (const Operation& op : operations_)
            n += op.kind == kind && op.name == name;
        return n;
    }
    int wakes() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return wakes_;
    }
    int iterations() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return iterations_;
    }

    // While held, every operation start waits (the starting thread blocks in the engine).
    void holdStarts(bool hold)
    {
        std::lock_guard<std::mutex> lock(gateMutex_);
        startsHeld_ = hold;
        gate_.notify_all();
    }
    int blockedStarts() const
    {
        std::lock_guard<std::mutex> lock(gateMutex_);
        return blockedStarts_;
    }

    void fireBrowse(int index, TWG::DNSServiceFlags flags, const std::string& name, const std::string& type,
                    std::uint32_t interfaceIndex = 1, TWG::DNSServiceErrorType error = TWG::DnsSd::kNoError)
    {
        const Operation op = operations().at(index);
        reinterpret_cast<TWG::DNSServiceBrowseReply>(op.reply)(nullptr, flags, interfaceIndex, error, name.c_str(),
                                                               type.c_str(), "local.", op.context);
    }

    void fireResolve(int index, TWG::DNSServiceErrorType error, const std::string& host, std::uint16_t portNetworkOrder)
    {
        const Operation op = operations().at(index);
        reinterpret_cast<TWG::DNSServiceResolveReply>(op.reply)(nullptr, 0, op.interfaceIndex, error, "", host.c_str(),
                                                                portNetworkOrder, 0, nullptr, op.context);
    }

    void fireRecord(int index, TWG::DNSServiceFlags flags, std::uint16_t rrtype, const std::vector<std::uint8_t>& data,
                    TWG::DNSServiceErrorType error = TWG::DnsSd::kNoError)
    {
        const Operation op = operations().at(index);
        reinterpret_cast<TWG::DNSServiceQueryRecordReply>(op.reply)(nullptr, flags, op.interfaceIndex, error,
                                                                    op.name.c_str(), rrtype, 1,
                                                                    static_cast<std::uint16_t>(data.size()),
                                                                    data.data(), 120, op.context);
    }

private:
    TWG::DNSServiceErrorType add(TWG::DNSServiceRef* ref, Kind kind, const char* name, std::uint32_t interfaceIndex,
                                 std::uint16_t rrtype, void* reply, void* context)
    {
        {
            std::unique_lock<std::mutex> gate(gateMutex_);
            ++blockedStarts_;
            gate_.wait(gate, [this] { return !startsHeld_; });
            --blockedStarts_;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (log_->startError != TWG::DnsSd::kNoError)
            return log_->startError;
        operations_.push_back(Operation{kind, name, interfaceIndex, rrtype, reply, context, true});
        *ref = reinterpret_cast<TWG::DNSServiceRef>(static_cast<std::uintptr_t>(operations_.size()));
        return TWG::DnsSd::kNoError;
    }

    Log* log_;
    std::function<void()> onStop_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool wakePending_ = false;
    bool stopPending_ = false;
    int wakes_ = 0;
    int iterations_ = 0;
    std::vector<Operation> operations_;
    mutable std::mutex gateMutex_;
    std::condition_variable gate_;
    bool startsHeld_ = false;
    int blockedStarts_ = 0;
};
