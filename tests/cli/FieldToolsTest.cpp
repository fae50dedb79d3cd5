// The command line's field tools: following the status rounds, and the settings report.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

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
    const std::size_t last = out.rfind("Watched for ");
    ASSERT_NE(last, std::string::npos) << out;
    int minutes = 0, seconds = 0, minimum = 0, maximum = 0, rounds = 0, events = 0;
    char mean[16] = {};
    ASSERT_EQ(std::sscanf(out.c_str() + last,
                          "Watched for %d min %d s: signal minimum %d, mean %15[0-9.], maximum %d "
                          "over %d rounds; %d events",
                          &minutes, &seconds, &minimum, mean, &maximum, &rounds, &events),
              7)
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
    EXPECT_EQ(ReadBytes(dir.File("figures.txt")),
              std::to_string(minimum) + " " + mean + " " + std::to_string(maximum) + " " +
                  std::to_string(rounds) + " " + std::to_string(events) + "\n");
    EXPECT_GE(rounds, 10);
    EXPECT_GE(events, 1);
    // Every event line with its time: "13:42:13  Event: E130 01 001".
    int timed = 0;
    for (std::size_t at = out.find("  Event: "); at != std::string::npos;
         at = out.find("  Event: ", at + 1)) {
        const std::size_t newline = out.rfind('\n', at);
        const std::size_t start = newline == std::string::npos ? 0 : newline + 1;
        timed += at - start == 8 && out[start + 2] == ':' && out[start + 5] == ':' ? 1 : 0;
    }
    EXPECT_EQ(timed, events);
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
          std::string("<th>T2</th><td>+36209876543</td>"),
          std::string("<th>7</th><td>130<br><small>Burglary</small></td>"),
          // ű is no GSM character: the text is marked.
          std::string("<td>T\xC5\xB1z &lt;pince&gt; <small>(not in the GSM alphabet: "
                      "\xC5\xB1)</small></td>"),
          std::string("<th>Z2 Riaszt\xC3\xA1s</th>"), std::string("Z2 riaszt\xC3\xA1s"),
          std::string("Vonalp\xC3\xB3tl\xC3\xB3"), std::string("Installer's signature"),
          std::string("Customer's signature")}) {
        EXPECT_NE(html.find(text), std::string::npos) << text;
    }
    // Rows of the event tables that hold nothing are left out.
    EXPECT_EQ(html.find("<th>8</th>"), std::string::npos);
    // The customer's copy leaves out the SIM PIN unless asked for.
    model.Rule(settings::TableId::kSimCard)
        .SetValue(
            "PIN k\xF3"
            "d",
            "4321");
    ASSERT_TRUE(settings::SaveSettingsFile(model, 1, dir.File("pin.am2")).ok);
    ASSERT_EQ(RunCli(dir, "report pin.am2 pin.html").code, 0);
    EXPECT_EQ(ReadBytes(dir.File("pin.html")).find("4321"), std::string::npos);
    ASSERT_EQ(RunCli(dir, "report pin.am2 pin.html --with-pin").code, 0);
    EXPECT_NE(ReadBytes(dir.File("pin.html")).find("<td>4321</td>"), std::string::npos);
    EXPECT_EQ(RunCli(dir, "read x.am2 --with-pin").code, 64);
    EXPECT_EQ(RunCli(dir, "report site.am2 no/such/folder/x.html").code, 3);
}

// A UTF-16 file with characters that Windows-1250 lacks, a missing key and an invalid value: the
// report shows the characters as the file holds them and lists the findings, as standard error
// does.
TEST(CliFieldTools, ReportShowsTheFilesOwnCharactersAndItsFindings) {
    TempDir dir;
    settings::SettingsModel model;
    model.Rule(settings::TableId::kPhoneNumbers).SetValue("T2", "PLACEHOLDER");
    model.AlarmGrid().SetCell(1, 4, "131");  // a row whose only content is its Code
    ASSERT_TRUE(settings::SaveSettingsFile(model, 0, dir.File("site.am2")).ok);
    std::string text = ReadBytes(dir.File("site.am2"));
    text.replace(text.find("PLACEHOLDER"), 11,
                 "Bet\xC3\xB6r\xC3\xA9s \xE2\x98\x83 \xE6\xBC\xA2\xE5\xAD\x97");
    text.erase(text.find("UPHN4=\r\n"), 8);
    text.replace(text.find("ACCID="), 6, "ACCID=zz");
    std::u16string wide;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const int length = byte < 0x80 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
        char32_t code = length == 1 ? byte : byte & (0xFF >> (length + 1));
        for (int k = 1; k < length; ++k) {
            code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        wide += static_cast<char16_t>(code);
        i += static_cast<std::size_t>(length);
    }
    std::string utf16 = "\xFE\xFF";  // big-endian
    for (const char16_t unit : wide) {
        utf16 += static_cast<char>(unit >> 8);
        utf16 += static_cast<char>(unit & 0xFF);
    }
    WriteBytes(dir.File("wide.am2"), utf16);

    const CliRun run = RunCli(dir, "report wide.am2 wide.html");
    ASSERT_EQ(run.code, 0) << run.err;
    const std::string html = ReadBytes(dir.File("wide.html"));
    EXPECT_NE(
        html.find("<th>T2</th><td>Bet\xC3\xB6r\xC3\xA9s \xE2\x98\x83 \xE6\xBC\xA2\xE5\xAD\x97 "
                  "<small>(not sendable"),
        std::string::npos)
        << html;
    for (const std::string& finding :
         {std::string("UPHN2: &quot;Bet\xC3\xB6r\xC3\xA9s ? ??&quot; holds a character"),
          std::string("ACCID: &quot;zz"), std::string("UPHN4: missing from the file")}) {
        EXPECT_NE(html.find("<li>" + finding), std::string::npos) << finding;
    }
    EXPECT_NE(run.err.find("UPHN4: missing from the file\n"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("ACCID: \"zz"), std::string::npos) << run.err;
    EXPECT_NE(html.find("<th>4</th><td>131<br><small>Perimeter</small></td>"), std::string::npos);
}

}  // namespace
TEST(CliCodes, ListsTheCodesByPatternDigitsOrWords) {
    TempDir dir;
    const CliRun pattern = RunCli(dir, "codes 13*");
    ASSERT_EQ(pattern.code, 0) << pattern.err;
    const std::vector<std::string> lines = Lines(pattern.out);
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[0], "13*: any of 130-139, Burglary alarms");
    EXPECT_EQ(lines[1], "130\tBurglary\tBurglary alarms");
    EXPECT_EQ(RunCli(dir, "codes tamp").out.substr(0, 4), "137\t");
    EXPECT_EQ(Lines(RunCli(dir, "codes").out).size(), 220u);
    const CliRun none = RunCli(dir, "codes xyzzy");
    EXPECT_EQ(none.code, 1);
    EXPECT_EQ(none.err, "No Contact ID event matches \"xyzzy\"\n");
    EXPECT_EQ(RunCli(dir, "codes 1x*").code, 64);
}

}  // namespace quelvar::test
