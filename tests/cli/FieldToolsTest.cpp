// The command line's field tools: following the status rounds, and the settings report.

#include <gtest/gtest.h>

#include <regex>

#include "cli/CliRun.h"
#include "settings/Cp1250.h"
#include "settings/SettingsCheck.h"
#include "settings/SettingsFile.h"

namespace quelvar::test {
namespace {

#ifndef _WIN32
// Rounds every 50 ms: some 40 rounds and 5 event lines before the Ctrl+C. The CSV is read back
// with Python's csv module, and its figures must be the summary's.
TEST(CliFieldTools, WatchFollowsEveryRoundAndEventAndSumsUpOnCtrlC) {
    TempDir dir;
    const int code = RunScript(
        dir,
        "QUELVAR_SIM_STATUS_MS=50 \"$CLI\" status --watch --simulate --log log.csv >out.txt "
        "2>err.txt & pid=$!; sleep 2.5; kill -INT $pid; wait $pid");
    ASSERT_EQ(code, 0) << ReadBytes(dir.File("err.txt"));
    const std::string out = ReadBytes(dir.File("out.txt"));
    std::smatch summary;
    ASSERT_TRUE(std::regex_search(out, summary,
                                  std::regex("Watched for 0 min [0-9]+ s: signal minimum ([0-9]+), "
                                             "mean ([0-9.]+), maximum ([0-9]+) over ([0-9]+) "
                                             "rounds; ([0-9]+) events\n$")))
        << out;
    const int python = RunScript(
        dir,
        "command -v python3 >/dev/null || exit 77; python3 -c '\n"
        "import csv\n"
        "rows = list(csv.DictReader(open(\"log.csv\", newline=\"\", encoding=\"utf-8\")))\n"
        "levels = [int(r[\"text\"]) for r in rows if r[\"name\"] == \"signal\"]\n"
        "events = [r for r in rows if r[\"name\"] == \"event\"]\n"
        "assert all(r[\"time\"].endswith(\"Z\") and r[\"time\"][10] == \"T\" for r in rows)\n"
        "print(min(levels), \"%.1f\" % (sum(levels) / len(levels)), max(levels), len(levels),"
        " len(events))' >figures.txt");
    if (python == 77) {
        GTEST_SKIP() << "no python3";
    }
    ASSERT_EQ(python, 0);
    EXPECT_EQ(ReadBytes(dir.File("figures.txt")), summary[1].str() + " " + summary[2].str() + " " +
                                                      summary[3].str() + " " + summary[4].str() +
                                                      " " + summary[5].str() + "\n");
    EXPECT_GE(std::stoi(summary[4].str()), 10);
    EXPECT_GE(std::stoi(summary[5].str()), 1);
    // Every event line with its time.
    const std::regex event("[0-9]{2}:[0-9]{2}:[0-9]{2}  Event: [ER][0-9]{3} [0-9]{2} [0-9]{3}\n");
    EXPECT_EQ(
        std::distance(std::sregex_iterator(out.begin(), out.end(), event), std::sregex_iterator()),
        std::stoi(summary[5].str()));
}
#endif

TEST(CliFieldTools, ReportHoldsEveryNonEmptySettingWithItsCaption) {
    TempDir dir;
    settings::SettingsModel model;
    model.Rule(settings::TableId::kMonitoring)
        .SetValue(
            "\xDCgyf\xE9lk\xF3"
            "d:",
            "BE&F");
    model.Rule(settings::TableId::kPhoneNumbers).SetValue("T2", "+36209876543");
    model.AlarmGrid().SetCell(1, 7, "130");
    model.AlarmGrid().SetCell(9, 7, "T\xFBz <pince>");
    model.InputGrid().SetCell(5, 3, "Z2 riaszt\xE1s");
    ASSERT_TRUE(settings::SaveSettingsFile(model, 1, dir.File("site.am2")).ok);
    const CliRun run = RunCli(dir, "report site.am2 site.html");
    ASSERT_EQ(run.code, 0) << run.err;
    const std::string html = ReadBytes(dir.File("site.html"));
    for (const std::string& text :
         {std::string("<th>\xC3\x9Cgyf\xC3\xA9lk\xC3\xB3"
                      "d:</th><td>BE&amp;F</td>"),
          std::string("<th>T2</th><td>+36209876543</td>"), std::string("<th>7</th><td>130</td>"),
          std::string("<td>T\xC5\xB1z &lt;pince&gt;</td>"),
          std::string("<th>Z2 Riaszt\xC3\xA1s</th>"), std::string("Z2 riaszt\xC3\xA1s"),
          std::string("Vonalp\xC3\xB3tl\xC3\xB3"), std::string("Installer's signature"),
          std::string("Customer's signature")}) {
        EXPECT_NE(html.find(text), std::string::npos) << text;
    }
    // Rows of the event tables that hold nothing are left out.
    EXPECT_EQ(html.find("<th>8</th>"), std::string::npos);
    EXPECT_EQ(RunCli(dir, "report site.am2 no/such/folder/x.html").code, 3);
}

}  // namespace
}  // namespace quelvar::test
