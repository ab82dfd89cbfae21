#include "dialogs/ping_dlg.h"
#include "dialogs/port_controls.h"
#include "dialogs/port_dlg.h"
#include "modeless_driver.h"
#include "platform/serial_devices.h"
#include "support/sim_scale.h"
#include "support/x_typing.h"
#include "support/xlsx_fixture.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <wx/clipbrd.h>
#include <wx/frame.h>

#include <filesystem>
#include <memory>

namespace {

using namespace dialog_test;
using D = CPortDlg;

class PortDlgTest : public ::testing::Test {
protected:
    void Open(int scales) {
        MakeScales(scales);
        OpenAgain();
    }
    void OpenAgain() {
        m_dlg = std::make_unique<CPortDlg>();
        OpenModeless(m_dlg.get());
    }
    void TearDown() override {
        m_dlg.reset();
        DestroyDeviceList();
    }
    template <typename T> T* Get(int id) { return Control<T>(m_dlg.get(), id); }
    wxChoice* ScaleList() { return Get<wxChoice>(D::IDC_SCALE); }
    bool ApplyEnabled() { return Get<wxButton>(D::IDC_APPLY)->IsEnabled(); }
    std::string Selected(int id) {
        if (id == D::IDC_PORT)
            return Get<wxComboBox>(id)->GetValue().ToStdString();
        return Get<wxChoice>(id)->GetStringSelection().ToStdString();
    }
    void SetText(int id, const char* text) {
        Get<wxTextCtrl>(id)->SetValue(text);
        Pump(); // the TCP port edit is looked at after its own handling
    }
    IpAddressCtrl* Ip() { return Get<IpAddressCtrl>(D::IDC_IP_ADDRESS); }
    void TypeIp(const char* a, const char* b, const char* c, const char* d) {
        const char* parts[] = {a, b, c, d};
        for (int i = 0; i < 4; ++i)
            Ip()->Field(i)->SetValue(parts[i]);
    }
    bool Ended() { return m_dlg->GetReturnCode() == wxID_OK; }

    // Every box is answered (Yes unless a test says otherwise), so none can wait for a person.
    MessageBoxes m_boxes{wxYES};
    std::unique_ptr<CPortDlg> m_dlg;
};

TEST_F(PortDlgTest, OpensOnTheFirstScaleWithTheFixedLists) {
    Open(1);
    EXPECT_EQ(ChoiceRows(m_dlg.get(), D::IDC_SCALE),
              (std::vector<std::string>{"01 - Scale01", "<Add new scale>"}));
    EXPECT_EQ(ScaleList()->GetSelection(), 0);
    EXPECT_EQ(m_dlg->GetCurrentIndex(), 0);
    EXPECT_FALSE(ApplyEnabled());

    // COM1 to COM20 for the settings files that name them, then the serial devices present.
    std::vector<std::string> ports = SettingRows("Port");
    ASSERT_EQ(ports.size(), 20u);
    EXPECT_EQ(ports[19], "COM20");
    for (const std::string& device : platform::ListSerialDevices())
        ports.push_back(device);
    EXPECT_EQ(ComboItems(m_dlg.get(), D::IDC_PORT), ports);
    // Opening the list looks again for the devices present and keeps what was typed.
    auto* port = Get<wxComboBox>(D::IDC_PORT);
    port->ChangeValue("/dev/ttyUSB7");
    wxCommandEvent dropdown(wxEVT_COMBOBOX_DROPDOWN, D::IDC_PORT);
    dropdown.SetEventObject(port);
    port->HandleWindowEvent(dropdown);
    EXPECT_EQ(ComboItems(m_dlg.get(), D::IDC_PORT), ports);
    EXPECT_EQ(port->GetValue(), "/dev/ttyUSB7");
    EXPECT_EQ(ChoiceRows(m_dlg.get(), D::IDC_BAUD_RATE).size(), 13u);
    EXPECT_EQ(ChoiceRows(m_dlg.get(), D::IDC_STOP_BITS), (std::vector<std::string>{"1", "1.5", "2"}));
    EXPECT_EQ(ChoiceRows(m_dlg.get(), D::IDC_FLOW_CONTROL),
              (std::vector<std::string>{"None", "Hardware", "XOn/XOff"}));

    // Serial is shown: the serial lists are usable, the Ethernet controls are not.
    EXPECT_TRUE(Get<wxRadioButton>(D::IDC_SERIAL)->GetValue());
    EXPECT_TRUE(Get<wxComboBox>(D::IDC_PORT)->IsEnabled());
    EXPECT_FALSE(Ip()->IsEnabled());
    EXPECT_FALSE(Get<wxButton>(D::IDC_PING_TEST)->IsEnabled());
    EXPECT_EQ(Selected(D::IDC_PARITY), "Even");
}

TEST_F(PortDlgTest, ShownModallyItEditsTheScaleAndReportsIt) {
    MakeScales(2);
    CPortDlg dialog;
    const int result = RunModal(dialog, [&] {
        EXPECT_EQ(ChoiceRows(&dialog, D::IDC_SCALE).size(), 3u);
        PickChoice(&dialog, D::IDC_SCALE, "02 - Scale02");
        PickItem(&dialog, D::IDC_PORT, "COM7");
        Click(&dialog, wxID_OK);
    });
    EXPECT_EQ(result, wxID_OK);
    EXPECT_EQ(dialog.GetCurrentIndex(), 1);
    EXPECT_EQ(g_DeviceList[1]->m_port, "COM7");
}

TEST_F(PortDlgTest, ApplyFollowsWhetherAnythingDiffers) {
    Open(1);
    SetText(D::IDC_NAME, "Mixer");
    EXPECT_TRUE(ApplyEnabled());
    SetText(D::IDC_NAME, "Scale01");
    EXPECT_FALSE(ApplyEnabled());

    PickChoice(m_dlg.get(), D::IDC_BAUD_RATE, "19200");
    EXPECT_TRUE(ApplyEnabled());
    PickChoice(m_dlg.get(), D::IDC_BAUD_RATE, "9600");
    EXPECT_FALSE(ApplyEnabled());

    ChooseRadio(m_dlg.get(), D::IDC_SUSPEND);
    EXPECT_TRUE(ApplyEnabled());
    ChooseRadio(m_dlg.get(), D::IDC_NORMAL);
    EXPECT_FALSE(ApplyEnabled());

    SetText(D::IDC_NAME, "Mixer");
    Click(m_dlg.get(), D::IDC_APPLY);
    EXPECT_EQ(g_DeviceList[0]->m_name, "Mixer");
    EXPECT_EQ(ChoiceRows(m_dlg.get(), D::IDC_SCALE)[0], "01 - Mixer");
    EXPECT_EQ(ScaleList()->GetSelection(), 0);
    EXPECT_FALSE(ApplyEnabled());
    EXPECT_FALSE(Ended());
}

TEST_F(PortDlgTest, AddingAScaleAsksAboutTheSharedPortFirst) {
    Open(1);
    MessageBoxes& boxes = m_boxes;
    boxes.Answer(wxNO);
    PickChoice(m_dlg.get(), D::IDC_SCALE, "<Add new scale>");
    EXPECT_EQ(m_dlg->GetCurrentIndex(), 1);
    EXPECT_EQ(Get<wxTextCtrl>(D::IDC_NAME)->GetValue(), "Scale02");
    EXPECT_EQ(Selected(D::IDC_PORT), "COM1");
    EXPECT_EQ(Selected(D::IDC_BAUD_RATE), "9600");
    EXPECT_EQ(Selected(D::IDC_DATA_BITS), "8");
    EXPECT_EQ(Selected(D::IDC_STOP_BITS), "1");
    EXPECT_EQ(Selected(D::IDC_PARITY), "Even");
    EXPECT_EQ(Selected(D::IDC_FLOW_CONTROL), "None");
    EXPECT_TRUE(Get<wxRadioButton>(D::IDC_NORMAL)->GetValue());
    EXPECT_TRUE(Get<wxRadioButton>(D::IDC_SERIAL)->GetValue());
    EXPECT_TRUE(ApplyEnabled());

    Click(m_dlg.get(), wxID_OK);
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0],
              "This serial port is already assigned to another scale (01 - Scale01). Do you want "
              "to save it anyway?");
    EXPECT_FALSE(Ended());
    EXPECT_EQ(g_DeviceCount, 1);

    // On another port there is nothing to ask.
    PickItem(m_dlg.get(), D::IDC_PORT, "COM2");
    SetText(D::IDC_NAME, "Packing");
    Click(m_dlg.get(), wxID_OK);
    EXPECT_EQ(boxes.Texts().size(), 1u);
    EXPECT_TRUE(Ended());
    ASSERT_EQ(g_DeviceCount, 2);
    EXPECT_EQ(g_DeviceList[1]->m_name, "Packing");
    EXPECT_EQ(g_DeviceList[1]->m_port, "COM2");
    EXPECT_EQ(g_DeviceList[1]->m_active, 1);
}

TEST_F(PortDlgTest, YesStoresTheSharedPortAndApplyListsTheNewScale) {
    Open(1);
    MessageBoxes& boxes = m_boxes;
    PickChoice(m_dlg.get(), D::IDC_SCALE, "<Add new scale>");
    Click(m_dlg.get(), D::IDC_APPLY);
    EXPECT_EQ(boxes.Texts().size(), 1u);
    ASSERT_EQ(g_DeviceCount, 2);
    EXPECT_EQ(g_DeviceList[1]->m_port, "COM1");
    EXPECT_EQ(ChoiceRows(m_dlg.get(), D::IDC_SCALE),
              (std::vector<std::string>{"01 - Scale01", "02 - Scale02", "<Add new scale>"}));
    EXPECT_EQ(ScaleList()->GetSelection(), 1);
    EXPECT_FALSE(ApplyEnabled());
}

TEST_F(PortDlgTest, SuspendDeleteAndRestore) {
    Open(2);
    PickChoice(m_dlg.get(), D::IDC_SCALE, "02 - Scale02");
    ChooseRadio(m_dlg.get(), D::IDC_SUSPEND);
    Click(m_dlg.get(), D::IDC_APPLY);
    EXPECT_EQ(g_DeviceList[1]->m_active, 0);
    EXPECT_EQ(g_DeviceList[1]->m_deleted, 0);

    ChooseRadio(m_dlg.get(), D::IDC_DELETE);
    Click(m_dlg.get(), wxID_OK);
    EXPECT_TRUE(Ended());
    EXPECT_EQ(g_DeviceList[1]->m_active, 0);
    EXPECT_EQ(g_DeviceList[1]->m_deleted, 1);

    // The deleted scale is still listed next time, and Normal brings it back.
    OpenAgain();
    ASSERT_EQ(ChoiceRows(m_dlg.get(), D::IDC_SCALE).size(), 3u);
    PickChoice(m_dlg.get(), D::IDC_SCALE, "02 - Scale02");
    EXPECT_TRUE(Get<wxRadioButton>(D::IDC_DELETE)->GetValue());
    ChooseRadio(m_dlg.get(), D::IDC_NORMAL);
    Click(m_dlg.get(), wxID_OK);
    EXPECT_EQ(g_DeviceList[1]->m_active, 1);
    EXPECT_EQ(g_DeviceList[1]->m_deleted, 0);
    EXPECT_EQ(g_DeviceCount, 2);
}

TEST_F(PortDlgTest, CancelStoresNothing) {
    Open(1);
    SetText(D::IDC_NAME, "Mixer");
    Click(m_dlg.get(), wxID_CANCEL);
    EXPECT_EQ(g_DeviceList[0]->m_name, "Scale01");
}

TEST_F(PortDlgTest, EthernetScalesConflictOnlyOnTheSameAddressAndPort) {
    struct Case {
        const char* otherEthernet;
        const char* otherIp;
        const char* otherPort;
        const char* port; // TCP port typed for the scale shown, whose address is 10.0.0.5
        bool asks;
    };
    const Case cases[] = {
        {"1", "10.0.0.5", "4001", "4001", true},
        {"1", "10.0.0.5", "4001", "4002", false},
        {"1", "10.0.0.6", "4001", "4001", false},
        {"0", "10.0.0.5", "4001", "4001", false}, // a serial scale never conflicts with an Ethernet one
    };
    for (const Case& c : cases) {
        Open(2);
        g_DeviceList[0]->m_useEthernet = c.otherEthernet;
        g_DeviceList[0]->m_ipAddress = c.otherIp;
        g_DeviceList[0]->m_tcpPort = c.otherPort;
        g_DeviceList[1]->m_port = "COM2";
        MessageBoxes boxes(wxNO);
        PickChoice(m_dlg.get(), D::IDC_SCALE, "02 - Scale02");
        ChooseRadio(m_dlg.get(), D::IDC_ETHERNET);
        TypeIp("10", "0", "0", "5");
        SetText(D::IDC_TCP_PORT, c.port);
        Click(m_dlg.get(), wxID_OK);
        SCOPED_TRACE(std::string(c.otherIp) + ":" + c.otherPort + " against 10.0.0.5:" + c.port);
        if (c.asks) {
            ASSERT_EQ(boxes.Texts().size(), 1u);
            EXPECT_EQ(boxes.Texts()[0],
                      "This ethernet address is already assigned to another scale (01 - Scale01). "
                      "Do you want to save it anyway?");
            EXPECT_FALSE(Ended());
            EXPECT_EQ(g_DeviceList[1]->m_useEthernet, "0");
        } else {
            EXPECT_TRUE(boxes.Texts().empty());
            EXPECT_TRUE(Ended());
            EXPECT_EQ(g_DeviceList[1]->m_useEthernet, "1");
            EXPECT_EQ(g_DeviceList[1]->m_ipAddress, "10.0.0.5");
            EXPECT_EQ(g_DeviceList[1]->m_tcpPort, c.port);
            EXPECT_EQ(g_DeviceList[1]->m_port, "COM2"); // the serial settings are kept
        }
    }
}

TEST_F(PortDlgTest, AddressTextsTheControlCannotShowAreBlank) {
    struct Case {
        const char* stored;
        const char* shown; // what the dialog stores back from the control
    };
    const Case cases[] = {
        {"192.168.1.20", "192.168.1.20"},       {"", "0.0.0.0"},     {"scale.local", "0.0.0.0"},
        {"192.168.1.300", "0.0.0.0"},           {"10.1", "0.0.0.0"}, {"1.2.3.4.5", "0.0.0.0"},
        {"255.255.255.255", "255.255.255.255"},
    };
    for (const Case& c : cases) {
        Open(1);
        g_DeviceList[0]->m_useEthernet = "1";
        g_DeviceList[0]->m_ipAddress = c.stored;
        OpenAgain();
        EXPECT_EQ(Ip()->IsBlank(), std::string(c.shown) == "0.0.0.0") << c.stored;
        EXPECT_EQ(m_dlg->GetIpText(), c.shown) << c.stored;
        EXPECT_TRUE(Get<wxButton>(D::IDC_PING_TEST)->IsEnabled());
    }

    // A number above 255 typed into one of the boxes becomes 255; letters are dropped.
    TypeIp("300", "1x", "0", "7");
    EXPECT_EQ(Ip()->Field(0)->GetValue(), "255");
    EXPECT_EQ(Ip()->Field(1)->GetValue(), "1");
    Click(m_dlg.get(), wxID_OK);
    EXPECT_EQ(g_DeviceList[0]->m_ipAddress, "255.1.0.7");
}

// A blank address reads as 0.0.0.0, which this machine would answer: the ping tool refuses it.
TEST_F(PortDlgTest, PingOfABlankAddressIsRefused) {
    Open(1);
    ChooseRadio(m_dlg.get(), D::IDC_ETHERNET);
    ASSERT_TRUE(Ip()->IsBlank());
    wxString output;
    WhenOpened<CPingDlg>([&](CPingDlg& ping) {
        EXPECT_EQ(ping.GetTitle(), "Ping 0.0.0.0");
        PumpUntil([&] { return ping.RetryButton()->IsEnabled(); }, std::chrono::seconds(30));
        output = ping.Output()->GetValue();
    });
    Click(m_dlg.get(), D::IDC_PING_TEST);
    EXPECT_EQ(output, "Invalid ethernet ip address 0.0.0.0 (error code 22)\n");
}

TEST_F(PortDlgTest, TcpPortTakesDigitsOnlyAndTheModelDefault) {
    Open(2);
    g_DefaultEthernetPort = "11001";
    g_DeviceList[0]->m_useEthernet = "1";
    g_DeviceList[0]->m_tcpPort = "0";
    g_DeviceList[1]->m_useEthernet = "1";
    g_DeviceList[1]->m_tcpPort = "502";
    OpenAgain();
    // Loading writes the default into the record and locks the edit on it.
    EXPECT_EQ(g_DeviceList[0]->m_tcpPort, "11001");
    EXPECT_EQ(Get<wxTextCtrl>(D::IDC_TCP_PORT)->GetValue(), "11001");
    EXPECT_FALSE(Get<wxTextCtrl>(D::IDC_TCP_PORT)->IsEnabled());

    PickChoice(m_dlg.get(), D::IDC_SCALE, "02 - Scale02");
    EXPECT_TRUE(Get<wxTextCtrl>(D::IDC_TCP_PORT)->IsEnabled());
    SetText(D::IDC_TCP_PORT, "40a0-1 ");
    EXPECT_EQ(Get<wxTextCtrl>(D::IDC_TCP_PORT)->GetValue(), "4001");
    EXPECT_TRUE(ApplyEnabled());
    SetText(D::IDC_TCP_PORT, "502");
    EXPECT_FALSE(ApplyEnabled());
}

TEST_F(PortDlgTest, PortNamesOutsideTheListAreKept) {
    Open(1);
    g_DeviceList[0]->m_port = "/dev/ttyS7";
    g_DeviceList[0]->m_baudRate = "";
    OpenAgain();
    EXPECT_EQ(Selected(D::IDC_PORT), "/dev/ttyS7");
    EXPECT_EQ(Selected(D::IDC_BAUD_RATE), "9600");
    Click(m_dlg.get(), wxID_OK);
    EXPECT_EQ(g_DeviceList[0]->m_port, "/dev/ttyS7");
    EXPECT_EQ(g_DeviceList[0]->m_baudRate, "9600");
}

// A device path typed into the port list is looked at on OK; a stable link to a device that
// another scale uses is that scale's port.
TEST_F(PortDlgTest, TypedDevicePathsAreLookedAtOnOk) {
    XTyping keys;
    if (!keys.Error().empty())
        GTEST_SKIP() << keys.Error();
    sim::SimScale used(sim::SimScale::Pty), free(sim::SimScale::Pty);
    TempDir dir;
    const std::string link = dir.File("usb-Acme_Scale_Adapter_0042-if00-port0");
    std::filesystem::create_symlink(used.PortPath(), link);
    const std::string taken = "This serial port is already assigned to another scale (01 - Scale01). Do you "
                              "want to save it anyway?";
    struct Case {
        std::string typed;
        int answer;
        std::string box; // "" when none
        bool stored;
    };
    const Case cases[] = {
        {"/dev/pondra-no-such-port", wxNO,
         "The serial port \"/dev/pondra-no-such-port\" does not exist. Do you want to save it anyway?",
         false},
        {"/dev/pondra-no-such-port", wxYES,
         "The serial port \"/dev/pondra-no-such-port\" does not exist. Do you want to save it anyway?", true},
        {"/dev/null", wxYES, "\"/dev/null\" is not a serial port: it is no terminal device.", false},
        {dir.Path(), wxYES, "\"" + dir.Path() + "\" is not a serial port: it is no terminal device.", false},
        {"", wxYES, "Please choose a serial port, or type the path of its device.", false},
        {link, wxNO, taken, false},
        {used.PortPath(), wxNO, taken, false},
        {free.PortPath(), wxNO, "", true},
    };
    for (const Case& c : cases) {
        Open(2);
        g_DeviceList[0]->m_port = used.PortPath();
        g_DeviceList[1]->m_port = "COM2";
        PickChoice(m_dlg.get(), D::IDC_SCALE, "02 - Scale02");
        auto* port = Get<wxComboBox>(D::IDC_PORT);
        port->ChangeValue("");
        ASSERT_TRUE(keys.Focus(port));
        keys.Type(c.typed);
        ASSERT_TRUE(XTyping::Until([&] { return port->GetValue() == c.typed; })) << port->GetValue();
        MessageBoxes boxes(c.answer);
        Click(m_dlg.get(), wxID_OK);
        SCOPED_TRACE(c.typed);
        EXPECT_EQ(boxes.Texts(),
                  c.box.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.box});
        EXPECT_EQ(Ended(), c.stored);
        EXPECT_EQ(g_DeviceList[1]->m_port, c.stored ? c.typed : "COM2");
    }
}

// A typed name is stored as it stands or refused with the character that cannot be stored; names
// read from an existing settings file in ISO-8859-1 show and stay as they were.
TEST_F(PortDlgTest, TypedNamesAreStoredWholeOrRefused) {
    XTyping keys;
    if (!keys.Error().empty())
        GTEST_SKIP() << keys.Error();
    struct Case {
        wxString typed;
        std::string box;
        std::string stored;
    };
    const Case cases[] = {
        {wxString::FromUTF8("Wäge €1"),
         "The name cannot hold the character \"\xE2\x82\xAC\" (U+20AC): Pondra keeps text in ISO-8859-1 "
         "(Latin-1).",
         ""},
        {wxString::FromUTF8("Wäge;1"),
         "The name cannot hold the character \";\": Pondra.ini ends a value there.", ""},
        {wxString::FromUTF8("Wäge 1 "),
         "The name cannot start or end with a blank: Pondra.ini would drop it.", ""},
        {wxString::FromUTF8("Wäge 1"), "",
         "W\xE4"
         "ge 1"},
    };
    for (const Case& c : cases) {
        Open(1);
        g_DeviceList[0]->m_name = "Gro\xDF";
        OpenAgain();
        auto* name = Get<wxTextCtrl>(D::IDC_NAME);
        EXPECT_EQ(name->GetValue(), wxString::FromUTF8("Groß"));
        name->ChangeValue("");
        ASSERT_TRUE(keys.Focus(name));
        keys.Type(c.typed);
        ASSERT_TRUE(XTyping::Until([&] { return name->GetValue() == c.typed; })) << name->GetValue();
        MessageBoxes boxes;
        Click(m_dlg.get(), wxID_OK);
        EXPECT_EQ(boxes.Texts(),
                  c.box.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.box});
        EXPECT_EQ(g_DeviceList[0]->m_name, c.stored.empty() ? "Gro\xDF" : c.stored);
    }
    // Unchanged, the old name keeps its bytes.
    Open(1);
    g_DeviceList[0]->m_name = "Gro\xDF";
    OpenAgain();
    Click(m_dlg.get(), wxID_OK);
    EXPECT_TRUE(Ended());
    EXPECT_EQ(g_DeviceList[0]->m_name, "Gro\xDF");
}

TEST(PortControls, DottedAddresses) {
    struct Case {
        const char* text;
        bool valid;
        uint32_t value;
    };
    const Case cases[] = {
        {"0.0.0.0", true, 0},
        {"127.0.0.1", true, 0x7F000001},
        {"255.255.255.255", true, 0xFFFFFFFF},
        {"256.0.0.1", false, 0},
        {"1.2.3", false, 0},
        {"1.2.3.4.", false, 0},
        {"1..3.4", false, 0},
        {" 1.2.3.4", false, 0},
        {"0001.2.3.4", false, 0},
        {"", false, 0},
    };
    for (const Case& c : cases) {
        uint32_t value = 1;
        EXPECT_EQ(ParseDottedAddress(c.text, &value), c.valid) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
        if (c.valid) {
            EXPECT_EQ(FormatDottedAddress(value), c.text);
        }
    }
}

// Typed through the X server: what a person types into the four boxes is the address stored.
TEST(IpAddressTyping, TypedAndPastedAddressesFillTheirBoxes) {
    XTyping keys;
    if (!keys.Error().empty())
        GTEST_SKIP() << keys.Error();
    auto* frame = new wxFrame(nullptr, wxID_ANY, "address");
    auto* ip = new IpAddressCtrl(frame, wxID_ANY, wxDefaultPosition, wxSize(200, 30));
    auto boxes = [ip] {
        wxString all;
        for (int i = 0; i < 4; ++i)
            all += (i ? "." : "") + ip->Field(i)->GetValue();
        return all.ToStdString();
    };
    struct Case {
        const char* typed; // "\b" presses Backspace, "\v" pastes the clipboard with Ctrl+V
        const char* clipboard;
        const char* shown;
    };
    const Case cases[] = {
        // The "." after a third digit does not move a second time.
        {"192.168.1.50", "", "192.168.1.50"},
        {"10.0.0.5", "", "10.0.0.5"},
        {"192..168..1.50", "", "192.168.1.50"}, // a "." in a box still empty is dropped
        {"300.1.2.3", "", "255.1.2.3"},
        // Backspace in an empty box goes on in the previous one.
        {"10.20\b\b\b\b.5.6.7", "", "1.5.6.7"},
        {"\v", "10.20.30.40", "10.20.30.40"},
        {"\v", " 172.16.0.9\n", "172.16.0.9"},
    };
    for (const Case& c : cases) {
        ip->Clear();
        if (*c.clipboard) {
            ASSERT_TRUE(wxTheClipboard->Open());
            wxTheClipboard->SetData(new wxTextDataObject(c.clipboard));
            wxTheClipboard->Close();
        }
        ASSERT_TRUE(keys.Focus(ip->Field(0)));
        for (const char* p = c.typed; *p; ++p) {
            if (*p == '\b')
                keys.Press(XK_BackSpace);
            else if (*p == '\v')
                keys.Press(XK_v, platform::kPressCtrl);
            else
                keys.Type(wxString(*p));
        }
        EXPECT_TRUE(XTyping::Until([&] { return boxes() == c.shown; })) << c.typed << " shows " << boxes();
    }
    frame->Destroy();
}

} // namespace
