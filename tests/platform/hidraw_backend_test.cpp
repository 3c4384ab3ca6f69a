#include "platform/hidraw/hidraw_backend.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <semaphore>
#include <string>
#include <thread>
#include <vector>

#include "base/debug_log.h"
#include "device/device_tables.h"
#include "support/temp_dir.h"

namespace morva::hid {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

// Four top-level collections with report ids 1 to 4: keyboard, system control, consumer
// control (16-bit array) and a vendor collection with 63 bytes in and out.
const Bytes kFourCollections = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x85, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7,
    0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x06, 0x75, 0x08,
    0x15, 0x00, 0x25, 0x65, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00, 0xC0,  //
    0x05, 0x01, 0x09, 0x80, 0xA1, 0x01, 0x85, 0x02, 0x19, 0x81, 0x29, 0x83, 0x15, 0x00,
    0x25, 0x01, 0x75, 0x01, 0x95, 0x03, 0x81, 0x02, 0x95, 0x05, 0x81, 0x01, 0xC0,  //
    0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x03, 0x15, 0x00, 0x26, 0xFF, 0x03, 0x19,
    0x00, 0x2A, 0xFF, 0x03, 0x75, 0x10, 0x95, 0x01, 0x81, 0x00, 0xC0,  //
    0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x04, 0x15, 0x00, 0x26, 0xFF, 0x00,
    0x75, 0x08, 0x95, 0x3F, 0x09, 0x01, 0x81, 0x02, 0x09, 0x01, 0x91, 0x02, 0xC0,
};
// One consumer-control collection without report ids.
const Bytes kNoReportIds = {
    0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x03, 0x19,
    0x00, 0x2A, 0xFF, 0x03, 0x75, 0x10, 0x95, 0x01, 0x81, 0x00, 0xC0,
};
// Opens a collection and never closes it.
const Bytes kBroken = {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01};

Bytes VendorReport(std::uint8_t first) {
    Bytes report(64);
    report[0] = 4;
    for (std::size_t i = 1; i < report.size(); ++i)
        report[i] = static_cast<std::uint8_t>(first + i);
    return report;
}

// A sysfs-like tree laid out as the kernel does it: USB device / interface / HID device /
// hidraw node, reached from class/hidraw through relative links.
class SysfsTree {
public:
    SysfsTree() {
        fs::create_directories(Sys() / "class" / "hidraw");
        fs::create_directories(Dev());
    }
    fs::path Sys() const { return dir_.path() / "sys"; }
    fs::path Dev() const { return dir_.path() / "dev"; }
    std::string DevNode(const std::string& node) const { return (Dev() / node).string(); }

    // Returns the USB device folder (idVendor, idProduct, bcdDevice live there).
    fs::path Add(const std::string& node, std::uint16_t vendor, std::uint16_t product,
                 const std::string& interfaceNumber, const Bytes& descriptor) {
        char hex[40];
        const fs::path usb = Sys() / "devices" / "pci0000:00" / "usb1" / ("1-" + node);
        const fs::path interface = usb / ("1-" + node + ":1." + interfaceNumber);
        std::snprintf(hex, sizeof hex, "0003:%04X:%04X.%04zX", vendor, product, ++sequence_);
        const fs::path hid = interface / hex;
        const fs::path nodeDir = hid / "hidraw" / node;
        fs::create_directories(nodeDir);
        std::snprintf(hex, sizeof hex, "%04x\n", vendor);
        WriteFile(usb / "idVendor", hex);
        std::snprintf(hex, sizeof hex, "%04x\n", product);
        WriteFile(usb / "idProduct", hex);
        WriteFile(usb / "bcdDevice", "0100\n");
        WriteFile(interface / "bInterfaceNumber", interfaceNumber + "\n");
        WriteFile(hid / "report_descriptor", std::string(descriptor.begin(), descriptor.end()));
        WriteFile(nodeDir / "uevent", "MAJOR=241\nMINOR=3\nDEVNAME=" + node + "\n");
        fs::create_directory_symlink("../..", nodeDir / "device");
        const fs::path link = Sys() / "class" / "hidraw" / node;
        fs::create_directory_symlink(fs::relative(nodeDir, link.parent_path()), link);
        return usb;
    }

    static void WriteFile(const fs::path& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }

private:
    test::TempDir dir_;
    std::size_t sequence_ = 0;
};

class LogCapture {
public:
    LogCapture() {
        SetDebugSink([this](std::string_view line) { text_ += line; });
    }
    ~LogCapture() { SetDebugSink({}); }
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

IoResult ReadReport(IHidConnection& connection, Bytes& report, std::uint32_t timeoutMs = 2000) {
    report.assign(256, 0);
    std::size_t transferred = 0;
    const IoResult result = connection.Read(report, transferred, timeoutMs);
    report.resize(transferred);
    return result;
}

// Waits until `tid` sleeps in the kernel (inside a blocking call) on two looks in a row.
bool WaitUntilBlocked(pid_t tid) {
    const std::string stat = "/proc/self/task/" + std::to_string(tid) + "/stat";
    int sleeping = 0;
    for (const auto end = Clock::now() + 2s; Clock::now() < end;) {
        const std::string text = test::TempDir::Read(stat);
        const std::size_t paren = text.rfind(')');
        sleeping = paren != std::string::npos && text.size() > paren + 2 && text[paren + 2] == 'S'
                       ? sleeping + 1
                       : 0;
        if (sleeping == 2)
            return true;
        std::this_thread::sleep_for(2ms);
    }
    return false;
}

// --- Enumeration over a sysfs tree -------------------------------------------------------

TEST(HidrawEnumerate, OnePathPerCollectionNumberedOnlyWhenSeveral) {
    SysfsTree tree;
    tree.Add("hidraw10", kVendorId, kProductMouse, "01", kFourCollections);
    tree.Add("hidraw7", kHeadsetVendorId, kProductHeadset, "03", kNoReportIds);
    tree.Add("hidraw2", kVendorId, kProductKeyboard, "0a", kNoReportIds);
    HidrawBackend backend(MakeSysfsNodeSource(tree.Sys(), tree.Dev()));

    std::vector<std::string> paths{"stale"};
    ASSERT_TRUE(backend.Enumerate(paths));
    const std::string mouse = tree.DevNode("hidraw10") + "#vid_320f&pid_221c&mi_01";
    EXPECT_EQ(paths, (std::vector<std::string>{
                         tree.DevNode("hidraw2") + "#vid_320f&pid_5055&mi_0a",
                         tree.DevNode("hidraw7") + "#vid_0c76&pid_1630&mi_03",
                         mouse + "&col01",
                         mouse + "&col02",
                         mouse + "&col03",
                         mouse + "&col04",
                     }));
}

TEST(HidrawEnumerate, SkipsAnUnreadableInterfaceAndGoesOn) {
    SysfsTree tree;
    tree.Add("hidraw1", kVendorId, kProductMouse, "01", kFourCollections);
    fs::remove(tree.Add("hidraw2", kVendorId, kProductMouse, "00", kNoReportIds) / "idProduct");
    tree.Add("hidraw3", kVendorId, kProductMouse, "02", kBroken);
    fs::remove(tree.Add("hidraw4", kVendorId, kProductMousePad, "00", kNoReportIds) /
               "1-hidraw4:1.00" / "bInterfaceNumber");
    tree.Add("hidraw5", kHeadsetVendorId, kProductHeadset, "03", kNoReportIds);
    fs::create_directory_symlink("../../devices/nowhere", tree.Sys() / "class/hidraw/hidraw6");
    SysfsTree::WriteFile(
        tree.Add("hidraw7", kVendorId, kProductKeyboard, "01", kNoReportIds) / "idVendor",
        "not hex\n");
    HidrawBackend backend(MakeSysfsNodeSource(tree.Sys(), tree.Dev()));

    const LogCapture log;
    std::vector<std::string> paths;
    ASSERT_TRUE(backend.Enumerate(paths));
    ASSERT_EQ(paths.size(), 5u);
    EXPECT_EQ(paths[0], tree.DevNode("hidraw1") + "#vid_320f&pid_221c&mi_01&col01");
    EXPECT_EQ(paths[4], tree.DevNode("hidraw5") + "#vid_0c76&pid_1630&mi_03");
    for (const char* skipped : {"hidraw2", "hidraw3", "hidraw4", "hidraw6", "hidraw7"})
        EXPECT_NE(log.text().find(skipped), std::string::npos) << skipped << "\n" << log.text();
}

TEST(HidrawEnumerate, NoNodesIsAnEmptyListButAMissingTreeFails) {
    test::TempDir dir;
    HidrawBackend empty(MakeSysfsNodeSource(dir.path(), "/dev"));
    std::vector<std::string> paths{"stale"};
    EXPECT_TRUE(empty.Enumerate(paths));
    EXPECT_TRUE(paths.empty());

    HidrawBackend missing(MakeSysfsNodeSource(dir.path() / "absent", "/dev"));
    EXPECT_FALSE(missing.Enumerate(paths));
}

// --- Open over a sysfs tree; a FIFO stands in for the device node -------------------------

class HidrawOpenTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree_.Add("hidraw3", kVendorId, kProductMouse, "01", kFourCollections);
        ASSERT_EQ(::mkfifo(tree_.DevNode("hidraw3").c_str(), 0600), 0);
        backend_ = std::make_unique<HidrawBackend>(MakeSysfsNodeSource(tree_.Sys(), tree_.Dev()));
        path_ = tree_.DevNode("hidraw3") + "#vid_320f&pid_221c&mi_01&col";
    }

    SysfsTree tree_;
    std::unique_ptr<HidrawBackend> backend_;
    std::string path_;
};

TEST_F(HidrawOpenTest, FillsTheInfoAndSharesOneReaderPerNode) {
    std::string error;
    auto consumer = backend_->Open(path_ + "03", true, &error);
    ASSERT_TRUE(consumer) << error;
    auto vendor = backend_->Open(path_ + "04", true, &error);
    ASSERT_TRUE(vendor) << error;

    const InterfaceInfo& info = consumer->Info();
    EXPECT_EQ(info.path, path_ + "03");
    EXPECT_EQ(info.vendorId, kVendorId);
    EXPECT_EQ(info.productId, kProductMouse);
    EXPECT_EQ(info.versionNumber, 0x0100);
    EXPECT_EQ(info.interfaceNumber, 1);
    EXPECT_EQ(info.collectionNumber, 3);
    EXPECT_EQ(info.collection.usagePage, 0x000C);
    EXPECT_EQ(info.collection.reportIds, Bytes{3});
    EXPECT_EQ(vendor->Info().collection.usagePage, 0xFF00);

    // The connections outlive the backend.
    backend_.reset();

    // A FIFO hands each byte to one reader only: a second reader on the node would swallow
    // some of these reports and the other connection would miss them.
    const UniqueFd fifo(::open(tree_.DevNode("hidraw3").c_str(), O_WRONLY | O_CLOEXEC));
    ASSERT_TRUE(fifo);
    for (std::uint8_t i = 0; i < 6; ++i) {
        const bool toVendor = i % 2 == 1;
        const Bytes sent = toVendor ? VendorReport(i) : Bytes{3, i, 0};
        ASSERT_EQ(::write(fifo.Get(), sent.data(), sent.size()), ssize_t(sent.size()));
        Bytes got;
        ASSERT_EQ(ReadReport(toVendor ? *vendor : *consumer, got), IoResult::Ok) << int(i);
        EXPECT_EQ(got, sent);
    }
}

TEST_F(HidrawOpenTest, RefusesPathsThatNoLongerNameTheDevice) {
    std::string error;
    EXPECT_FALSE(backend_->Open(tree_.DevNode("hidraw3"), true, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(backend_->Open(path_ + "05", true, &error));
    EXPECT_EQ(error, "device not present: " + path_ + "05");
    EXPECT_FALSE(
        backend_->Open(tree_.DevNode("hidraw9") + "#vid_320f&pid_221c&mi_01", true, &error));

    // The node number now belongs to another product.
    SysfsTree::WriteFile(tree_.Sys() / "devices/pci0000:00/usb1/1-hidraw3/idProduct", "5055\n");
    EXPECT_FALSE(backend_->Open(path_ + "04", true, &error));
    EXPECT_EQ(error, "device not present: " + path_ + "04");
    EXPECT_TRUE(
        backend_->Open(tree_.DevNode("hidraw3") + "#vid_320f&pid_5055&mi_01&col04", true, &error))
        << error;
}

TEST_F(HidrawOpenTest, NoPermissionSaysWhatToDo) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root opens the node whatever its mode";
    ASSERT_EQ(::chmod(tree_.DevNode("hidraw3").c_str(), 0), 0);
    std::string error;
    EXPECT_FALSE(backend_->Open(path_ + "04", false, &error));
    EXPECT_EQ(error, "no permission to open " + tree_.DevNode("hidraw3") +
                         ": install packaging/70-morva-tr510.rules (see README)");
}

// --- Connections on a node; one end of a SOCK_SEQPACKET pair stands in for it --------------

class HidrawNodeTest : public ::testing::Test {
protected:
    void Start(const Bytes& descriptor) {
        int pair[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair), 0);
        peer_.Reset(pair[1]);
        HidrawNodeDetails details;
        details.devnode = "/dev/hidraw0";
        details.descriptor = descriptor;
        bool usesReportIds = false;
        std::string error;
        ASSERT_TRUE(DescribeNode(details, interfaces_, usesReportIds, error)) << error;
        node_ = HidrawNode::Start(UniqueFd(pair[0]), usesReportIds, true, "test", &error);
        ASSERT_TRUE(node_) << error;
    }
    // `collection` counts from 1 like the paths.
    std::unique_ptr<IHidConnection> Connect(std::size_t collection, bool write = true) {
        return node_->Connect(interfaces_.at(collection - 1), write);
    }
    void Send(const Bytes& report) {
        ASSERT_EQ(::send(peer_.Get(), report.data(), report.size(), MSG_NOSIGNAL),
                  ssize_t(report.size()));
    }
    // Everything the peer has received so far.
    std::vector<Bytes> Drain() {
        std::vector<Bytes> got;
        Bytes buffer(256);
        ssize_t n;
        while ((n = ::recv(peer_.Get(), buffer.data(), buffer.size(), MSG_DONTWAIT)) > 0)
            got.emplace_back(buffer.begin(), buffer.begin() + n);
        return got;
    }

    UniqueFd peer_;
    std::vector<InterfaceInfo> interfaces_;
    std::shared_ptr<HidrawNode> node_;
};

TEST_F(HidrawNodeTest, ReportsReachOnlyTheCollectionOwningTheirId) {
    Start(kFourCollections);
    auto keyboard = Connect(1);
    auto consumer = Connect(3);
    auto vendor = Connect(4);

    Send(VendorReport(0x40));
    Send({9, 1, 2});  // nobody's id
    Send({3, 0xE9, 0x00});
    Send({1, 0, 0, 4, 0, 0, 0, 0, 0});

    Bytes got;
    ASSERT_EQ(ReadReport(*consumer, got), IoResult::Ok);
    EXPECT_EQ(got, (Bytes{3, 0xE9, 0x00}));
    ASSERT_EQ(ReadReport(*vendor, got), IoResult::Ok);
    EXPECT_EQ(got, VendorReport(0x40));
    ASSERT_EQ(ReadReport(*keyboard, got), IoResult::Ok);
    EXPECT_EQ(got, (Bytes{1, 0, 0, 4, 0, 0, 0, 0, 0}));
    // The keyboard report was sent last, so everything has been sorted by now.
    for (auto* connection : {consumer.get(), vendor.get(), keyboard.get()})
        EXPECT_EQ(ReadReport(*connection, got, 0), IoResult::Timeout);
}

TEST_F(HidrawNodeTest, WithoutReportIdsEveryReportGetsALeadingZero) {
    Start(kNoReportIds);
    auto consumer = Connect(1);
    Send({0xE9, 0x00});
    Send({0xEA, 0x01});
    Bytes got;
    ASSERT_EQ(ReadReport(*consumer, got), IoResult::Ok);
    EXPECT_EQ(got, (Bytes{0, 0xE9, 0x00}));
    // A short buffer takes what fits.
    std::uint8_t two[2];
    std::size_t transferred = 0;
    ASSERT_EQ(consumer->Read(two, transferred, 2000), IoResult::Ok);
    EXPECT_EQ(transferred, 2u);
    EXPECT_EQ(two[1], 0xEA);
}

TEST_F(HidrawNodeTest, AConnectionSeesOnlyReportsAfterItOpened) {
    Start(kFourCollections);
    auto first = Connect(3);
    Send({3, 1, 0});
    Bytes got;
    ASSERT_EQ(ReadReport(*first, got), IoResult::Ok);

    auto second = Connect(3);
    Send({3, 2, 0});
    ASSERT_EQ(ReadReport(*second, got), IoResult::Ok);
    EXPECT_EQ(got, (Bytes{3, 2, 0}));
    ASSERT_EQ(ReadReport(*first, got), IoResult::Ok);
    EXPECT_EQ(got, (Bytes{3, 2, 0}));
}

TEST_F(HidrawNodeTest, ReadTimesOutAndCancelEndsOnlyTheReadInProgress) {
    Start(kFourCollections);
    auto consumer = Connect(3);
    Bytes got;
    const auto before = Clock::now();
    EXPECT_EQ(ReadReport(*consumer, got, 30), IoResult::Timeout);
    EXPECT_GE(Clock::now() - before, 30ms);
    EXPECT_TRUE(got.empty());

    // A cancel with nothing in progress is not kept for the next call.
    consumer->CancelPending();
    EXPECT_EQ(ReadReport(*consumer, got, 10), IoResult::Timeout);

    std::promise<pid_t> tid;
    auto reader = std::async(std::launch::async, [&] {
        tid.set_value(::gettid());
        Bytes report;
        return ReadReport(*consumer, report, kNoTimeout);
    });
    ASSERT_TRUE(WaitUntilBlocked(tid.get_future().get()));
    consumer->CancelPending();
    ASSERT_EQ(reader.wait_for(2s), std::future_status::ready);
    EXPECT_EQ(reader.get(), IoResult::Cancelled);

    Send({3, 7, 0});
    ASSERT_EQ(ReadReport(*consumer, got), IoResult::Ok);
    EXPECT_EQ(got, (Bytes{3, 7, 0}));
}

TEST_F(HidrawNodeTest, WriteReachesThePeerByteForByte) {
    Start(kFourCollections);
    auto vendor = Connect(4);
    auto readOnly = Connect(4, false);
    std::size_t transferred = 0;
    ASSERT_EQ(vendor->Write(VendorReport(0x10), transferred, 1000), IoResult::Ok);
    EXPECT_EQ(transferred, 64u);
    EXPECT_EQ(readOnly->Write(VendorReport(0x20), transferred, 1000), IoResult::Failed);
    EXPECT_EQ(transferred, 0u);
    EXPECT_EQ(Drain(), std::vector<Bytes>{VendorReport(0x10)});
}

TEST_F(HidrawNodeTest, WriteWaitsForRoomUntilItsTimeLimitOrACancel) {
    Start(kFourCollections);
    auto vendor = Connect(4);
    std::size_t transferred = 0;
    int queued = 0;
    while (vendor->Write(VendorReport(1), transferred, 0) == IoResult::Ok && queued < 100000)
        ++queued;
    ASSERT_GT(queued, 0);
    ASSERT_LT(queued, 100000);

    const auto before = Clock::now();
    EXPECT_EQ(vendor->Write(VendorReport(2), transferred, 30), IoResult::Timeout);
    EXPECT_GE(Clock::now() - before, 30ms);

    std::promise<pid_t> tid;
    auto writer = std::async(std::launch::async, [&] {
        tid.set_value(::gettid());
        std::size_t n = 0;
        return vendor->Write(VendorReport(3), n, kNoTimeout);
    });
    ASSERT_TRUE(WaitUntilBlocked(tid.get_future().get()));
    vendor->CancelPending();
    ASSERT_EQ(writer.wait_for(2s), std::future_status::ready);
    EXPECT_EQ(writer.get(), IoResult::Cancelled);

    EXPECT_EQ(Drain().size(), std::size_t(queued));
    EXPECT_EQ(vendor->Write(VendorReport(4), transferred, 1000), IoResult::Ok);
}

TEST_F(HidrawNodeTest, AVanishedNodeFailsPendingAndLaterCalls) {
    Start(kFourCollections);
    auto consumer = Connect(3);
    auto vendor = Connect(4);
    std::promise<pid_t> tid;
    auto reader = std::async(std::launch::async, [&] {
        tid.set_value(::gettid());
        Bytes report;
        return ReadReport(*consumer, report, kNoTimeout);
    });
    ASSERT_TRUE(WaitUntilBlocked(tid.get_future().get()));
    Send(VendorReport(5));  // arrives before the node goes
    peer_.Reset();
    ASSERT_EQ(reader.wait_for(2s), std::future_status::ready);
    EXPECT_EQ(reader.get(), IoResult::Failed);
    EXPECT_TRUE(node_->Gone());

    Bytes got;
    EXPECT_EQ(ReadReport(*consumer, got, kNoTimeout), IoResult::Failed);
    ASSERT_EQ(ReadReport(*vendor, got, kNoTimeout), IoResult::Ok);
    EXPECT_EQ(got, VendorReport(5));
    EXPECT_EQ(ReadReport(*vendor, got, kNoTimeout), IoResult::Failed);
    std::size_t transferred = 0;
    EXPECT_EQ(vendor->Write(VendorReport(6), transferred, 100), IoResult::Failed);
}

TEST_F(HidrawNodeTest, AnUnreadQueueKeepsTheNewestReports) {
    Start(kFourCollections);
    auto consumer = Connect(3);
    auto vendor = Connect(4);
    const int extra = 10;
    for (int i = 0; i < int(HidrawNode::kQueueLimit) + extra; ++i)
        Send({3, std::uint8_t(i), 0});
    // Reports are sorted in arrival order: once this one is in, all the others are too.
    Send(VendorReport(0));
    Bytes got;
    ASSERT_EQ(ReadReport(*vendor, got), IoResult::Ok);

    for (int i = extra; i < int(HidrawNode::kQueueLimit) + extra; ++i) {
        ASSERT_EQ(ReadReport(*consumer, got, 0), IoResult::Ok) << i;
        EXPECT_EQ(got, (Bytes{3, std::uint8_t(i), 0}));
    }
    EXPECT_EQ(ReadReport(*consumer, got, 0), IoResult::Timeout);
}

TEST_F(HidrawNodeTest, AReaderKeepingUpLosesNothing) {
    Start(kFourCollections);
    auto consumer = Connect(3);
    constexpr int kReports = 3000;
    // The sender stays at most half a queue ahead, so nothing may be dropped.
    std::counting_semaphore<> credit(HidrawNode::kQueueLimit / 2);
    auto sender = std::async(std::launch::async, [&] {
        for (int i = 0; i < kReports; ++i) {
            if (!credit.try_acquire_for(2s))
                return false;
            Send({3, std::uint8_t(i), std::uint8_t(i >> 8)});
            if (i % 7 == 0)
                Send(VendorReport(std::uint8_t(i)));
        }
        return true;
    });
    Bytes got;
    for (int i = 0; i < kReports; ++i) {
        ASSERT_EQ(ReadReport(*consumer, got), IoResult::Ok) << i;
        ASSERT_EQ(got, (Bytes{3, std::uint8_t(i), std::uint8_t(i >> 8)}));
        credit.release();
    }
    EXPECT_TRUE(sender.get());
}

TEST_F(HidrawNodeTest, DestroyingAConnectionWithCallsBlockedInsideIsClean) {
    Start(kFourCollections);
    auto vendor = Connect(4);
    std::size_t transferred = 0;
    for (int i = 0; i < 100000 && vendor->Write(VendorReport(1), transferred, 0) == IoResult::Ok;)
        ++i;

    std::promise<pid_t> readerTid, writerTid;
    auto reader = std::async(std::launch::async, [&, c = vendor.get()] {
        readerTid.set_value(::gettid());
        Bytes report;
        return ReadReport(*c, report, kNoTimeout);
    });
    auto writer = std::async(std::launch::async, [&, c = vendor.get()] {
        writerTid.set_value(::gettid());
        std::size_t n = 0;
        return c->Write(VendorReport(2), n, kNoTimeout);
    });
    ASSERT_TRUE(WaitUntilBlocked(readerTid.get_future().get()));
    ASSERT_TRUE(WaitUntilBlocked(writerTid.get_future().get()));
    vendor.reset();
    EXPECT_EQ(reader.get(), IoResult::Cancelled);
    EXPECT_EQ(writer.get(), IoResult::Cancelled);

    // With its last connection gone the node stops its reader and closes: the peer hangs up.
    node_.reset();
    Drain();
    pollfd fd{peer_.Get(), POLLIN, 0};
    ASSERT_EQ(::poll(&fd, 1, 2000), 1);
    EXPECT_TRUE(fd.revents & POLLHUP);
}

}  // namespace
}  // namespace morva::hid
