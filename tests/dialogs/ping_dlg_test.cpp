#include "dialogs/ping_dlg.h"
#include "modeless_driver.h"

#include <gtest/gtest.h>

#include <memory>
#include <wx/button.h>
#include <wx/textctrl.h>

namespace {

using namespace dialog_test;
using namespace std::chrono_literals;

int Count(const wxString& text, const wxString& part) {
    int n = 0;
    for (size_t at = text.find(part); at != wxString::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

TEST(PingDlg, RunsFourEchoesAndRetryAppendsAnotherRun) {
    auto dlg = std::make_unique<CPingDlg>();
    dlg->m_address = "127.0.0.1";
    OpenModeless(dlg.get());
    EXPECT_EQ(dlg->GetTitle(), "Ping 127.0.0.1");
    EXPECT_FALSE(dlg->RetryButton()->IsEnabled());

    const auto output = [&] { return dlg->Output()->GetValue(); };
    if (!PumpUntil([&] { return dlg->RetryButton()->IsEnabled() || output().Contains("WSAError"); }, 30s))
        FAIL() << "the run did not end: " << output();
    if (output().Contains("socket() - WSAError"))
        GTEST_SKIP() << "no ICMP socket on this machine: " << output();

    wxString text = output();
    EXPECT_TRUE(text.StartsWith("\nPinging 127.0.0.1 with 32 bytes of data:\n")) << text;
    EXPECT_EQ(Count(text, "Reply from 127.0.0.1: bytes=32 time="), 4) << text;
    EXPECT_TRUE(text.Contains("Packets: Sent = 4, Received = 4, Lost = 0 (0% loss),")) << text;
    EXPECT_TRUE(text.Contains("Approximate round trip times in milli-seconds:")) << text;
    EXPECT_TRUE(dlg->Output()->IsEditable() == false);

    // Retry starts a second run below the first; the output is never cleared.
    Click(dlg.get(), CPingDlg::IDC_RETRY);
    EXPECT_FALSE(dlg->RetryButton()->IsEnabled());
    ASSERT_TRUE(PumpUntil([&] { return dlg->RetryButton()->IsEnabled(); }, 30s)) << output();
    text = output();
    EXPECT_EQ(Count(text, "Pinging 127.0.0.1"), 2) << text;
    EXPECT_EQ(Count(text, "Reply from 127.0.0.1"), 8) << text;

    Click(dlg.get(), CPingDlg::IDC_CLOSE);
    EXPECT_EQ(dlg->GetReturnCode(), wxID_CANCEL);
}

TEST(PingDlg, ClosingDuringARunEndsTheWorkerPromptly) {
    std::chrono::steady_clock::time_point closed;
    {
        auto dlg = std::make_unique<CPingDlg>();
        dlg->m_address = "127.0.0.1";
        OpenModeless(dlg.get());
        PumpUntil([&] { return dlg->Output()->GetValue().Contains("Reply from"); }, 30s);
        closed = std::chrono::steady_clock::now();
        Click(dlg.get(), CPingDlg::IDC_CLOSE);
    } // the worker is stopped and joined here; lines it still queued go with the dialog
    // Within milliseconds: the worker's pause after a reply ends at once. Sitting out the pause
    // (800 ms) would take twice this bound.
    EXPECT_LT(std::chrono::steady_clock::now() - closed, 400ms);
    Pump();
}

} // namespace
