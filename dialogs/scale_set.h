// "Scale Setting": the scale model, the run mode the model offers, and the Get interval.
#pragma once

#include <functional>
#include <string>
#include <wx/dialog.h>

class wxComboBox;
class wxRadioButton;
class wxTextCtrl;

// Sets the default TCP port of Ethernet scales for the model: "11001" for the KT m25, else none.
void SetModelCode(const std::string& modelName);

class CScaleSet : public wxDialog {
public:
    enum {
        IDC_SCALE_TYPE = 987,
        IDC_MANUAL_MODE = 989,
        IDC_COMMAND_MODE = 990,
        IDC_STREAM_MODE = 991,
        IDC_RUN_MODE_GROUP = 992,
        IDC_COMMAND_INTERVAL = 1228,
    };

    explicit CScaleSet(wxWindow* parent = nullptr);

    // What the dialog calls before it writes a setting that running scale workers read (the run mode):
    // the caller stops the scales and lets their workers end first.
    void SetStopScales(std::function<void()> stop) { m_stopScales = std::move(stop); }

    bool TransferDataToWindow() override;
    bool TransferDataFromWindow() override;

    // Enables the run-mode radios the model offers, moves the check off a mode it does not offer,
    // and returns the run mode then checked.
    std::string ApplyModeSupport(unsigned char command, unsigned char manual, unsigned char stream);

private:
    void OnInitDialog(wxInitDialogEvent& event);
    void OnSelchangeScaleType(wxCommandEvent& event);
    void OnStreamOrManual(wxCommandEvent& event);
    void OnCommandMode(wxCommandEvent& event);
    void OnOK(wxCommandEvent& event);
    void CheckRunMode(const std::string& mode);

    wxComboBox* m_scaleTypeList = nullptr;
    wxRadioButton* m_stream = nullptr;
    wxRadioButton* m_manual = nullptr;
    wxRadioButton* m_command = nullptr;
    wxTextCtrl* m_intervalEdit = nullptr;

    std::string m_commandInterval;
    std::string m_scaleType; // the model last chosen from the list here; empty until one is chosen
    std::function<void()> m_stopScales;
};
