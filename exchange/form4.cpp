#include "exchange/form4.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "exchange/excel.h"
#include "exchange/sewer_array.h"
#include "platform/runtime/conversions.h"

namespace {

// The fields by check-box index: caption, description, default column and
// the record's property ("" for the two fields that are not imported).
struct Field {
    const char* caption;
    const char* description;
    int column;
    const char* property;
};
constexpr Field kFields[15] = {
    {" From", "Start Node", 1, "from"},
    {" To", "Stop Node", 2, "tom"},
    {" Gr.El.From", "Elevation Ground (Start)", 3, "felv"},
    {" Gr.El.To", "Elevation Ground (Stop)", 4, "telv"},
    {"Length", "Length", 5, "l"},
    {" INV.EL.From", " Invert (Start)", 6, "finv"},
    {" INV.EL.To", " Invert (Stop)", 7, "tinv"},
    {"Dia", "Diameter", 8, "dia"},
    {"Slope", "Slope", 9, "slope"},
    {" Lateral", "", 10, ""},
    {"Manhole Type", "", 11, ""},
    {"X1", "X1", 10, "x1"},
    {"Y1", "Y1", 11, "y1"},
    {"X2", "X2", 12, "x2"},
    {"Y2", "Y2", 13, "y2"},
};
// The fields imported, in the order they are read.
constexpr int kImportOrder[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 11, 12, 13, 14};

constexpr double kRowHeight = 330;

}  // namespace

Form4::Form4() : vb::Form("Form4") {
    Caption("Import  XLS");
    Width(12300);
    Height(7200);
    Frame2.Move(120, 60, 5520, 6600);
    Labl10(0).Caption("Excel Column Number");
    Labl10(0).Move(1680, 240, 1200, 420);
    Labl10(0).WordWrap(true);
    Labl10(2).Caption("Excel Column Description");
    Labl10(2).Move(2940, 240, 2400, 420);
    for (int i = 0; i < 15; ++i) {
        const double top = 720 + i * kRowHeight;
        Check1(i).Caption(kFields[i].caption);
        Check1(i).Move(120, top, 1500, 300);
        Text5(i).Text(std::to_string(kFields[i].column));
        Text5(i).Move(1680, top, 600, 300);
        FieldLabel(i).Caption(kFields[i].description);
        FieldLabel(i).Move(2940, top + 30, 2460, 270);
    }
    const double below = 720 + 15 * kRowHeight + 90;
    StartRowCaption.Move(120, below, 1700, 270);
    Text3.Text("2");
    Text3.Move(1860, below - 30, 500, 300);
    StartTextCaption.Move(2520, below, 1200, 270);
    Text4.Text("1");
    Text4.Move(3720, below - 30, 500, 300);
    Command2(1).Caption("Open");
    Command2(1).Move(120, below + 420, 1000, 360);
    Command20.Move(1200, below + 420, 1000, 360);
    Command16.Move(2280, below + 420, 1200, 360);
    Command5.Move(3540, below + 420, 900, 360);
    Command15.Move(4500, below + 420, 900, 360);
    MSFlexGrid1.Move(5760, 120, 6300, 6540);
    MSFlexGrid1.Cols(15);
    MSFlexGrid1.Rows(2);

    Command5.Click = [this] { Command5_Click(); };
    Command15.Click = [this] { Command15_Click(); };
}

void Form4::Command15_Click() { Unload(); }

void Form4::Command5_Click() {
    CommonDialog2.Filter("Ecxel files (*.xlsx)|*.xlsx");
    CommonDialog2.ShowOpen();
    const std::string file = CommonDialog2.FileName();
    if (file.empty()) return;

    // The ticked fields and their columns, checked before anything is read.
    std::vector<std::pair<int, int32_t>> ticked;   // field index, sheet column
    for (int i : kImportOrder) {
        if (Check1(i).Value() != vb::vbChecked) continue;
        const std::string text = Text5(i).Text();
        const double col = vb::RoundHalfEven(vb::Val(text));
        if (!(col >= 1 && col <= sheet::kMaxCol)) {
            vb::MsgBox("The column of \"" + vb::Trim(kFields[i].caption) + "\" is \"" + text +
                       "\", which is no column of a sheet (1 to " + std::to_string(sheet::kMaxCol) +
                       "). Nothing was imported.");
            return;
        }
        ticked.emplace_back(i, static_cast<int32_t>(col));
    }
    const int32_t echoCol = static_cast<int32_t>(std::clamp(vb::RoundHalfEven(vb::Val(Text5(0).Text())), 1.0, double(sheet::kMaxCol)));

    // A program of this window's own, with no window, reads the file.
    std::shared_ptr<sheet::SheetClient> app = StartExcelInstance();
    std::shared_ptr<const sheet::Sheet> data;
    try {
        app->OpenWorkbook(file);
        data = app->ActiveSheet();
    } catch (const vb::VbError& e) {
        vb::MsgBox(e.Description());
        return;
    }
    if (!data) return;

    // The data rows: from row 2 down to the last row before the first empty
    // first cell, counted on the sheet the values are read from.
    auto filled = [&](int32_t row) {
        const vb::Variant v = data->Value(row, 1);
        return !(v.IsEmpty() || (v.IsString() && v.RawString().empty()));
    };
    int32_t last = 0;
    while (filled(last + 1)) ++last;
    const int32_t n = std::max(0, last - 1);

    // Records are written into copies and put into the list (and echoed)
    // only when every row has been read, so a failed import leaves the list
    // and the grid as they were.
    std::vector<std::shared_ptr<model::Sewer>> records(n + 1);
    for (int32_t i = 1; i <= n; ++i) {
        const int32_t row = i + 1;
        const bool existing = static_cast<size_t>(i) < SewerArray.size() && SewerArray[i];
        auto record = existing ? std::make_shared<model::Sewer>(*SewerArray[i]) : std::make_shared<model::Sewer>();
        for (const auto& [field, col] : ticked) {
            const std::string text = vb::Trim(CellText(data->Value(row, col)));
            try {
                record->LetProperty(kFields[field].property, vb::Variant(text));
            } catch (const vb::VbError& e) {
                // Text that is no number, or a number its field cannot hold
                // (beyond a single, or a diameter beyond 16 bits).
                const std::string why = text.empty()                          ? "the cell is empty"
                                        : e.Number() == vb::errTypeMismatch ? "\"" + text + "\" is not a number"
                                                                            : "\"" + text + "\" cannot be read";
                vb::MsgBox("Row " + std::to_string(row) + ", column " + std::to_string(col) + " (" +
                           vb::Trim(kFields[field].caption) + "): " + why + " (" + e.Description() +
                           "). Nothing was imported.");
                return;
            }
        }
        records[i] = std::move(record);
    }

    // The echo: record i's From on grid row i under the sheet column of
    // "From", and the header row.
    MSFlexGrid1.Cols(std::max(15, echoCol + 1));
    MSFlexGrid1.Rows(std::max(2, n + 1));
    if (Check1(0).Value() == vb::vbChecked) {
        for (int32_t i = 1; i <= n; ++i) MSFlexGrid1.TextMatrix(i, echoCol, records[i]->from);
    }
    for (int32_t c = 1; c <= 14; ++c) MSFlexGrid1.TextMatrix(0, c, vb::Trim(CellText(data->Value(1, c))));

    if (SewerArray.size() < static_cast<size_t>(n) + 1) SewerArray.resize(n + 1);
    // A slot that holds a record keeps that record (the drawing read's pipes
    // are the same records as the network's); it takes the values read.
    for (int32_t i = 1; i <= n; ++i) {
        if (SewerArray[i]) {
            *SewerArray[i] = *records[i];
        } else {
            SewerArray[i] = records[i];
        }
    }
    app->CloseWorkbooks();
}

Form4& Form4Window() {
    static Form4* window = new Form4();
    return *window;
}
