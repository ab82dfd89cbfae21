// A new user's first session, through the windows alone: a scale on a serial port (a
// pseudo-terminal) and one on the network (loopback TCP) are set up in the dialogs, typed through
// the X server; the transfer starts, both scales' readings show, and it stops.
#include "window_fixture.h"

#include "app/gui/command_ids.h"
#include "app/gui/pondra_doc.h"
#include "comms/device.h"
#include "comms/settings.h"
#include "dialogs/dialog_driver.h"
#include "dialogs/output_mode.h"
#include "dialogs/port_controls.h"
#include "dialogs/port_dlg.h"
#include "dialogs/scale_set.h"
#include "support/sim_scale.h"
#include "support/x_typing.h"

#include <X11/keysym.h>
#include <wx/choice.h>
#include <wx/textentry.h>

namespace {

using namespace dialog_test;

class NewUserTest : public WindowTest {
protected:
    // Replaces the text of an entry as a person does: select all, type; waits until it shows, so
    // that no key is left for the next field.
    void TypeInto(wxWindow* control, const wxString& text) {
        auto* entry = dynamic_cast<wxTextEntry*>(control);
        ASSERT_TRUE(entry && m_keys.Focus(control));
        m_keys.Press(XK_a, platform::kPressCtrl);
        m_keys.Type(text);
        ASSERT_TRUE(XTyping::Until([&] { return entry->GetValue() == text; })) << entry->GetValue();
    }
    // Enter on the focused OK button ends the dialog.
    void PressEnter(wxDialog& dialog) {
        ASSERT_TRUE(m_keys.Focus(dialog.FindWindow(wxID_OK)));
        m_keys.Press(XK_Return);
        EXPECT_TRUE(XTyping::Until([&] { return !dialog.IsModal(); })) << "Enter did not end the dialog";
    }
    static void PickChoice(wxWindow* parent, int id, const std::string& text) {
        auto* choice = Control<wxChoice>(parent, id);
        ASSERT_TRUE(choice);
        choice->SetSelection(choice->FindString(text, true));
        wxCommandEvent event(wxEVT_CHOICE, id);
        event.SetEventObject(choice);
        event.SetInt(choice->GetSelection());
        choice->HandleWindowEvent(event);
    }
    bool ViewHas(const std::string& text) {
        return XTyping::Until([&] { return Frame()->GetView()->GetText().find(text) != std::string::npos; });
    }

    XTyping m_keys;
};

TEST_F(NewUserTest, SetsUpASerialAndATcpScaleStartsSeesReadingsAndStops) {
    if (!m_keys.Error().empty())
        GTEST_SKIP() << m_keys.Error();
    sim::SimScale bench(sim::SimScale::Pty), line(sim::SimScale::Tcp);
    ASSERT_TRUE(Start());
    EXPECT_EQ(m_boxes, std::vector<std::string>{kSettingsFileCreatedText});

    // Port Setting: the first scale on the pseudo-terminal, then a new one on TCP.
    WhenOpened<CPortDlg>([&](CPortDlg& dialog) {
        TypeInto(dialog.FindWindow(CPortDlg::IDC_NAME), "Bench");
        TypeInto(dialog.FindWindow(CPortDlg::IDC_PORT), bench.PortPath());
        PickChoice(&dialog, CPortDlg::IDC_PARITY, "None");
        Click(&dialog, CPortDlg::IDC_APPLY);

        PickChoice(&dialog, CPortDlg::IDC_SCALE, "<Add new scale>");
        TypeInto(dialog.FindWindow(CPortDlg::IDC_NAME), "Line");
        ChooseRadio(&dialog, CPortDlg::IDC_ETHERNET);
        auto* ip = Control<IpAddressCtrl>(&dialog, CPortDlg::IDC_IP_ADDRESS);
        ASSERT_TRUE(m_keys.Focus(ip->Field(0)));
        m_keys.Type("127.0.0.1");
        ASSERT_TRUE(XTyping::Until([&] { return dialog.GetIpText() == "127.0.0.1"; })) << dialog.GetIpText();
        TypeInto(dialog.FindWindow(CPortDlg::IDC_TCP_PORT), std::to_string(line.TcpPort()));
        PressEnter(dialog);
    });
    Command(ID_PORT_SETTING);
    ASSERT_EQ(g_DeviceCount, 2);
    EXPECT_EQ(g_DeviceList[0]->m_name, "Bench");
    EXPECT_EQ(g_DeviceList[0]->m_port, bench.PortPath());
    EXPECT_EQ(g_DeviceList[1]->m_name, "Line");
    EXPECT_EQ(g_DeviceList[1]->m_useEthernet, "1");
    EXPECT_EQ(g_DeviceList[1]->m_ipAddress, "127.0.0.1");

    // The scales print on their own (Manual mode) and the readings go to the view and the log.
    WhenOpened<CScaleSet>([&](CScaleSet& dialog) {
        ChooseRadio(&dialog, CScaleSet::IDC_MANUAL_MODE);
        PressEnter(dialog);
    });
    Command(ID_SCALE_SETTING);
    WhenOpened<COutputMode>([&](COutputMode& dialog) {
        ChooseRadio(&dialog, COutputMode::kIdLog);
        PressEnter(dialog);
    });
    Command(ID_OUTPUT_MODE);
    EXPECT_EQ(g_OutMode, "Log");
    // What the Log File command stores once the system's file chooser returns.
    Frame()->SetLogFileChoice((m_dir / "Data.log").string());

    bench.Run({sim::Send("0  +0012.345\r\r\n"), sim::Silent()});
    line.Run({sim::Send("0  +0034.500\r\r\n"), sim::Silent()});
    Command(ID_TRANSFER_START);
    EXPECT_TRUE(ViewHas("+12.34")) << Frame()->GetView()->GetText();
    EXPECT_TRUE(ViewHas("+34.50")) << Frame()->GetView()->GetText();
    EXPECT_TRUE(IsEnabled(ID_TRANSFER_STOP));

    Command(ID_TRANSFER_STOP);
    EXPECT_TRUE(XTyping::Until([] { return !g_DeviceList[0]->m_worker && !g_DeviceList[1]->m_worker; }));
    EXPECT_TRUE(IsEnabled(ID_TRANSFER_START));
    const std::string log = ReadFile(m_dir / "Data.log");
    EXPECT_NE(log.find("+12.34"), std::string::npos) << log;
    EXPECT_NE(log.find("+34.50"), std::string::npos) << log;
    EXPECT_EQ(m_boxes.size(), 1u) << m_boxes.back();
}

} // namespace
