// End-to-end runs of a scale model: the model's worker procedure on a worker thread, talking to a
// simulated scale over a pseudo-terminal or loopback TCP, with a notify window that plays the GUI
// thread's part (takes each reading, records each trace line and message).
#pragma once

#include "comms/engine_support.h"
#include "comms/link.h"
#include "comms/model_table.h"
#include "support/recording_notify.h"
#include "support/sim_scale.h"
#include "support/wait.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using Fields = std::map<int, std::string>;
using Reading = std::array<std::string, kLastReadingField + 1>;

// Takes each reading the moment it is announced, as the GUI thread would: the announcing parser
// runs on the worker with the readings lock held, so the fields are read right there.
class ScaleGui : public RecordingNotify {
public:
    explicit ScaleGui(Device* dev) : m_dev(dev) {}

    void PostMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
        if (message == WM_SCALE_TEXT) {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (g_OutMode == "Test")
                m_lines.push_back(m_dev->GetLastText());
            // A parser announces its reading holding the readings lock, so the queue is ours here.
            for (unsigned dropped = 0; m_dev->m_parsing && m_dev->TakeReading(&dropped);) {
                Reading reading;
                for (int k = kFirstReadingField; k <= kLastReadingField; ++k)
                    reading[k] = m_dev->DeliveredField(k);
                m_readings.push_back(reading);
            }
            m_dev->m_readingTaken = 0;
        }
        RecordingNotify::PostMessage(message, wParam, lParam);
    }

    std::vector<Reading> Readings() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_readings;
    }
    std::vector<std::string> Lines() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_lines;
    }

private:
    Device* m_dev;
    mutable std::mutex m_mutex;
    std::vector<Reading> m_readings;
    std::vector<std::string> m_lines;
};

class ModelRunBase : public ::testing::Test {
protected:
    explicit ModelRunBase(sim::SimScale::Transport transport) : m_transport(transport) {}
    void SetUp() override {
        DestroyDeviceList();
        ResetSettingsValues();
        g_OutMode = "Log";
        for (auto& format : g_FieldFormats)
            format = FieldFormat{"10000.000", kRoundDown};
        dev = CreateDevice();
        gui = std::make_unique<ScaleGui>(dev);
        dev->m_notifyWindow = gui.get();
        scale = std::make_unique<sim::SimScale>(m_transport);
    }
    // Safe to call more than once: tests that run several cases end each with it.
    void TearDown() override {
        if (dev)
            Stop();
        DestroyDeviceList();
        dev = nullptr;
        scale.reset();
        gui.reset();
        ResetSettingsValues();
    }

    // Opens the link to the simulated scale, starts its script and the model's worker procedure
    // in the given run mode.
    void Start(const std::string& model, const std::string& runMode, std::vector<sim::Step> script) {
        g_ModelName = model;
        g_RunMode = runMode;
        ModelRow row{};
        std::string name = model;
        LookupModel(&row, &name);
        ASSERT_EQ(name, model);
        scale->Attach(dev);
        ASSERT_EQ(OpenDeviceLink(dev), "");
        scale->Run(std::move(script));
        workerThread = 0;
        dev->m_worker = std::make_unique<platform::WorkerThread>();
        dev->m_worker->Start(dev->m_name, [this, d = dev, worker = row.worker] {
            workerThread = sim::ThisThread();
            return worker(d);
        });
    }
    // Waits until the worker has read every byte the scale sent and sleeps again: in a read, or
    // also in a wait for a request.
    bool WorkerBlocked(sim::Blocked how = sim::Blocked::InPoll) {
        return sim::WaitUntilAllRead(workerThread, *scale, how);
    }
    // The user's Stop: the stop event, then the link closed at once.
    void Stop() {
        dev->StopEvent.Set();
        CloseDevice(dev);
    }
    // The session's final code (-1 when none came). Sessions end within a few seconds; the
    // time-out is generous for a busy machine.
    int FinalCode(std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
        const int code = gui->WaitForStatus(timeout);
        if (code >= 0 && dev->m_worker)
            dev->m_worker->Join();
        return code;
    }
    bool WaitForReadings(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        return sim::WaitUntil([&] { return gui->Readings().size() >= count; }, timeout);
    }
    static void ExpectFields(const Reading& reading, const Fields& fields, const std::string& what) {
        for (const auto& [k, value] : fields)
            EXPECT_EQ(reading[k], value) << g_DataFieldKeywords[k] << " of " << what;
    }

    sim::SimScale::Transport m_transport;
    Device* dev = nullptr;
    std::unique_ptr<ScaleGui> gui;
    std::unique_ptr<sim::SimScale> scale;
    std::atomic<pid_t> workerThread{0};
};

// Runs over both transports.
class ModelRunFixture : public ModelRunBase, public ::testing::WithParamInterface<sim::SimScale::Transport> {
protected:
    ModelRunFixture() : ModelRunBase(GetParam()) {}
};

inline std::string TransportName(const ::testing::TestParamInfo<sim::SimScale::Transport>& info) {
    return info.param == sim::SimScale::Pty ? "Pty" : "Tcp";
}
