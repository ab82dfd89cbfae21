// The program window with its transfer running against simulated scales: the fixture of the
// end-to-end transfer tests and of the soak test.
#pragma once

#include "window_fixture.h"

#include "app/gui/pondra_doc.h"
#include "app/gui/scale_message_box.h"
#include "comms/device.h"
#include "comms/settings.h"

#include <wx/timer.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

// Ends every scale message box that opens, noting its text, and whether it offers Cancel, at the
// moment it is ended.
class ScaleBoxCloser {
public:
    // `settle` ticks of 20 ms pass before a box is ended, so that later errors can reach it.
    ScaleBoxCloser(CMainFrame* frame, int settle = 0) : m_frame(frame), m_settle(settle) {
        m_timer.Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
            const std::string text = m_frame->GetOpenScaleBoxText();
            if (text.empty() || ++m_ticks <= m_settle)
                return;
            m_ticks = 0;
            m_texts.push_back(text);
            for (wxWindow* window : wxTopLevelWindows)
                if (auto* box = dynamic_cast<CScaleMessageBox*>(window); box && box->IsModal()) {
                    m_offersCancel.push_back(box->OffersCancel());
                    box->EndModal(wxID_OK);
                }
        });
        m_timer.Start(20);
    }
    const std::vector<std::string>& Texts() const { return m_texts; }
    const std::vector<bool>& OffersCancel() const { return m_offersCancel; }

private:
    CMainFrame* m_frame;
    int m_settle;
    int m_ticks = 0;
    wxTimer m_timer;
    std::vector<std::string> m_texts;
    std::vector<bool> m_offersCancel;
};

class TransferTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(StartWithDefaults());
        m_boxes.clear();
        g_FieldEnabled[DF_DATE_TIME] = 0; // lines without the clock, so they can be compared
        g_RunMode = "Manual";
        g_OutMode = "Log";
        Frame()->SetLogFileChoice(LogPath());
    }
    void TearDown() override {
        if (Frame()) {
            // A scale whose simulated line went away at the end of the test reports a read error.
            ScaleBoxCloser closer(Frame());
            Frame()->StopAll();
            WaitForWorkersToEnd();
            Pump();
        }
        WindowTest::TearDown();
    }

    std::string LogPath() const { return (m_dir / "Data.log").string(); }
    std::string ViewText() { return Frame()->GetView()->GetText(); }
    static Device* Scale(int i) { return g_DeviceList[i].get(); }

    // Pumps events until the condition holds or the time is up (generous, for a busy machine).
    static bool PumpUntil(const std::function<bool()>& condition,
                          std::chrono::milliseconds limit = std::chrono::seconds(30)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            Pump(1);
        }
        return true;
    }
    void WaitForWorkersToEnd() {
        PumpUntil([] {
            for (const auto& dev : g_DeviceList)
                if (dev->m_worker && !dev->m_worker->HasEnded())
                    return false;
            return true;
        });
        for (const auto& dev : g_DeviceList)
            if (dev->m_worker)
                dev->m_worker->Join();
    }
    bool LogHas(const std::string& text) {
        return PumpUntil([&] { return ReadFile(LogPath()) == text; });
    }
};
