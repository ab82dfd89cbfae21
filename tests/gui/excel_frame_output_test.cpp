#include "app/gui/excel_frame_output.h"
#include "app/gui_base/message_box.h"
#include "comms/device.h"
#include "support/xlsx_fixture.h"
#include "support/recording_notify.h"

#include <gtest/gtest.h>
#include <wx/frame.h>
#include <wx/msgdlg.h>

namespace {

struct Box {
    std::string text;
    std::string caption;
    long style;
};

} // namespace

TEST(FrameExcelOutputTest, BoxesAndTheSaveAnswerGoThroughTheFramesMessageBoxes) {
    TempDir dir;
    const std::string path = dir.File("gui.xlsx");
    MakeWorkbook("rich", path);
    ResetSettingsValues();
    g_ExcelFile = path;
    g_ExcelCell = "B2";
    g_OutputFields[0] = "Date Time";
    g_OutputFields[1] = "Net Weight";
    g_OutputFields[2] = "-----";

    std::vector<Box> boxes;
    int answer = wxYES;
    SetMessageBoxHook([&](const std::string& text, const std::string& caption, long style) {
        boxes.push_back({text, caption, style});
        return (style & wxYES_NO) ? answer : wxOK;
    });
    auto* frame = new wxFrame(nullptr, wxID_ANY, "Pondra");
    int stops = 0;
    FrameExcelOutput output(frame, [&] { ++stops; });

    // No sheet 9: a plain box that stays on top, the scales stop, the workbook stays open.
    g_ExcelSheet = 9;
    EXPECT_TRUE(output.StartExcel());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Sheet error");
    EXPECT_TRUE(boxes[0].style & wxSTAY_ON_TOP);
    EXPECT_FALSE(boxes[0].style & (wxICON_ERROR | wxICON_EXCLAMATION));
    EXPECT_EQ(stops, 1);
    EXPECT_NE(output.LastDispatch(), nullptr);

    // Answering No leaves the file alone; Yes saves the reading.
    const std::string bytes = ReadBytes(path);
    answer = wxNO;
    output.CloseExcel();
    EXPECT_EQ(ReadBytes(path), bytes);
    EXPECT_EQ(boxes.back().caption, "Save Changes?");
    EXPECT_TRUE(boxes.back().style & wxYES_NO);

    g_ExcelSheet = 1;
    answer = wxYES;
    ASSERT_TRUE(output.StartExcel());
    Device dev;
    SetReadingField(&dev, DF_NET_WEIGHT, "42.5");
    TakeCurrentReading(&dev);
    output.WriteReadingToExcel(dev);
    output.CloseExcel();
    const auto dump = DumpWorkbook(path);
    EXPECT_EQ(dump.at("Data!C5").substr(0, 10), "float:42.5"); // below B4, the last filled cell
    EXPECT_EQ(dump.at("Data!B5").substr(0, 5), "str:'");      // the date and time as text
    EXPECT_GT(dump.at("Data!B5").find('\t'), 7u);

    SetMessageBoxHook(nullptr);
    frame->Destroy();
    ResetSettingsValues();
}
