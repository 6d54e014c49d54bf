// Stopping and starting the spooler through Wine's service manager: its own
// spooler, and a stand-in service (slow_service.exe) that takes about a
// second for each change, so that the pending states show, or longer to stop
// when it is registered with an argument.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "common/ServiceHandle.h"
#include "door/SpoolerService.h"
#include "support/WineBed.h"

namespace {

DWORD StateOf(SC_HANDLE service)
{
    SERVICE_STATUS status{};
    return QueryServiceStatus(service, &status) ? status.dwCurrentState : 0;
}

DWORD SpoolerState()
{
    ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    ServiceHandle spooler(manager ? OpenServiceA(manager.Get(), "Spooler", SERVICE_QUERY_STATUS) : nullptr);
    return spooler ? StateOf(spooler.Get()) : 0;
}

// Stops the service, whatever it is doing, and removes it.
void StopAndDelete(SC_HANDLE service)
{
    const auto settled = [&] {
        const DWORD state = StateOf(service);
        return state != SERVICE_START_PENDING && state != SERVICE_STOP_PENDING;
    };
    bed::WaitFor(settled, 5000);
    SERVICE_STATUS status{};
    if (StateOf(service) == SERVICE_RUNNING)
        ControlService(service, SERVICE_CONTROL_STOP, &status);
    bed::WaitFor([&] { return StateOf(service) == SERVICE_STOPPED; }, 5000);
    DeleteService(service);
}

// The stand-in, registered in the bed's prefix for one test with the given
// argument, chosen as the spooler, and stopped and removed again after it.
class SlowService {
public:
    static constexpr char kName[] = "QrvSlowSpoolerTest";

    explicit SlowService(const char* argument = nullptr)
    {
        manager_.Attach(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        if (!manager_)
            return;
        // One left by an earlier run that was cut short.
        if (ServiceHandle earlier{OpenServiceA(manager_.Get(), kName, SERVICE_ALL_ACCESS)})
            StopAndDelete(earlier.Get());
        std::string program = bed::TestDirectory() + "slow_service.exe";
        if (argument)
            program = program + " " + argument;
        bed::WaitFor(
            [&] {
                service_.Attach(CreateServiceA(manager_.Get(), kName, kName, SERVICE_ALL_ACCESS,
                                               SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                               program.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
                return static_cast<bool>(service_) || GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE;
            },
            5000);
        UseServiceAsSpooler(kName);
    }
    ~SlowService()
    {
        UseServiceAsSpooler(nullptr);
        if (service_)
            StopAndDelete(service_.Get());
    }
    SlowService(const SlowService&) = delete;
    SlowService& operator=(const SlowService&) = delete;

    bool Registered() const { return static_cast<bool>(service_); }
    SC_HANDLE Handle() const { return service_.Get(); }
    DWORD State() const { return StateOf(service_.Get()); }

private:
    ServiceHandle manager_;
    ServiceHandle service_;
};

} // namespace

TEST(SpoolerService, StopThenStartAndStartingARunningSpoolerSucceeds)
{
    EXPECT_EQ(StopSpoolerService(), 1);
    EXPECT_TRUE(bed::WaitFor([] { return SpoolerState() == SERVICE_STOPPED; }, 10000));
    EXPECT_EQ(StopSpoolerService(), 0) << "a stopped service takes no stop request";
    EXPECT_EQ(StartSpoolerService(), 1);
    EXPECT_TRUE(bed::WaitFor([] { return SpoolerState() == SERVICE_RUNNING; }, 10000));
    EXPECT_EQ(StartSpoolerService(), 1) << "already running";
}

TEST(SpoolerService, ASlowServiceIsWaitedForUntilItHasStoppedOrRuns)
{
    SlowService slow;
    ASSERT_TRUE(slow.Registered()) << GetLastError();

    EXPECT_EQ(StartSpoolerService(), 1);
    EXPECT_EQ(slow.State(), static_cast<DWORD>(SERVICE_RUNNING)) << "running, not still starting";
    EXPECT_EQ(StopSpoolerService(), 1);
    EXPECT_EQ(slow.State(), static_cast<DWORD>(SERVICE_STOPPED)) << "stopped, not still stopping";

    SCOPED_TRACE("started while a stop is still pending");
    ASSERT_EQ(StartSpoolerService(), 1);
    SERVICE_STATUS status{};
    ASSERT_TRUE(ControlService(slow.Handle(), SERVICE_CONTROL_STOP, &status));
    ASSERT_EQ(slow.State(), static_cast<DWORD>(SERVICE_STOP_PENDING));
    EXPECT_EQ(StartSpoolerService(), 1);
    EXPECT_EQ(slow.State(), static_cast<DWORD>(SERVICE_RUNNING));
}

// The stand-in's slow stops report a wait hint of 1 s, which counts as 5 s.
TEST(SpoolerService, AStopIsWaitedForAsLongAsItsCheckpointAdvances)
{
    SlowService slow{"long-stop"}; // 7 s, a new checkpoint every 500 ms
    ASSERT_TRUE(slow.Registered()) << GetLastError();
    ASSERT_EQ(StartSpoolerService(), 1);
    const ULONGLONG asked = GetTickCount64();
    EXPECT_EQ(StopSpoolerService(), 1);
    EXPECT_EQ(slow.State(), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_GE(GetTickCount64() - asked, 6000u) << "the stand-in stopped sooner than it should";
}

TEST(SpoolerService, AStopWhoseCheckpointStandsStillIsGivenUpAfterTheWaitHint)
{
    SlowService slow{"frozen-stop"}; // 6.5 s with the same checkpoint
    ASSERT_TRUE(slow.Registered()) << GetLastError();
    ASSERT_EQ(StartSpoolerService(), 1);
    const ULONGLONG asked = GetTickCount64();
    EXPECT_EQ(StopSpoolerService(), 0);
    const ULONGLONG waited = GetTickCount64() - asked;
    EXPECT_EQ(slow.State(), static_cast<DWORD>(SERVICE_STOP_PENDING)) << "given up while it still stops";
    EXPECT_GE(waited, 5000u);
    EXPECT_LT(waited, 6000u);
}
