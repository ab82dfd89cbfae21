#include "dialogs/port_dlg.h"

#include "app/gui_base/message_box.h"
#include "app/gui_base/text.h"
#include "comms/device.h"
#include "comms/settings.h"
#include "dialogs/dialog_units.h"
#include "dialogs/ping_dlg.h"
#include "dialogs/port_controls.h"
#include "dialogs/typed_text.h"
#include "platform/serial_devices.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <wx/button.h>
#include <wx/choice.h>
#include <wx/combobox.h>
#include <wx/radiobut.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

namespace {

constexpr const char* kAddNewScale = "<Add new scale>";
constexpr const char* kTcpPortChars = "1234567890";

std::vector<std::string> ComPorts() {
    std::vector<std::string> rows;
    for (int n = 1; n <= 20; ++n)
        rows.push_back("COM" + std::to_string(n));
    return rows;
}

const std::map<std::string, std::vector<std::string>>& SettingTables() {
    static const std::map<std::string, std::vector<std::string>> tables{
        {"Port", ComPorts()},
        {"Baud",
         {"110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200", "28800", "38400", "57600",
          "115200"}},
        {"Data", {"5", "6", "7", "8"}},
        {"Stop", {"1", "1.5", "2"}},
        {"Parity", {"None", "Odd", "Even", "Mark", "Space"}},
        {"Flow", {"None", "Hardware", "XOn/XOff"}},
    };
    return tables;
}

// The serial lists in control order, with the key of their rows, their row count, and the text
// shown for a record that has none.
struct SerialList {
    int id;
    const char* key;
    int count;
    const char* fallback;
};

// Shows `value` in a drop-down list. A value that is not one of its rows (a port name typed into
// the settings file, say) is added as a row of its own, so that it is shown and kept instead of
// being silently replaced by an empty text.
void SelectRow(wxChoice* choice, const std::string& value) {
    if (value.empty()) {
        choice->SetSelection(wxNOT_FOUND);
        return;
    }
    int row = choice->FindString(FromBytes(value), true);
    if (row == wxNOT_FOUND)
        row = choice->Append(FromBytes(value));
    choice->SetSelection(row);
}

std::string SelectedRow(const wxChoice* choice) {
    const int row = choice->GetSelection();
    return row == wxNOT_FOUND ? std::string() : ToBytes(choice->GetString(static_cast<unsigned>(row)));
}

} // namespace

const std::vector<std::string>& SettingRows(const std::string& key) {
    static const std::vector<std::string> none;
    const auto& tables = SettingTables();
    const auto found = tables.find(key);
    return found == tables.end() ? none : found->second;
}

namespace {
const SerialList kSerialLists[] = {
    {CPortDlg::IDC_PORT, "Port", 20, "COM1"},    {CPortDlg::IDC_BAUD_RATE, "Baud", 13, "9600"},
    {CPortDlg::IDC_DATA_BITS, "Data", 4, "8"},   {CPortDlg::IDC_STOP_BITS, "Stop", 3, "1"},
    {CPortDlg::IDC_PARITY, "Parity", 5, "Even"}, {CPortDlg::IDC_FLOW_CONTROL, "Flow", 3, "None"},
};
} // namespace

CPortDlg::CPortDlg(wxWindow* parent) : wxDialog(parent, wxID_ANY, "Port Setting") {
    SetClientSize(DialogSize(this, 246, 340));
    auto at = [this](int x, int y) { return DialogPoint(this, x, y); };
    auto size = [this](int w, int h) { return DialogSize(this, w, h); };
    auto width = [this](int w) { return DialogWidth(this, w); };
    // Labels take the room their text needs, which with this font may be more than the layout's 39 units.
    auto label = [&](const char* text, int x, int y) { new wxStaticText(this, wxID_ANY, text, at(x, y)); };

    label("&Scale :", 40, 8);
    m_scaleCombo = new wxChoice(this, IDC_SCALE, at(109, 6), width(92));
    label("&Name :", 40, 27);
    m_nameEdit = new wxTextCtrl(this, IDC_NAME, "", at(109, 25), size(92, 14));
    new wxStaticBox(this, wxID_ANY, "Status", at(31, 44), size(183, 28));
    m_statusRadios[0] = new wxRadioButton(this, IDC_NORMAL, "Nor&mal", at(48, 57), wxDefaultSize, wxRB_GROUP);
    m_statusRadios[1] = new wxRadioButton(this, IDC_SUSPEND, "S&uspend", at(100, 57), wxDefaultSize);
    m_statusRadios[2] = new wxRadioButton(this, IDC_DELETE, "De&lete", at(152, 57), wxDefaultSize);
    new wxStaticBox(this, wxID_ANY, "Scale Comms Method", at(31, 76), size(183, 28));
    m_serialRadio =
        new wxRadioButton(this, IDC_SERIAL, "S&erial Comm Port", at(48, 89), wxDefaultSize, wxRB_GROUP);
    m_ethernetRadio = new wxRadioButton(this, IDC_ETHERNET, "Et&hernet", at(141, 89), wxDefaultSize);
    new wxStaticBox(this, wxID_ANY, "Serial Comm Port", at(31, 108), size(183, 128));
    const char* serialLabels[] = {
        "&Comm Port :", "Baud &Rate :", "&Data Bit :", "Stop &Bit :", "&Parity :", "&Flow Control :"};
    for (int i = 0; i < 6; ++i) {
        label(serialLabels[i], 40, 120 + 20 * i);
        // The port list also takes a typed device path.
        if (i == 0)
            m_portCombo = new wxComboBox(this, IDC_PORT, "", at(109, 118), width(92));
        else
            m_lineCombos[i - 1] = new wxChoice(this, kSerialLists[i].id, at(109, 118 + 20 * i), width(92));
    }
    new wxStaticBox(this, wxID_ANY, "Ethernet", at(31, 240), size(183, 64));
    label("IP &Address :", 40, 252);
    m_ipCtrl = new IpAddressCtrl(this, IDC_IP_ADDRESS, at(109, 250), size(92, 14));
    m_pingButton = new wxButton(this, IDC_PING_TEST, "Ping &Test", at(146, 266), size(55, 14));
    label("P&ort No. :", 40, 288);
    m_tcpPortEdit = new ValidCharsEdit(this, IDC_TCP_PORT, kTcpPortChars, at(109, 284), size(92, 14));
    auto* ok = new wxButton(this, wxID_OK, "OK", at(31, 314), size(48, 14));
    ok->SetDefault();
    new wxButton(this, wxID_CANCEL, "Cancel", at(98, 314), size(48, 14));
    m_applyButton = new wxButton(this, IDC_APPLY, "Apply", at(165, 314), size(48, 14));
    PressDefaultOnReturn(this);
    ScrollIfTooLarge(this);

    Bind(wxEVT_INIT_DIALOG, &CPortDlg::OnInitDialog, this);
    Bind(wxEVT_RADIOBUTTON, &CPortDlg::OnSerial, this, IDC_SERIAL);
    Bind(wxEVT_RADIOBUTTON, &CPortDlg::OnEthernet, this, IDC_ETHERNET);
    Bind(wxEVT_BUTTON, &CPortDlg::OnPingTest, this, IDC_PING_TEST);
    Bind(wxEVT_BUTTON, &CPortDlg::OnApply, this, IDC_APPLY);
    Bind(wxEVT_BUTTON, &CPortDlg::OnOK, this, wxID_OK);
    Bind(wxEVT_CHOICE, &CPortDlg::OnSelchangeScale, this, IDC_SCALE);
    Bind(wxEVT_RADIOBUTTON, &CPortDlg::OnSettingChanged, this, IDC_NORMAL, IDC_DELETE);
    Bind(wxEVT_COMBOBOX, &CPortDlg::OnSettingChanged, this, IDC_PORT);
    Bind(wxEVT_TEXT, &CPortDlg::OnSettingChanged, this, IDC_PORT);
    Bind(wxEVT_COMBOBOX_DROPDOWN, &CPortDlg::OnPortDropdown, this, IDC_PORT);
    Bind(wxEVT_CHOICE, &CPortDlg::OnSettingChanged, this, IDC_BAUD_RATE, IDC_FLOW_CONTROL);
    Bind(wxEVT_TEXT, &CPortDlg::OnSettingChanged, this, IDC_NAME);
    Bind(wxEVT_TEXT, &CPortDlg::OnSettingChanged, this, IDC_IP_ADDRESS);
    Bind(wxEVT_TEXT, &CPortDlg::OnPortNumberChange, this, IDC_TCP_PORT);
}

wxItemContainer* CPortDlg::SerialCombo(int controlId) const {
    if (controlId == IDC_PORT)
        return m_portCombo;
    for (int i = 1; i < 6; ++i)
        if (kSerialLists[i].id == controlId)
            return m_lineCombos[i - 1];
    return nullptr;
}

std::array<wxWindow*, 6> CPortDlg::SerialControls() const {
    return {m_portCombo, m_lineCombos[0], m_lineCombos[1], m_lineCombos[2], m_lineCombos[3], m_lineCombos[4]};
}

std::array<std::string*, 6> CPortDlg::SerialValues() {
    return {&m_port, &m_baudRate, &m_dataBits, &m_stopBits, &m_parity, &m_flowControl};
}

bool CPortDlg::TransferDataToWindow() {
    const auto values = SerialValues();
    m_portCombo->ChangeValue(PathFromBytes(m_port));
    for (std::size_t i = 1; i < values.size(); ++i)
        SelectRow(m_lineCombos[i - 1], *values[i]);
    if (m_ipAddress == 0)
        m_ipCtrl->Clear();
    else
        m_ipCtrl->SetAddress(m_ipAddress);
    m_tcpPortEdit->ChangeValue(FromBytes(m_tcpPort));
    const int row = m_scaleCombo->FindString(FromBytes(m_scaleLabel), true);
    if (row != wxNOT_FOUND)
        m_scaleCombo->SetSelection(row);
    m_nameEdit->ChangeValue(FromBytes(m_name));
    m_statusRadios[std::clamp(m_status, 0, 2)]->SetValue(true);
    return true;
}

bool CPortDlg::TransferDataFromWindow() {
    const auto values = SerialValues();
    m_port = PathToBytes(m_portCombo->GetValue());
    for (std::size_t i = 1; i < values.size(); ++i)
        *values[i] = SelectedRow(m_lineCombos[i - 1]);
    m_ipAddress = m_ipCtrl->GetAddress();
    m_tcpPort = ToBytes(m_tcpPortEdit->GetValue());
    m_scaleLabel = SelectedRow(m_scaleCombo);
    m_name = ToBytes(m_nameEdit->GetValue());
    for (int i = 0; i < 3; ++i)
        if (m_statusRadios[i]->GetValue())
            m_status = i;
    return true;
}

void CPortDlg::FillSettingCombo(int controlId, int count, const std::string& key) {
    wxItemContainer* combo = SerialCombo(controlId);
    const std::vector<std::string>& rows = SettingRows(key);
    if (combo == nullptr)
        return;
    for (int i = 0; i < count && i < static_cast<int>(rows.size()); ++i)
        combo->Append(FromBytes(rows[static_cast<std::size_t>(i)]));
}

std::string CPortDlg::FormatScaleLabel(const Device* dev) {
    char label[16];
    std::snprintf(label, sizeof label, "%02d - ", dev->m_index + 1);
    return label + dev->m_name;
}

std::string CPortDlg::BuildSettingsKey() const {
    return m_port + m_baudRate + m_dataBits + m_stopBits + m_parity + m_flowControl +
           std::to_string(static_cast<int32_t>(m_ipAddress)) + m_tcpPort + m_name + std::to_string(m_status) +
           (m_ethernetRadio->GetValue() ? "1" : "0");
}

bool CPortDlg::IsChanged() const {
    return m_changeKey.empty() || BuildSettingsKey() != m_changeKey;
}

std::string CPortDlg::GetIpText() const {
    return FormatDottedAddress(m_ipAddress);
}

void CPortDlg::FillScaleCombo() {
    m_scaleCombo->Clear();
    for (int i = 0; i < g_DeviceCount; ++i)
        m_scaleCombo->Append(FromBytes(FormatScaleLabel(g_DeviceList[static_cast<std::size_t>(i)].get())));
    m_scaleCombo->Append(kAddNewScale);
}

void CPortDlg::OnInitDialog(wxInitDialogEvent&) {
    FocusFirstControl(this);
    if (m_initialised)
        return; // the lists are filled once, however often the dialog is shown
    m_initialised = true;
    for (const SerialList& list : kSerialLists)
        FillSettingCombo(list.id, list.count, list.key);
    AddSerialDevices();
    FillScaleCombo();

    m_currentIndex = 0;
    if (g_DeviceCount > 0) {
        LoadDevice(g_DeviceList[0].get());
        m_changeKey = m_scaleCombo->GetCount() > 1 ? BuildSettingsKey() : std::string();
        m_applyButton->Enable(IsChanged());
    } else {
        // An empty list has nothing to show but "<Add new scale>".
        m_scaleCombo->SetSelection(0);
        wxCommandEvent select(wxEVT_CHOICE, IDC_SCALE);
        OnSelchangeScale(select);
    }
}

void CPortDlg::LoadDevice(Device* dev) {
    m_scaleLabel = FormatScaleLabel(dev);
    m_name = dev->m_name;
    m_status = dev->m_deleted ? kStatusDelete : dev->m_active ? kStatusNormal : kStatusSuspend;
    const std::string* source[] = {&dev->m_port,     &dev->m_baudRate, &dev->m_dataBits,
                                   &dev->m_stopBits, &dev->m_parity,   &dev->m_flowControl};
    const auto values = SerialValues();
    for (std::size_t i = 0; i < values.size(); ++i)
        *values[i] = source[i]->empty() ? kSerialLists[i].fallback : *source[i];
    m_loadedPort = m_port;
    m_tcpPortEditable = true;
    if (!g_DefaultEthernetPort.empty()) {
        if (dev->m_tcpPort.empty() || dev->m_tcpPort == "0")
            dev->m_tcpPort = g_DefaultEthernetPort;
        if (dev->m_tcpPort == g_DefaultEthernetPort)
            m_tcpPortEditable = false;
    }
    // An empty or malformed address text is shown as a blank address.
    ParseDottedAddress(dev->m_ipAddress, &m_ipAddress);
    m_tcpPort = dev->m_tcpPort;
    TransferDataToWindow();
    if (dev->m_useEthernet == "1") {
        m_ethernetRadio->SetValue(true);
        ShowEthernet();
    } else {
        m_serialRadio->SetValue(true);
        ShowSerial();
    }
}

void CPortDlg::ShowSerial() {
    for (wxWindow* combo : SerialControls())
        combo->Enable();
    m_ipCtrl->Disable();
    m_tcpPortEdit->Disable();
    m_pingButton->Disable();
    SettingChanged();
    Refresh();
}

void CPortDlg::ShowEthernet() {
    for (wxWindow* combo : SerialControls())
        combo->Disable();
    m_ipCtrl->Enable();
    m_tcpPortEdit->Enable(m_tcpPortEditable);
    m_pingButton->Enable();
    SettingChanged();
    Refresh();
}

void CPortDlg::OnSerial(wxCommandEvent&) {
    ShowSerial();
}

void CPortDlg::OnEthernet(wxCommandEvent&) {
    ShowEthernet();
}

void CPortDlg::SettingChanged() {
    TransferDataFromWindow();
    m_applyButton->Enable(IsChanged());
}

void CPortDlg::OnSettingChanged(wxCommandEvent&) {
    SettingChanged();
}

void CPortDlg::OnPortNumberChange(wxCommandEvent& event) {
    event.Skip();
    // Looked at once the edit has finished its own handling of the change.
    CallAfter(&CPortDlg::OnDeferredChange);
}

void CPortDlg::OnDeferredChange() {
    SettingChanged();
}

void CPortDlg::OnSelchangeScale(wxCommandEvent&) {
    const int sel = m_scaleCombo->GetSelection();
    if (sel >= 0 && sel <= g_DeviceCount) {
        m_currentIndex = sel;
        if (sel < g_DeviceCount) {
            LoadDevice(g_DeviceList[static_cast<std::size_t>(sel)].get());
            m_changeKey = BuildSettingsKey();
        } else {
            Device scratch;
            scratch.m_index = g_DeviceCount;
            scratch.m_active = 1;
            scratch.m_deleted = 0;
            SetDefaultSettings(&scratch);
            LoadDevice(&scratch);
            m_scaleCombo->SetSelection(sel); // the scratch record has no row of its own
            m_changeKey.clear();
        }
    }
    m_applyButton->Enable(IsChanged());
}

int CPortDlg::FindConflict(int exclude) const {
    const bool ethernet = m_ethernetRadio->GetValue();
    const std::string ipText = GetIpText();
    for (int i = 0; i < g_DeviceCount; ++i) {
        if (i == exclude)
            continue;
        const Device& dev = *g_DeviceList[static_cast<std::size_t>(i)];
        const bool conflict =
            ethernet ? dev.m_useEthernet == "1" && dev.m_ipAddress == ipText && dev.m_tcpPort == m_tcpPort
                     : dev.m_useEthernet != "1" && platform::SameSerialDevice(dev.m_port, m_port);
        if (conflict)
            return i;
    }
    return -1;
}

bool CPortDlg::ApplyChanges() {
    TransferDataFromWindow();
    const int sel = m_scaleCombo->GetSelection();
    const bool serial = !m_ethernetRadio->GetValue();
    std::string typed;
    if (!TakeTypedText(m_nameEdit->GetValue(), "name", "DeviceName", this, &typed) ||
        (serial && !TakeTypedPath(m_portCombo->GetValue(), "port name", "CommPort", this, &typed)))
        return false;
    if (serial && m_port != m_loadedPort && !PortDeviceAccepted())
        return false;
    if (IsChanged()) {
        const int j = FindConflict(sel);
        if (j >= 0 && j < g_DeviceCount) {
            const Device* other = g_DeviceList[static_cast<std::size_t>(j)].get();
            const std::string text = std::string("This ") +
                                     (other->m_useEthernet == "1" ? "ethernet address" : "serial port") +
                                     " is already assigned to another scale (" + FormatScaleLabel(other) +
                                     "). Do you want to save it anyway?";
            if (PondraMessageBox(text, wxYES_NO | wxICON_EXCLAMATION, this) != wxYES)
                return false;
        }
    }
    if (sel < 0 || sel > g_DeviceCount)
        return true;
    Device* target = sel < g_DeviceCount ? g_DeviceList[static_cast<std::size_t>(sel)].get() : CreateDevice();
    StoreDevice(target);
    return true;
}

void CPortDlg::AddSerialDevices() {
    for (const std::string& device : platform::ListSerialDevices())
        m_portCombo->Append(PathFromBytes(device));
}

void CPortDlg::OnPortDropdown(wxCommandEvent& event) {
    // Adapters come and go: the list shows the devices present when it opens.
    const wxString value = m_portCombo->GetValue();
    m_portCombo->Clear();
    FillSettingCombo(IDC_PORT, kSerialLists[0].count, kSerialLists[0].key);
    AddSerialDevices();
    m_portCombo->ChangeValue(value);
    SettingChanged(); // the list's emptying may have been announced with an empty text
    event.Skip();
}

bool CPortDlg::PortDeviceAccepted() {
    // COM1 to COM20 are the names older settings files use; they are taken as they are.
    const std::vector<std::string>& comRows = SettingRows(kSerialLists[0].key);
    if (std::find(comRows.begin(), comRows.end(), m_port) != comRows.end())
        return true;
    const wxString port = "\"" + PathFromBytes(m_port) + "\"";
    if (m_port.empty()) {
        PondraMessageBox("Please choose a serial port, or type the path of its device.",
                         wxOK | wxICON_EXCLAMATION, this);
        return false;
    }
    switch (platform::InspectSerialDevice(m_port)) {
    case platform::SerialDeviceState::Terminal:
        return true;
    case platform::SerialDeviceState::Missing:
        return PondraWideMessageBox("The serial port " + port +
                                        " does not exist. Do you want to save it anyway?",
                                    wxYES_NO | wxICON_EXCLAMATION, this) == wxYES;
    case platform::SerialDeviceState::NotTerminal:
        PondraWideMessageBox(port + " is not a serial port: it is no terminal device.",
                             wxOK | wxICON_EXCLAMATION, this);
        return false;
    }
    return false;
}

void CPortDlg::StoreDevice(Device* dev) {
    // The scale's worker names it in what it reports: a new name waits for the worker's end.
    if (dev->m_name != m_name) {
        if (m_stopScale)
            m_stopScale(dev);
        dev->m_name = m_name;
    }
    dev->m_active = m_status == kStatusNormal ? 1 : 0;
    dev->m_deleted = m_status == kStatusDelete ? 1 : 0;
    const bool ethernet = m_ethernetRadio->GetValue();
    dev->m_useEthernet = ethernet ? "1" : "0";
    if (ethernet) {
        dev->m_ipAddress = GetIpText();
        dev->m_tcpPort = m_tcpPort;
    } else {
        dev->m_port = m_port;
        dev->m_baudRate = m_baudRate;
        dev->m_dataBits = m_dataBits;
        dev->m_stopBits = m_stopBits;
        dev->m_parity = m_parity;
        dev->m_flowControl = m_flowControl;
    }
}

void CPortDlg::OnOK(wxCommandEvent&) {
    if (ApplyChanges())
        CloseDialog(this, wxID_OK);
}

void CPortDlg::OnApply(wxCommandEvent&) {
    if (!ApplyChanges())
        return;
    const int selected = m_scaleCombo->GetSelection();
    FillScaleCombo();
    m_scaleCombo->SetSelection(selected);
    m_changeKey = BuildSettingsKey();
    m_applyButton->Disable();
}

void CPortDlg::OnPingTest(wxCommandEvent&) {
    TransferDataFromWindow();
    CPingDlg ping(this);
    ping.m_address = GetIpText();
    ping.ShowModal();
}
