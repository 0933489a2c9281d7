// The commissioning sheet on pages and in PDF files, read back as a user's PDF reader reads it.
#include <gtest/gtest.h>

#include <QLocale>
#include <QPageRanges>
#include <QPdfWriter>
#include <algorithm>

#include "../files/files_test_util.h"
#include "../test_env.h"
#include "model/lists.h"
#include "print/paper.h"
#include "print/sheet.h"
#include "print/sheet_painter.h"
#include "print_test_util.h"
#include "report/names.h"

namespace orv::print {
namespace {

class SheetPdf : public testing::Test {
  protected:
    void SetUp() override { test::EnsureGui(); }
    TempDir dir;
};

const ModuleTypes kMixed{15, 13, 14, 15};

TEST_F(SheetPdf, AFullConfigurationFitsInTwelvePages) {
    for (const ModuleTypes& types :
         {ModuleTypes{15, 15, 15, 15}, kMixed, ModuleTypes{0, 0, 0, 0}}) {
        StartupState s = test::FullSheetState();
        s.moduleTypes = types;
        const SheetContent sheet = MakeCommissioningSheet(s.rec, s.moduleTypes, "SITE.ORV", "now");
        for (const auto paper : {QPageSize::A4, QPageSize::Letter}) {
            SCOPED_TRACE(::testing::PrintToString(types) +
                         (paper == QPageSize::A4 ? " A4" : " Letter"));
            const int counted = CountSheetPages(sheet, paper);
            EXPECT_GE(counted, 1);
            EXPECT_LE(counted, 12);
            int drawn = 0;
            const QByteArray pdf = SheetPdfBytes(sheet, paper, &drawn);
            EXPECT_EQ(drawn, counted);
            EXPECT_TRUE(pdf.startsWith("%PDF-"));
        }
    }
}

#ifndef _WIN32

// Every message, RIC and module name of the fitted banks is in the PDF's text, each whole;
// nothing of a bank that is not fitted, nor of the states a dry-contact module does not use.
TEST_F(SheetPdf, TheTextHoldsEveryMessageRicAndModuleNameOfTheFittedBanks) {
    StartupState s = test::FullSheetState();
    s.moduleTypes = {15, 13, 14, 0};
    const std::string path = dir.File("sheet.pdf");
    const PdfResult r = WriteSheetPdf(
        MakeCommissioningSheet(s.rec, s.moduleTypes, "Pump House.ORV", "2024-05-17 14:03"), path,
        QPageSize::A4);
    ASSERT_TRUE(r.ok) << r.error;
    const std::string text = test::PdfText(path);
    auto holds = [&text](const std::string& s) {
        return text.find(test::SingleBlanks(s)) != std::string::npos;
    };
    int present = 0, absent = 0;
    for (int i = 0; i < kChannelStates; ++i) {
        const int type = s.moduleTypes[static_cast<std::size_t>(BankOf(i))];
        const bool shown = report::StateShown(type, StateOf(i));
        const auto& msg = s.rec.txtMsg[static_cast<std::size_t>(i)];
        const auto& ric = s.rec.txtRIC[static_cast<std::size_t>(i)];
        if (shown) {
            EXPECT_TRUE(holds(msg)) << "message " << i << ": " << msg;
            EXPECT_TRUE(holds(ric)) << "RIC " << i << ": " << ric;
            ++present;
        } else {
            EXPECT_FALSE(holds(msg)) << "message " << i << " of a state not shown: " << msg;
            ++absent;
        }
    }
    EXPECT_EQ(present, 64 + 32);
    EXPECT_EQ(absent, 32 + 64 + 64);  // dry-contact SLOW and FAST, the relay bank, bank 4
    for (int relay = RelayIndex(2, 0); relay < RelayIndex(3, 0); ++relay) {
        for (int slot : {kSlotCloseFrom, kSlotCloseTo, kSlotOpenFrom, kSlotOpenTo, kSlotToggleFrom,
                         kSlotToggleTo}) {
            const auto& ric = s.rec.txtRlyRIC[static_cast<std::size_t>(RelayRicIndex(relay, slot))];
            EXPECT_TRUE(holds(ric)) << "relay " << relay << " slot " << slot << ": " << ric;
        }
    }
    for (int type : {15, 13, 14})
        EXPECT_TRUE(holds(std::string(ModuleTypeName(type)))) << ModuleTypeName(type);
    for (const char* part :
         {"Pump House.ORV", "2024-05-17 14:03", "ORV-PRO V2.13", "BUILD 0417", "50:46:4A:00:00:00",
          "Comms", "LAN", "Pulse Timing", "Options", "Dictionary", "Commissioned by"})
        EXPECT_TRUE(holds(part)) << part;
}

// Each page has the running head and "page n of m"; a table that goes on to the next page takes
// its heading and column headings along.
TEST_F(SheetPdf, EveryPageHasItsHeadingsAndItsNumber) {
    const StartupState s = test::FullSheetState();
    const std::string path = dir.File("full.pdf");
    const PdfResult r =
        WriteSheetPdf(MakeCommissioningSheet(s.rec, s.moduleTypes, "Full Site.ORV", "today"), path,
                      QPageSize::Letter);
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_GE(r.pages, 4);  // 256 rows do not fit on fewer
    const std::string text = test::PdfText(path);
    std::vector<std::string> pages;
    for (std::size_t from = 0, ff; (ff = text.find('\f', from)) != std::string::npos; from = ff + 1)
        pages.push_back(text.substr(from, ff - from));
    ASSERT_EQ(static_cast<int>(pages.size()), r.pages);
    int continued = 0;
    for (int n = 1; n <= r.pages; ++n) {
        const std::string& page = pages[static_cast<std::size_t>(n - 1)];
        SCOPED_TRACE("page " + std::to_string(n));
        EXPECT_NE(page.find("Commissioning Sheet"), std::string::npos);
        EXPECT_NE(page.find("Full Site.ORV"), std::string::npos);
        EXPECT_NE(page.find("page " + std::to_string(n) + " of " + std::to_string(r.pages)),
                  std::string::npos);
        // A page with channel rows carries the column headings.
        if (page.find("FIRE ALARM") != std::string::npos) {
            EXPECT_NE(page.find("Ch State RIC Func Pager Rate Repeat Message"), std::string::npos);
        }
        if (page.find("(continued)") != std::string::npos) ++continued;
    }
    EXPECT_GE(continued, 3);
    int status = -1;
    const std::string info = test::CommandOutput("pdfinfo '" + path + "'", &status);
    EXPECT_NE(info.find("(letter)"), std::string::npos) << info;
}

// Pages chosen in the print dialog are the only ones printed, each with its own number.
TEST_F(SheetPdf, OnlyThePagesAskedForArePrinted) {
    const StartupState s = test::FullSheetState();
    const SheetContent sheet = MakeCommissioningSheet(s.rec, s.moduleTypes, "", "now");
    const std::string path = dir.File("range.pdf");
    int pages = 0;
    {
        QPdfWriter writer(QString::fromStdString(path));
        writer.setPageSize(QPageSize(QPageSize::A4));
        QPageRanges ranges;
        ranges.addRange(2, 3);
        writer.setPageRanges(ranges);
        pages = PaintSheet(sheet, writer);
    }
    ASSERT_GE(pages, 4);
    const std::string text = test::PdfText(path);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\f'), 2);
    const std::string of = " of " + std::to_string(pages);
    EXPECT_EQ(text.find("page 1" + of), std::string::npos);
    EXPECT_NE(text.find("page 2" + of), std::string::npos);
    EXPECT_NE(text.find("page 3" + of), std::string::npos);
    EXPECT_EQ(text.find("page 4" + of), std::string::npos);
}

// A message longer than the column (a file may hold up to 79 characters, wide ones too) is set
// smaller, never cut; letters are never joined into ligatures, so a message reads back as typed.
TEST_F(SheetPdf, MessagesReadBackWholeAndAsTyped) {
    StartupState s = test::FullSheetState();
    s.moduleTypes = {15, 0, 0, 0};
    const std::string longest =
        "WWWWWWWWWW MMMMMMMMMM WWWWWWWWWW MMMMMMMMMM WWWWWWWWWW MMMMMMMMMM "
        "WWWWWWWWWWWWW";  // 79 characters
    ASSERT_EQ(longest.size(), 79u);
    s.rec.txtMsg[5] = longest;
    s.rec.txtMsg[6] = "fire in the office flat, affix tag";  // no ligatures: found as typed
    const std::string path = dir.File("long.pdf");
    ASSERT_TRUE(
        WriteSheetPdf(MakeCommissioningSheet(s.rec, s.moduleTypes, "", "now"), path, QPageSize::A4)
            .ok);
    const std::string text = test::PdfText(path);
    EXPECT_NE(text.find(longest), std::string::npos);
    EXPECT_NE(text.find("fire in the office flat, affix tag"), std::string::npos);
    EXPECT_NE(text.find("Configuration file (not saved)"), std::string::npos);
}

TEST_F(SheetPdf, PaperSizeIsThePdfPageSize) {
    const StartupState s = MakeStartupState();
    const SheetContent sheet = MakeCommissioningSheet(s.rec, s.moduleTypes, "", "now");
    const std::pair<QPageSize::PageSizeId, const char*> cases[] = {
        {QPageSize::A4, "595 x 842 pts (A4)"},
        {QPageSize::Letter, "612 x 792 pts (letter)"},
    };
    for (const auto& [paper, size] : cases) {
        const std::string path = dir.File("paper.pdf");
        ASSERT_TRUE(WriteSheetPdf(sheet, path, paper).ok);
        const std::string info = test::CommandOutput("pdfinfo '" + path + "'");
        EXPECT_NE(info.find(size), std::string::npos) << info;
    }
}

TEST_F(SheetPdf, AFileThatCannotBeWrittenIsSaidAndAnEarlierOneKept) {
    const StartupState s = MakeStartupState();
    const SheetContent sheet = MakeCommissioningSheet(s.rec, s.moduleTypes, "", "now");
    const PdfResult missing = WriteSheetPdf(sheet, dir.File("no such folder/x.pdf"), QPageSize::A4);
    EXPECT_FALSE(missing.ok);
    EXPECT_FALSE(missing.error.empty());

    const std::string kept = dir.File("kept.pdf");
    WriteText(kept, "earlier");
    std::filesystem::permissions(kept, std::filesystem::perms::owner_read);
    const PdfResult readOnly = WriteSheetPdf(sheet, kept, QPageSize::A4);
    EXPECT_FALSE(readOnly.ok);
    EXPECT_EQ(readOnly.error, kReadOnlyReason);
    EXPECT_EQ(ReadText(kept), "earlier");
}

// The paper follows LC_ALL, then LC_PAPER, then LANG, as the C library's own choice does.
TEST(Paper, FollowsTheLocale) {
    struct Case {
        const char* lcAll;
        const char* lcPaper;
        const char* lang;
        QPageSize::PageSizeId paper;
    } cases[] = {
        {"", "", "en_US.UTF-8", QPageSize::Letter},
        {"", "", "en_GB.UTF-8", QPageSize::A4},
        {"", "fr_CA.UTF-8", "de_DE.UTF-8", QPageSize::Letter},
        {"de_DE.UTF-8", "en_US.UTF-8", "en_US.UTF-8", QPageSize::A4},
        {"es_MX", "", "", QPageSize::Letter},
        {"en_PH.UTF-8", "", "", QPageSize::Letter},
        {"en_AU.UTF-8", "", "", QPageSize::A4},
        {"C.UTF-8", "", "en_US.UTF-8", QPageSize::A4},
        {"", "", "POSIX", QPageSize::A4},
    };
    const char* names[] = {"LC_ALL", "LC_PAPER", "LANG"};
    std::string saved[3];
    for (int k = 0; k < 3; ++k)
        if (const char* v = std::getenv(names[k])) saved[k] = v;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.lcAll) + "|" + c.lcPaper + "|" + c.lang);
        const char* values[] = {c.lcAll, c.lcPaper, c.lang};
        for (int k = 0; k < 3; ++k) {
            if (*values[k])
                SetEnv(names[k], values[k]);
            else
                UnsetEnv(names[k]);
        }
        EXPECT_EQ(PaperForLocale(PaperLocale()), c.paper);
    }
    for (int k = 0; k < 3; ++k) {
        if (saved[k].empty())
            UnsetEnv(names[k]);
        else
            SetEnv(names[k], saved[k]);
    }
}

#endif

TEST(Paper, LetterCountriesAndTheRest) {
    const std::pair<const char*, QPageSize::PageSizeId> cases[] = {
        {"en_US", QPageSize::Letter}, {"fr_CA", QPageSize::Letter}, {"es_MX", QPageSize::Letter},
        {"es_CL", QPageSize::Letter}, {"en_PH", QPageSize::Letter}, {"en_GB", QPageSize::A4},
        {"de_DE", QPageSize::A4},     {"en_AU", QPageSize::A4},     {"C", QPageSize::A4},
    };
    for (const auto& [name, paper] : cases)
        EXPECT_EQ(PaperForLocale(QLocale(QString::fromLatin1(name))), paper) << name;
}

}  // namespace
}  // namespace orv::print
