// "Port Setting": the list of scales with each one's name, status and serial or Ethernet
// connection. It edits the Device records of the device list directly.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>
#include <wx/dialog.h>

class wxButton;
class wxChoice;
class wxComboBox;
class wxItemContainer;
class wxRadioButton;
class wxTextCtrl;
class IpAddressCtrl;
class ValidCharsEdit;
struct Device;

// The rows of the serial-setting lists, by key ("Port", "Baud", "Data", "Stop", "Parity", "Flow").
const std::vector<std::string>& SettingRows(const std::string& key);

class CPortDlg : public wxDialog {
public:
    enum {
        IDC_APPLY = 986,
        IDC_PORT = 1006,
        IDC_BAUD_RATE = 1007,
        IDC_DATA_BITS = 1008,
        IDC_STOP_BITS = 1009,
        IDC_PARITY = 1010,
        IDC_FLOW_CONTROL = 1011,
        IDC_SERIAL = 1012,
        IDC_ETHERNET = 1013,
        IDC_SCALE = 1014,
        IDC_NAME = 1015,
        IDC_NORMAL = 1016,
        IDC_SUSPEND = 1017,
        IDC_DELETE = 1018,
        IDC_IP_ADDRESS = 1229,
        IDC_TCP_PORT = 1230,
        IDC_PING_TEST = 1231,
    };
    enum Status : int { kStatusNormal = 0, kStatusSuspend = 1, kStatusDelete = 2 };

    explicit CPortDlg(wxWindow* parent = nullptr);

    // What the dialog calls before it renames a scale, whose worker names it in what it reports:
    // the caller stops that scale and lets its worker end first.
    void SetStopScale(std::function<void(Device*)> stop) { m_stopScale = std::move(stop); }

    bool TransferDataToWindow() override;
    bool TransferDataFromWindow() override;

    // Position in the device list of the scale shown; g_DeviceCount while "<Add new scale>" is shown.
    int GetCurrentIndex() const { return m_currentIndex; }

    void FillSettingCombo(int controlId, int count, const std::string& key);
    static std::string FormatScaleLabel(const Device* dev);
    std::string BuildSettingsKey() const;
    bool IsChanged() const;
    std::string GetIpText() const;
    void LoadDevice(Device* dev);
    void StoreDevice(Device* dev);
    int FindConflict(int exclude) const;
    bool ApplyChanges();

private:
    void OnInitDialog(wxInitDialogEvent& event);
    void OnSerial(wxCommandEvent& event);
    void OnEthernet(wxCommandEvent& event);
    void OnPingTest(wxCommandEvent& event);
    void OnApply(wxCommandEvent& event);
    void OnSelchangeScale(wxCommandEvent& event);
    void OnSettingChanged(wxCommandEvent& event);
    void OnPortNumberChange(wxCommandEvent& event);
    void OnDeferredChange();
    void OnOK(wxCommandEvent& event);
    void SettingChanged();
    void ShowSerial();
    void ShowEthernet();
    void FillScaleCombo();
    void OnPortDropdown(wxCommandEvent& event);
    // Lists the serial devices present after the rows of the port list.
    void AddSerialDevices();
    // Whether a port name that the user chose or typed may be stored: a device path that is no
    // terminal is refused, and one that does not exist only when the user says so.
    bool PortDeviceAccepted();
    wxItemContainer* SerialCombo(int controlId) const;
    // The port list and the five line-setting lists, in control order.
    std::array<wxWindow*, 6> SerialControls() const;
    // The members behind the six serial lists, in control order.
    std::array<std::string*, 6> SerialValues();

    std::string m_port;
    std::string m_loadedPort; // the port of the scale as shown, to look at a changed one on OK
    std::string m_baudRate;
    std::string m_dataBits;
    std::string m_stopBits;
    std::string m_parity;
    std::string m_flowControl;
    uint32_t m_ipAddress = 0; // host byte order
    std::string m_tcpPort;
    std::string m_scaleLabel;
    std::string m_name;
    int m_status = kStatusNormal;
    std::string m_changeKey; // empty: the scale shown is new and counts as changed
    bool m_tcpPortEditable = true;
    int m_currentIndex = 0;
    bool m_initialised = false;

    wxChoice* m_scaleCombo = nullptr;
    wxTextCtrl* m_nameEdit = nullptr;
    wxRadioButton* m_statusRadios[3] = {};
    wxRadioButton* m_serialRadio = nullptr;
    wxRadioButton* m_ethernetRadio = nullptr;
    wxComboBox* m_portCombo = nullptr;
    wxChoice* m_lineCombos[5] = {}; // baud rate, data bits, stop bits, parity, flow control
    IpAddressCtrl* m_ipCtrl = nullptr;
    ValidCharsEdit* m_tcpPortEdit = nullptr;
    wxButton* m_pingButton = nullptr;
    wxButton* m_applyButton = nullptr;
    std::function<void(Device*)> m_stopScale;
};
