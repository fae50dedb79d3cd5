// WinHidPlatform's file calls on the real Windows functions (Windows builds only; under Wine
// in CI). Named pipes stand in for the device's interface: CreateFileA opens them as it opens
// a HID path, and overlapped reads, cancels and broken ends behave the same way.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/ConnHIDCOM.h"
#include "link/WinHidPlatform.h"
#include "support/WaitFor.h"

namespace quelvar::link {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using CancelWay = WinHidPlatform::CancelWay;

// The server ends of a named pipe with `instances` instances (one per client handle).
class PipeServer {
  public:
    explicit PipeServer(int instances = 1) {
        static std::atomic<int> counter{0};
        name = "\\\\.\\pipe\\quelvar-test-" + std::to_string(GetCurrentProcessId()) + "-" +
               std::to_string(counter++);
        for (int i = 0; i < instances; ++i) {
            HANDLE pipe = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX,
                                           PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                                           static_cast<DWORD>(instances), 4096, 4096, 0, nullptr);
            EXPECT_NE(pipe, INVALID_HANDLE_VALUE) << GetLastError();
            ends.push_back(pipe);
        }
    }
    ~PipeServer() { CloseAll(); }
    PipeServer(const PipeServer&) = delete;
    PipeServer& operator=(const PipeServer&) = delete;

    bool Send(std::size_t instance, const std::vector<unsigned char>& bytes) {
        DWORD written = 0;
        return WriteFile(ends.at(instance), bytes.data(), static_cast<DWORD>(bytes.size()),
                         &written, nullptr) != FALSE &&
               written == bytes.size();
    }
    // Bytes waiting on an instance, without taking them.
    DWORD Waiting(std::size_t instance) {
        DWORD available = 0;
        return PeekNamedPipe(ends.at(instance), nullptr, 0, nullptr, &available, nullptr)
                   ? available
                   : 0;
    }
    std::vector<unsigned char> Receive(std::size_t instance) {
        std::vector<unsigned char> bytes(4096);
        DWORD received = 0;
        if (!ReadFile(ends.at(instance), bytes.data(), static_cast<DWORD>(bytes.size()), &received,
                      nullptr)) {
            return {};
        }
        bytes.resize(received);
        return bytes;
    }
    void CloseAll() {
        for (HANDLE& end : ends) {
            if (end != INVALID_HANDLE_VALUE) {
                CloseHandle(end);
                end = INVALID_HANDLE_VALUE;
            }
        }
    }

    std::string name;
    std::vector<HANDLE> ends;
};

std::vector<unsigned char> StatusReport(std::uint8_t code, const std::string& text) {
    std::vector<unsigned char> report(kReportSize, 0);
    report[2] = code;
    std::memcpy(report.data() + 5, text.data(), text.size());
    return report;
}

// Runs one Read on a thread of its own, as the receiver does.
struct ReadInThread {
    explicit ReadInThread(HidReader& reader)
        : thread([this, &reader] {
              status = reader.Read(report);
              done = true;
          }) {}
    ~ReadInThread() { thread.join(); }
    Report report{};
    std::atomic<ReadStatus> status{ReadStatus::kFailed};
    std::atomic<bool> done{false};
    std::thread thread;
};

class WinHidPlatformTest : public ::testing::TestWithParam<CancelWay> {
  protected:
    WinHidPlatform platform{WinSetupCalls::Real(), GetParam()};
};

TEST_P(WinHidPlatformTest, CancelEndsAPendingReadAtOnceAndEveryLaterOne) {
    PipeServer server;
    // Wine's kernel32, as Windows' since Vista, has CancelIoEx.
    EXPECT_EQ(platform.UsesCancelIoEx(), GetParam() == CancelWay::kCancelIoEx);
    std::unique_ptr<HidReader> reader = platform.OpenReader(server.name);
    ASSERT_NE(reader, nullptr);
    Clock::time_point cancelled;
    {
        ReadInThread read(*reader);
        std::this_thread::sleep_for(100ms);
        EXPECT_FALSE(read.done);  // blocked in the read
        cancelled = Clock::now();
        reader->Cancel();
        EXPECT_TRUE(test::WaitFor([&] { return read.done.load(); }, 2000ms));
        EXPECT_EQ(read.status, ReadStatus::kCancelled);
    }
    // CancelIoEx ends it at once; the timed waits within a slice.
    EXPECT_LT(Clock::now() - cancelled, WinHidPlatform::kReadSlice + 250ms);
    Report report{};
    EXPECT_EQ(reader->Read(report), ReadStatus::kCancelled);
}

TEST_P(WinHidPlatformTest, TheOtherEndGoingAwayFailsThePendingRead) {
    PipeServer server;
    std::unique_ptr<HidReader> reader = platform.OpenReader(server.name);
    ASSERT_NE(reader, nullptr);
    ReadInThread read(*reader);
    std::this_thread::sleep_for(100ms);
    server.CloseAll();  // as a pulled cable
    EXPECT_TRUE(test::WaitFor([&] { return read.done.load(); }, 2000ms));
    EXPECT_EQ(read.status, ReadStatus::kFailed);
}

// Discovery that finds the communicator at the pipe's path.
std::string discoveredPath;
const WinSetupCalls& CallsFindingThePipe() {
    static int token;
    static const WinSetupCalls calls{
        []() -> WinSetupCalls::DeviceSet { return &token; },
        [](WinSetupCalls::DeviceSet, unsigned long index, WinSetupCalls::Element&) {
            SetLastError(index == 0 ? ERROR_SUCCESS : ERROR_NO_MORE_ITEMS);
            return index == 0;
        },
        [](WinSetupCalls::DeviceSet, WinSetupCalls::Element&, unsigned char* buffer,
           unsigned long size, unsigned long* required) {
            static const char id[] = "HID\\VID_04D8&PID_003F\0";
            *required = sizeof id;
            if (buffer == nullptr || size < sizeof id) {
                SetLastError(ERROR_INSUFFICIENT_BUFFER);
                return false;
            }
            std::memcpy(buffer, id, sizeof id);
            return true;
        },
        [](WinSetupCalls::DeviceSet, WinSetupCalls::Element&, void* detail, unsigned long size,
           unsigned long* required, WinSetupCalls::Element*) {
            *required = static_cast<unsigned long>(4 + discoveredPath.size() + 1);
            if (detail == nullptr || size < *required) {
                SetLastError(ERROR_INSUFFICIENT_BUFFER);
                return false;
            }
            std::memcpy(static_cast<char*>(detail) + 4, discoveredPath.c_str(),
                        discoveredPath.size() + 1);
            return true;
        },
        [](WinSetupCalls::DeviceSet) {},
        [] { return static_cast<unsigned long>(GetLastError()); }};
    return calls;
}

class DetachCounter : public ChangeStateEvent {
  public:
    void OnChangeState(const std::string& state) override {
        (state == kStateAttached ? attached : detached)++;
    }
    std::atomic<int> attached{0};
    std::atomic<int> detached{0};
};

TEST_P(WinHidPlatformTest, TheLinkAttachesExchangesAndStopsOnTheWindowsCalls) {
    PipeServer server(2);  // one instance for the read handle, one for the write handle
    discoveredPath = server.name;
    WinHidPlatform pipePlatform(CallsFindingThePipe(), GetParam());
    ConnHIDCOM connection(pipePlatform);
    DetachCounter states;
    connection.AddStateListener(&states);
    connection.SetAckTimeout(2000ms);
    ASSERT_TRUE(connection.Open());
    ASSERT_TRUE(test::WaitFor([&] { return connection.IsAttached(); }, 3000ms));

    // A command goes out on the write handle as a 65-byte report with report ID 0 ...
    std::atomic<bool> acknowledged{false};
    std::thread sender([&] {
        Command command{};
        command[0] = 4;
        std::memcpy(command.data() + 4, "SFWN=1", 6);
        acknowledged = connection.Device().SendCommand(command);
    });
    std::size_t writerEnd = 2;
    ASSERT_TRUE(test::WaitFor([&] {
        for (std::size_t i = 0; i < 2; ++i) {
            writerEnd = server.Waiting(i) > 0 ? i : writerEnd;
        }
        return writerEnd < 2;
    }));
    const std::vector<unsigned char> command = server.Receive(writerEnd);
    ASSERT_EQ(command.size(), kReportSize);
    EXPECT_EQ(command[0], 0);
    EXPECT_EQ(command[1], 4);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(command.data()) + 5), "SFWN=1");
    // ... and its answer, three bytes long here, comes in on the read handle.
    const std::size_t readerEnd = 1 - writerEnd;
    ASSERT_TRUE(server.Send(readerEnd, {0, 0, 4}));
    sender.join();
    EXPECT_TRUE(acknowledged);
    ASSERT_TRUE(server.Send(readerEnd, StatusReport(200, "17")));
    EXPECT_TRUE(test::WaitFor([&] { return connection.Snapshot().gsmSignal == "17"; }));

    // Close ends the pending read and the receiver thread.
    const Clock::time_point start = Clock::now();
    connection.Close();
    EXPECT_LT(Clock::now() - start, WinHidPlatform::kReadSlice + 500ms);
    EXPECT_EQ(states.attached, 1);
    EXPECT_EQ(states.detached, 1);
}

INSTANTIATE_TEST_SUITE_P(CancelWays, WinHidPlatformTest,
                         ::testing::Values(CancelWay::kCancelIoEx, CancelWay::kTimedWaits),
                         [](const ::testing::TestParamInfo<CancelWay>& way) {
                             return std::string(way.param == CancelWay::kCancelIoEx ? "CancelIoEx"
                                                                                    : "TimedWaits");
                         });

}  // namespace
}  // namespace quelvar::link
