#include "window_fixture.h"

#include "app/gui/frame_notifier.h"
#include "support/wait.h"

#include <atomic>
#include <thread>

namespace {

// Receives what a notifier queues, as the main window does.
class Receiver : public wxEvtHandler {
public:
    explicit Receiver(FrameNotifier& notifier) : m_notifier(notifier) {
        Bind(EVT_SCALE_MESSAGE,
             [this](wxThreadEvent& e) { m_messages.push_back(e.GetPayload<ScaleMessage>()); });
        Bind(EVT_WORKER_MESSAGE_BOX, [this](wxThreadEvent& e) {
            auto request = e.GetPayload<std::shared_ptr<WorkerMessageBox>>();
            if (request->IsDone())
                return;
            m_boxes.push_back(request->text);
            m_notifier.Complete(request);
        });
    }
    FrameNotifier& m_notifier;
    std::vector<ScaleMessage> m_messages;
    std::vector<std::string> m_boxes;
};

void PumpUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 2000 && !done(); ++i) {
        wxTheApp->ProcessPendingEvents();
        wxMilliSleep(5);
    }
}

} // namespace

TEST(FrameNotifierTest, WorkerMessagesReachTheGuiThreadInOrderAndAreDroppedWithoutAWindow) {
    FrameNotifier notifier;
    Receiver receiver(notifier);
    notifier.SetTarget(&receiver);
    std::thread worker([&] {
        notifier.PostMessage(WM_SCALE_TEXT, 3, 0);
        notifier.PostMessage(WM_SCALE_STATUS, 3, kStatusReadError);
    });
    worker.join();
    PumpUntil([&] { return receiver.m_messages.size() == 2; });
    ASSERT_EQ(receiver.m_messages.size(), 2u);
    EXPECT_EQ(receiver.m_messages[0].message, WM_SCALE_TEXT);
    EXPECT_EQ(receiver.m_messages[1].message, WM_SCALE_STATUS);
    EXPECT_EQ(receiver.m_messages[1].wParam, 3u);
    EXPECT_EQ(receiver.m_messages[1].lParam, kStatusReadError);

    notifier.SetTarget(nullptr);
    notifier.PostMessage(WM_SCALE_TEXT, 1, 0);
    wxTheApp->ProcessPendingEvents();
    EXPECT_EQ(receiver.m_messages.size(), 2u);
}

TEST(FrameNotifierTest, WorkerWaitsUntilItsBoxWasShownAndIsReleasedWhenTheWindowGoes) {
    FrameNotifier notifier;
    Receiver receiver(notifier);
    notifier.SetTarget(&receiver);
    std::atomic<bool> returned{false};
    std::atomic<pid_t> thread{0};
    std::thread worker([&] {
        thread = sim::ThisThread();
        notifier.ShowMessageBoxAndWait("Scale A: Please reset scale weight!");
        returned = true;
    });
    EXPECT_TRUE(sim::WaitUntilBlocked(thread, sim::Blocked::InPollOrFutex));
    EXPECT_FALSE(returned); // nothing has shown the box yet
    PumpUntil([&] { return returned.load(); });
    worker.join();
    EXPECT_EQ(receiver.m_boxes, std::vector<std::string>{"Scale A: Please reset scale weight!"});

    // A box still waiting when the window goes away no longer holds its worker.
    returned = false;
    thread = 0;
    std::thread waiting([&] {
        thread = sim::ThisThread();
        notifier.ShowMessageBoxAndWait("Scale A: Receiving error signal from scale!");
        returned = true;
    });
    EXPECT_TRUE(sim::WaitUntilBlocked(thread, sim::Blocked::InPollOrFutex));
    notifier.SetTarget(nullptr);
    waiting.join();
    EXPECT_TRUE(returned);
    notifier.ShowMessageBoxAndWait("no window: returns at once");
    wxTheApp->ProcessPendingEvents();
    EXPECT_EQ(receiver.m_boxes.size(), 1u);

    // Asked on the GUI thread itself, the box is shown later instead of waiting for ever.
    notifier.SetTarget(&receiver);
    notifier.ShowMessageBoxAndWait("from the GUI thread");
    PumpUntil([&] { return receiver.m_boxes.size() == 2; });
    EXPECT_EQ(receiver.m_boxes.back(), "from the GUI thread");
    notifier.SetTarget(nullptr);
}

TEST_F(WindowTest, MainWindowShowsAWorkersBoxThroughTheMessageBoxes) {
    ASSERT_TRUE(Start());
    NotifyWindow* notify = Frame()->GetNotifyWindow();
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        notify->ShowMessageBoxAndWait("Scale Scale01: Please reset scale weight!");
        returned = true;
    });
    PumpUntil([&] { return returned.load(); });
    worker.join();
    ASSERT_FALSE(m_boxes.empty());
    EXPECT_EQ(m_boxes.back(), "Scale Scale01: Please reset scale weight!");
}
