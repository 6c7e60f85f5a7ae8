// The printed report, printed to a PDF file through the print dialog's hook and read back with
// poppler's pdftotext (the texts and where they stand) and pdftoppm (the curve and limit lines).
#include "output/report.h"

#include <gmock/gmock.h>

#include <QImage>
#include <algorithm>

#include "platform/printer.h"
#include "platform/text_codec.h"
#include "records/language.h"
#include "window_fixture.h"

namespace {

std::string pdfTarget;  // empty: the dialog is cancelled
bool pdfLandscape = false;
uint32_t dialogResult = 0;

std::pair<std::string, bool> offered;  // what the dialog opened with: the file, landscape

uint32_t AnswerPrintDialog(char* path, int size, bool* landscape) {
    offered = {path, *landscape};
    std::snprintf(path, static_cast<size_t>(size), "%s", pdfTarget.c_str());
    *landscape = pdfLandscape;
    return dialogResult;
}

// Runs of blanks become one, so the layout's exact spacing does not matter, only the order.
std::string Squeezed(std::string s) {
    s.erase(std::unique(s.begin(), s.end(), [](char a, char b) { return a == ' ' && b == ' '; }),
            s.end());
    return s;
}

// Each expected line lists fragments that must stand on one output line in this order; the
// expected lines must be met in order, top to bottom.
void ExpectLinesInOrder(const std::string& text,
                        const std::vector<std::vector<std::string>>& expected) {
    const std::vector<std::string> lines = Lines(Squeezed(text));
    size_t at = 0;
    for (const auto& fragments : expected) {
        bool found = false;
        for (; at < lines.size() && !found; ++at) {
            size_t pos = 0;
            for (const std::string& f : fragments) {
                pos = pos == std::string::npos ? pos : lines[at].find(Squeezed(f), pos);
                pos = pos == std::string::npos ? pos : pos + Squeezed(f).size();
            }
            found = pos != std::string::npos;
        }
        ASSERT_TRUE(found) << "missing in order: " << fragments.front() << "\n" << text;
    }
}

std::string Slot(int slot) {
    char text[kSlotSize];
    CopySlotText(text, slot);
    return platform::FromWindows1252(text).toStdString();
}

}  // namespace

class Report : public KvxWindowTest {
  protected:
    void SetUp() override {
        KvxWindowTest::SetUp();
        platform::SetPrintDialogHook(AnswerPrintDialog);
        pdfTarget = (dir / "report.pdf").string();
        pdfLandscape = false;
        dialogResult = 0;
    }
    void TearDown() override {
        platform::SetPrintDialogHook(nullptr);
        KvxWindowTest::TearDown();
    }
};

TEST_F(Report, ListingHeaderAndPeaksInEveryLanguageAndBothLayouts) {
    const struct {
        int language;
        bool landscape;
        int timerRangeWord, dpdtModeWord, autoReset1, limit2ModeWord, filterWord;
        std::string tr1, tr2, ts, limit2, filter;
    } cases[] = {
        {0, false, 0, 1, 1, 2, 2, "12.34s", "0.05s", "3.00s", "Max.", "6s"},
        {100, true, 1, 0, 0, 7, 0, "123.4s", "0.5s", "30.0s", "?", Slot(119)},
        {200, false, 0, 2, 0, 0, 9, "12.34s", "0.05s", "3.00s", Slot(203), "?"},
    };
    for (const auto& c : cases) {
        ResetProgramState();
        ASSERT_NE(Start(), nullptr);
        boxes.clear();  // the absent port
        settings.languageBase.store(static_cast<uint16_t>(c.language));
        SetIdentity("KVX-100 #42");
        liveValues.maxPeak.store(87);
        liveValues.minPeak.store(12);
        liveValues.dPdtPeak.store(5);
        // Every word in its order, from limit1Mode to autoShutDown; five come from the case.
        int words[kParameterCount] = {1,  40, 1234, 0,   3, 0, 80, 5, 1,   7,  0,
                                      15, 25, 0,    300, 1, 1, 0,  0, 120, 10, 1};
        words[limit1AutoReset] = c.autoReset1;
        words[limit2Mode] = c.limit2ModeWord;
        words[dpdtMode] = c.dpdtModeWord;
        words[timerRange] = c.timerRangeWord;
        words[filter] = c.filterWord;
        for (int i = 0; i < kParameterCount; ++i) {
            parameterSet.deviceWords[i].store(static_cast<uint16_t>(words[i]));
        }
        pdfLandscape = c.landscape;
        std::filesystem::remove(pdfTarget);
        RunPrintCommand(window);
        EXPECT_TRUE(boxes.empty()) << boxes.front();
        ASSERT_TRUE(std::filesystem::exists(pdfTarget));
        EXPECT_THAT(Shell("pdfinfo " + pdfTarget), testing::HasSubstr("Pages:           1\n"));
        const std::string text = Shell("pdftotext -layout " + pdfTarget + " -");
        const bool dpdtOn = c.dpdtModeWord != 0;
        const std::string peaks = Slot(31) + ": " + Slot(25) + " 87, " + Slot(26) + " 12" +
                                  (dpdtOn ? ", " + Slot(29) + " 5" : "");
        const std::string off = Slot(3), on = Slot(4);
        const std::string dpdtText =
            c.dpdtModeWord == 0 ? off : (c.dpdtModeWord == 1 ? "+dP/dt" : "\u00B1dP/dt");
        const std::vector<std::vector<std::string>> expected = {
            {"Tessaron: KVX-100 #42"},
            {Slot(30) + ": "},
            {peaks},
            {Slot(32)},
            {Slot(20), Slot(23)},
            {Slot(55) + "Min.", Slot(62) + c.ts},
            {Slot(59) + "40%"},
            {Slot(61) + c.tr1, Slot(12)},
            {Slot(51) + (c.autoReset1 ? on : off), Slot(54) + "4-20mA"},
            {Slot(53) + (c.autoReset1 ? "3%" : "--"), Slot(58) + "Norm."},
            {Slot(52) + c.filter},
            {Slot(21)},
            {Slot(55) + c.limit2, Slot(15)},
            {Slot(59) + "80%", Slot(56) + "120%"},
            {Slot(61) + c.tr2, Slot(57) + "10%"},
            {Slot(51) + on},
            {Slot(53) + "7%", Slot(16)},
            {Slot(58) + "inv"},
            {Slot(22)},
            {Slot(55) + dpdtText, Slot(50) + on},
            {Slot(59) + (dpdtOn ? "15%" : "--")},
            {Slot(60) + (dpdtOn ? "25%" : "--")},
        };
        ExpectLinesInOrder(text, expected);
        Stop();
    }
}

TEST_F(Report, CurveAndLimitLinesInTheirColoursAtThreeUnitsPerPercent) {
    const bool landscape = true;  // the wider page: a wrong scale shows more
    settings.rollIndex.store(0);  // one sample per measurement message
    ASSERT_NE(Start(), nullptr);
    boxes.clear();  // the absent port
    SetIdentity("KVX");
    for (auto [word, value] :
         {std::pair{limit1Mode, 1}, {limit1Setpoint, 40}, {limit2Mode, 2}, {limit2Setpoint, 80}}) {
        parameterSet.deviceWords[word].store(static_cast<uint16_t>(value));
    }
    for (int i = 0; i < 50; ++i) {
        Feed({60});
    }
    TickAndPaint(20);
    pdfLandscape = landscape;
    std::filesystem::remove(pdfTarget);
    RunPrintCommand(window);
    ASSERT_TRUE(boxes.empty());
    // The printed page as a picture at 100 dots per inch, without smoothing.
    Shell("pdftoppm -r 100 -aa no -aaVector no -singlefile -png " + pdfTarget + " " + pdfTarget);
    const QImage page(QString::fromStdString(pdfTarget + ".png"));
    ASSERT_FALSE(page.isNull());
    EXPECT_EQ(page.width() > page.height(), landscape);
    // Rows by what they mostly hold: the long red limit lines, the black time axis, and the
    // blue curve (50 samples long, in the right-most part of the graph).
    auto count = [&page](int y, auto is) {
        int n = 0;
        for (int x = 0; x < page.width(); ++x) {
            n += is(page.pixel(x, y)) ? 1 : 0;
        }
        return n;
    };
    auto red = [](QRgb p) { return qRed(p) > 200 && qGreen(p) < 80 && qBlue(p) < 80; };
    auto blue = [](QRgb p) { return qBlue(p) > 200 && qRed(p) < 80 && qGreen(p) < 80; };
    auto black = [](QRgb p) { return qRed(p) < 60 && qGreen(p) < 60 && qBlue(p) < 60; };
    std::vector<int> redRows, blueRows;
    int axisRow = -1;
    for (int y = 0; y < page.height(); ++y) {
        if (count(y, red) > 400) {
            redRows.push_back(y);
        }
        if (count(y, blue) > 40) {
            blueRows.push_back(y);
        }
        if (count(y, black) > 500) {
            axisRow = y;
        }
    }
    ASSERT_FALSE(redRows.empty());
    ASSERT_FALSE(blueRows.empty());
    ASSERT_GT(axisRow, 0);
    // The red rows form two lines, at 40 % and 80 %; the curve stands at 60 %.
    const int high = redRows.front(), low = redRows.back();
    const double per = (axisRow - low) / 40.0;
    EXPECT_NEAR(axisRow - high, 80 * per, 3.0);
    EXPECT_NEAR(axisRow - blueRows.front(), 60 * per, 3.0);
}

TEST_F(Report, CancelPrintsNothingAndFailuresAreReported) {
    ASSERT_NE(Start(), nullptr);
    boxes.clear();  // the absent port
    pdfTarget.clear();
    RunPrintCommand(window);
    EXPECT_TRUE(boxes.empty());
    dialogResult = 4107;  // the dialog itself failed
    RunPrintCommand(window);
    // The document is refused: its folder does not exist.
    dialogResult = 0;
    pdfTarget = (dir / "absent" / "report.pdf").string();
    RunPrintCommand(window);
    EXPECT_EQ(boxes, (std::vector<std::string>{"Unable to open printer|Error!",
                                               "Error printing: 30004|Error!"}));
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        EXPECT_NE(entry.path().extension(), ".pdf") << entry.path();
    }
}

TEST_F(Report, PrintDialogOffersTheLastChoiceAgainAndACancelChangesNothing) {
    const std::string a = (dir / "a.pdf").string();
    const std::string b = (dir / "b.pdf").string();
    const struct {
        std::string answer;  // empty: cancel
        bool landscape;
        std::pair<std::string, bool> offer;  // from the second step on
    } steps[] = {
        {a, true, {}}, {b, false, {a, true}}, {"", true, {b, false}}, {a, true, {b, false}}};
    for (size_t i = 0; i < std::size(steps); ++i) {
        pdfTarget = steps[i].answer;
        pdfLandscape = steps[i].landscape;
        platform::DeviceContext printer = nullptr;
        EXPECT_EQ(platform::ChoosePrinter(nullptr, &printer), 0u);
        EXPECT_EQ(printer != nullptr, !steps[i].answer.empty());
        platform::DeletePrinterContext(printer);
        if (i > 0) {
            EXPECT_EQ(offered, steps[i].offer) << "step " << i;
        }
    }
}
