// A scripted HID backend for unit tests: reports pushed by the test arrive on the opened
// connection, writes are logged and may be answered by a responder.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "device/hid/hid_backend.h"

namespace morva::test {

struct FakeLink {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::vector<std::uint8_t>> inbox;
    std::vector<std::vector<std::uint8_t>> written;
    // Called for every written report; may Push answers.
    std::function<void(const std::vector<std::uint8_t>&)> responder;
    bool failWrites = false;
    std::uint64_t cancelGeneration = 0;
    int readsInside = 0;

    void Push(std::vector<std::uint8_t> report) {
        {
            std::lock_guard lock(mutex);
            inbox.push_back(std::move(report));
        }
        changed.notify_all();
    }
};

class FakeConnection : public hid::IHidConnection {
public:
    FakeConnection(hid::InterfaceInfo info, std::shared_ptr<FakeLink> link)
        : info_(std::move(info)), link_(std::move(link)) {}
    const hid::InterfaceInfo& Info() const override { return info_; }

    hid::IoResult Read(std::span<std::uint8_t> buffer, std::size_t& transferred,
                       std::uint32_t timeoutMs) override {
        std::unique_lock lock(link_->mutex);
        const std::uint64_t generation = link_->cancelGeneration;
        ++link_->readsInside;
        link_->changed.notify_all();
        auto ready = [&] { return !link_->inbox.empty() || link_->cancelGeneration != generation; };
        bool ok = true;
        if (timeoutMs == hid::kNoTimeout) {
            link_->changed.wait(lock, ready);
        } else {
            ok = link_->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
        }
        --link_->readsInside;
        if (!ok)
            return hid::IoResult::Timeout;
        if (link_->cancelGeneration != generation)
            return hid::IoResult::Cancelled;
        const std::vector<std::uint8_t> report = std::move(link_->inbox.front());
        link_->inbox.pop_front();
        transferred = std::min(report.size(), buffer.size());
        std::copy_n(report.begin(), transferred, buffer.begin());
        return hid::IoResult::Ok;
    }

    hid::IoResult Write(std::span<const std::uint8_t> report, std::size_t& transferred,
                        std::uint32_t) override {
        std::function<void(const std::vector<std::uint8_t>&)> responder;
        const std::vector<std::uint8_t> bytes(report.begin(), report.end());
        {
            std::lock_guard lock(link_->mutex);
            if (link_->failWrites)
                return hid::IoResult::Failed;
            link_->written.push_back(bytes);
            responder = link_->responder;
        }
        transferred = report.size();
        if (responder)
            responder(bytes);
        return hid::IoResult::Ok;
    }

    void CancelPending() override {
        {
            std::lock_guard lock(link_->mutex);
            ++link_->cancelGeneration;
        }
        link_->changed.notify_all();
    }

private:
    hid::InterfaceInfo info_;
    std::shared_ptr<FakeLink> link_;
};

class FakeHidBackend : public hid::IHidBackend {
public:
    std::vector<std::string> paths;
    bool enumerateOk = true;
    std::map<std::string, hid::InterfaceInfo> infos;  // openable paths
    std::map<std::string, std::shared_ptr<FakeLink>> links;
    int opens = 0;

    std::shared_ptr<FakeLink> Add(const hid::InterfaceInfo& info) {
        infos[info.path] = info;
        auto link = std::make_shared<FakeLink>();
        links[info.path] = link;
        paths.push_back(info.path);
        return link;
    }

    bool Enumerate(std::vector<std::string>& out) override {
        if (!enumerateOk)
            return false;
        out = paths;
        return true;
    }

    std::unique_ptr<hid::IHidConnection> Open(const std::string& path, bool,
                                              std::string* error) override {
        const auto it = infos.find(path);
        if (it == infos.end()) {
            if (error)
                *error = "device not present";
            return nullptr;
        }
        ++opens;
        return std::make_unique<FakeConnection>(it->second, links[path]);
    }
};

}  // namespace morva::test
